// Taking detected files into the quarantine as the scan finds them.
#include "quarantine_take.h"

#include <cstdio>

#include "console_report.h"
#include "disposal.h"
#include "escape.h"
#include "original_file.h"
#include "quarantine_files.h"
#include "quarantine_store.h"

namespace {

std::string folderInUse;
std::vector<QuarantinedFile> taken;

// A forced disposal names the checker with its trailing space.
std::string trimmed(const char* text) {
    std::string name = text;
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

bool keepDetectedFile(const char* path, const char* detectionName) {
    QuarantineRecord about;
    std::vector<unsigned char> content;
    std::string error;
    std::string item;
    QuarantineRecord written;
    about.detection = trimmed(detectionName);
    if (!readOriginalFile(path, about, content, error) ||
        !storeItem(folderInUse, about, content, item, error, &written)) {
        clearProgress();
        std::fprintf(stderr, "quorvane-scan: %s: cannot be quarantined (%s): it is left where it is\n",
                     escapeControlBytes(path).c_str(), escapeControlBytes(error.c_str()).c_str());
        return false;
    }
    taken.push_back({path, item, written.sha256, written.detection});
    return true;
}

} // namespace

bool startQuarantine(const std::string& folder, std::string& error) {
    std::vector<std::string> names;
    if (!quarantine_files::makeFolder(folder, error) || !quarantine_files::listFolder(folder, names, error)) {
        error = "--quarantine " + folder + ": " + error;
        return false;
    }
    removeLeftovers(folder);
    folderInUse = folder;
    quarantineKeeper = keepDetectedFile;
    return true;
}

const std::vector<QuarantinedFile>& quarantinedFiles() { return taken; }

const QuarantinedFile* quarantinedFileAt(const char* path) {
    for (auto file = taken.rbegin(); file != taken.rend(); ++file)
        if (file->path == path) return &*file;
    return nullptr;
}

const std::string& quarantineFolder() { return folderInUse; }
