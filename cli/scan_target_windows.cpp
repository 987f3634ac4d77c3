// A folder of the real machine, or every fixed drive.
#include <string>

#include "scan_driver.h"
#include "scan_state.h"
#include "scan_target.h"
#include "system_message.h"
#include "text_util.h"

namespace {

bool fullFolderPath(const std::string& folder, std::string& full) {
    char buffer[MAX_PATH];
    const DWORD length = GetFullPathNameA(folder.c_str(), sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer) return false;
    full = buffer;
    return true;
}

// The folder as the walk wants it: without a trailing backslash ("C:\"
// becomes "C:"), so that the walk's paths read "C:\file".
std::string withoutTrailingSeparator(std::string folder) {
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

bool checkFolder(const std::string& folder, std::string& error) {
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = folder + ": " + systemMessage(GetLastError());
        return false;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = folder + ": not a folder";
        return false;
    }
    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA((withoutTrailingSeparator(folder) + "\\*.*").c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE) {
        const DWORD reason = GetLastError();
        if (reason == ERROR_FILE_NOT_FOUND) return true; // an empty drive root
        error = folder + ": cannot be listed: " + systemMessage(reason);
        return false;
    }
    FindClose(listing);
    return true;
}

} // namespace

bool prepareScanTarget(const ScanOptions& options, std::string& error) {
    if (options.folder.empty()) return copyText(scanState.scanTarget, pathTextSize, everyFixedDrive);
    std::string folder;
    if (!fullFolderPath(options.folder, folder)) {
        error = options.folder + ": not a usable path";
        return false;
    }
    if (!checkFolder(folder, error)) return false;
    if (!copyText(scanState.scanTarget, pathTextSize, withoutTrailingSeparator(folder).c_str())) {
        error = options.folder + ": path too long";
        return false;
    }
    return true;
}

// The registry this program cleans on Windows is the live one: nothing is
// left to write.
bool prepareRestoreTarget(const ScanOptions&, std::string&) { return true; } // items go back to their own paths

bool finishScanTarget() { return true; }

// On a running system the scan deletes a service's registration as it
// stops it.
void afterDetectedFile(const char*) {}

const char* targetRegistryText() { return "the running system's"; }

bool targetIsRunningSystem() { return true; }

bool targetLeftUnchanged() { return false; }

bool targetSystemVersion(TargetVersion& version) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return true; // there is one, of no known version
    constexpr unsigned long lowWord = 0xFFFF;
    version = TargetVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber & lowWord, info.szCSDVersion};
    return true;
}
