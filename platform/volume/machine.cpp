// The volume's set-up calls, its last-error slot and its drive table.
#include <sys/stat.h>

#include <cctype>

#include "sim_state.h"

namespace sim {

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;

int driveIndex(char letter) {
    const int upper = std::toupper(static_cast<unsigned char>(letter));
    if (upper < 'A' || upper > 'Z') return -1;
    return upper - 'A';
}
} // namespace

Machine& machine() {
    static Machine instance;
    return instance;
}

uintptr_t newHandleValue() {
    Machine& m = machine();
    const uintptr_t value = m.nextHandle;
    m.nextHandle += handleStep;
    return value;
}

std::string upperCase(const std::string& text) {
    std::string result = text;
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

void reset() {
    Machine& m = machine();
    m = Machine{};
    setAnsiCodePage(AnsiCodePage::western);
    if (RunningSystem* running = runningSystem()) running->reset();
    lastError = ERROR_SUCCESS;
}

bool mapDrive(char letter, const std::string& hostDir, UINT driveType) {
    const int index = driveIndex(letter);
    struct stat info {};
    if (index < 0 || stat(hostDir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    std::string root = hostDir;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    const std::string realRoot = realHostPath(root);
    if (realRoot.empty()) return false;
    machine().drives[index] = Drive{root, realRoot, driveType};
    forgetListedFolder();
    return true;
}

std::string hostPathOf(const std::string& windowsPath) {
    std::string host;
    bool exists = false;
    const DWORD savedError = lastError;
    const bool resolved = resolvePath(windowsPath, host, exists);
    lastError = savedError;
    return resolved ? host : std::string();
}

bool isDriveRoot(const std::string& host) {
    for (const Drive& drive : machine().drives) {
        if (!drive.hostRoot.empty() && drive.hostRoot == host) return true;
    }
    return false;
}

} // namespace sim

DWORD GetLastError(void) { return sim::lastError; }

void SetLastError(DWORD error) { sim::lastError = error; }

// Accepts "X:" and "X:\" (or "X:/"), as the real call does; anything else is
// not the root of a drive.
UINT GetDriveTypeA(LPCSTR rootPathName) {
    if (rootPathName == nullptr) return DRIVE_NO_ROOT_DIR;
    const int index = sim::driveIndex(rootPathName[0]);
    if (index < 0 || rootPathName[1] != ':') return DRIVE_NO_ROOT_DIR;
    const char rest = rootPathName[2];
    const bool rootOnly =
        rest == '\0' || ((rest == '\\' || rest == '/') && rootPathName[3] == '\0');
    const sim::Drive& drive = sim::machine().drives[index];
    if (!rootOnly || drive.hostRoot.empty()) return DRIVE_NO_ROOT_DIR;
    return drive.type;
}
