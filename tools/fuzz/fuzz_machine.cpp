// The fuzz targets' drive C:, on the host.
#include "fuzz_machine.h"

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "scan_state.h"

namespace fuzz {

namespace fs = std::filesystem;

namespace {

const char* const folderPattern = "quorvane-fuzz-XXXXXX";

std::string makeDriveFolder() {
    const char* temporary = getenv("TMPDIR");
    std::string pattern = std::string(temporary != nullptr && temporary[0] != '\0' ? temporary : "/tmp") + "/" +
                          folderPattern;
    std::error_code ignored;
    fs::create_directories(fs::path(pattern).parent_path(), ignored);
    if (mkdtemp(pattern.data()) == nullptr) {
        perror("fuzz: cannot make a folder for drive C:");
        abort();
    }
    return pattern;
}

// The engine may have made an entry read-only; on the host that takes
// away the write permission that removing what is inside needs.
void emptyFolder(const std::string& folder) {
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(folder, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        if (!it->is_symlink(ignored)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ignored)) {
        fs::remove_all(entry.path(), ignored);
    }
    if (!fs::is_empty(folder, ignored)) {
        fprintf(stderr, "fuzz: cannot empty %s\n", folder.c_str());
        abort();
    }
}

void removeDriveFolder() {
    emptyFolder(driveFolder());
    std::error_code ignored;
    fs::remove(driveFolder(), ignored);
}

} // namespace

// Never destroyed, so that it outlives the exit handler that removes it.
const std::string& driveFolder() {
    static const std::string* const folder = [] {
        const std::string* made = new std::string(makeDriveFolder());
        atexit(removeDriveFolder);
        return made;
    }();
    return *folder;
}

std::string hostPath(const std::string& relative) { return driveFolder() + "/" + relative; }

void freshMachine(sim::Release release) {
    emptyFolder(driveFolder());
    sim::reset();
    sim::setRelease(release);
    resetScanState();
    if (!sim::mapDrive('C', driveFolder())) {
        fprintf(stderr, "fuzz: cannot present %s as drive C:\n", driveFolder().c_str());
        abort();
    }
}

void makeHostFolder(const std::string& relative) {
    std::error_code error;
    fs::create_directories(hostPath(relative), error);
    if (error) {
        fprintf(stderr, "fuzz: cannot make %s: %s\n", relative.c_str(), error.message().c_str());
        abort();
    }
}

void writeHostFile(const std::string& relative, const void* data, size_t size) {
    std::ofstream out(hostPath(relative), std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        fprintf(stderr, "fuzz: cannot write %s\n", relative.c_str());
        abort();
    }
}

void writeHostFile(const std::string& relative, const std::string& content) {
    writeHostFile(relative, content.data(), content.size());
}

bool readHostFile(const std::string& relative, std::string& content) {
    std::ifstream in(hostPath(relative), std::ios::binary);
    if (!in) return false;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool hostEntryExists(const std::string& relative) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(hostPath(relative), ignored));
}

void require(bool kept, const char* promise) {
    if (kept) return;
    fprintf(stderr, "fuzz: broken promise: %s\n", promise);
    abort();
}

} // namespace fuzz
