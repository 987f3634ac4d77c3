// libFuzzer target of the 9x restart file's rewrite: any bytes as the
// wininit.ini of a Windows 98 machine's Windows folder (none at all for an
// empty input), then two files queued for deletion at restart as a held
// file is. Both must be queued, and the file must then be exactly what the
// rewrite promises: every byte as it was, with each deletion line as the
// last line of the first [rename] section (or of a section added at the
// end), and nothing of the replacement's own files left beside it.
#include <stdint.h>

#include <string>

#include "fuzz_machine.h"
#include "restart_delete.h"
#include "win32api.h"

namespace {

const char* const windowsFolder = "WINDOWS"; // the machine's Windows folder, C:\WINDOWS
const char* const restartFile = "WINDOWS/wininit.ini";
const char* const leftovers[] = {"WINDOWS/qvwinini.new", "WINDOWS/qvwinini.old"};
const char* const renameHeader = "[rename]";
const char* const lineEnd = "\r\n";

struct Held {
    const char* folder; // host folder, "" for the drive's root
    const char* file;   // host path
    const char* path;   // Windows path
};
// A long name, which the line must give by its short path, and an 8.3 one.
const Held heldFiles[] = {
    {"Program Files", "Program Files/held sample.exe", "C:\\Program Files\\held sample.exe"},
    {"", "SECOND.EXE", "C:\\SECOND.EXE"},
};

char folded(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool isRenameHeader(const std::string& line) {
    const std::string header = renameHeader;
    if (line.size() < header.size()) return false;
    for (size_t i = 0; i < header.size(); ++i) {
        if (folded(line[i]) != folded(header[i])) return false;
    }
    return true;
}

// The rewrite's promise, line by line (a line ends with its LF).
std::string withEntry(const std::string& content, const std::string& entry) {
    std::string result;
    bool inRename = false;
    for (size_t start = 0; start < content.size();) {
        const size_t lf = content.find('\n', start);
        const size_t end = lf == std::string::npos ? content.size() : lf + 1;
        const std::string line = content.substr(start, end - start);
        if (inRename && line[0] == '[') return result + entry + content.substr(start);
        if (!inRename) inRename = isRenameHeader(line);
        result += line;
        start = end;
    }
    if (!content.empty() && content.back() != '\n') result += lineEnd;
    if (!inRename) result += std::string(renameHeader) + lineEnd;
    return result + entry;
}

std::string shortPathOf(const char* path) {
    char shortPath[MAX_PATH];
    const DWORD length = GetShortPathNameA(path, shortPath, sizeof shortPath);
    fuzz::require(length > 0 && length < sizeof shortPath, "a file that is there has a short path");
    return std::string(shortPath, length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::freshMachine(sim::Release::windows98);
    fuzz::makeHostFolder(windowsFolder);
    std::string expected(reinterpret_cast<const char*>(data), size);
    if (size > 0) fuzz::writeHostFile(restartFile, expected);
    for (const Held& held : heldFiles) {
        if (held.folder[0] != '\0') fuzz::makeHostFolder(held.folder);
        fuzz::writeHostFile(held.file, "held");
        expected = withEntry(expected, "NUL=" + shortPathOf(held.path) + lineEnd);
        fuzz::require(scheduleDeleteAtRestart(held.path) == 1, "a 9x file is queued in a restart file that can be written");
        std::string written;
        fuzz::require(fuzz::readHostFile(restartFile, written), "the restart file is there after queueing");
        fuzz::require(written == expected, "the restart file is its old bytes with the line in its [rename] section");
        for (const char* leftover : leftovers) {
            fuzz::require(!fuzz::hostEntryExists(leftover), "the replacement leaves none of its own files");
        }
        fuzz::require(fuzz::hostEntryExists(held.file), "queueing leaves the file where it is");
    }
    return 0;
}
