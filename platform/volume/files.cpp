// Files and folders by name on the simulated machine: attributes, delete,
// folder creation and removal.
#include <sys/stat.h>
#include <unistd.h>

#include "sim_state.h"

namespace sim {

namespace {

// Bits the machine keeps beside the host file; read-only and directory come
// from the host itself.
constexpr DWORD storedAttributeBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

BOOL failWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

} // namespace sim

DWORD GetFileAttributesA(LPCSTR fileName) {
    std::string host;
    if (!sim::resolveExisting(fileName, host)) return INVALID_FILE_ATTRIBUTES;
    const DWORD attributes = sim::attributesOf(host);
    if (attributes == INVALID_FILE_ATTRIBUTES) SetLastError(ERROR_FILE_NOT_FOUND); // a pipe, say: not there
    return attributes;
}

BOOL SetFileAttributesA(LPCSTR fileName, DWORD attributes) {
    std::string host;
    if (!sim::resolveExisting(fileName, host)) return FALSE;
    struct stat info {};
    if (stat(host.c_str(), &info) != 0) return sim::failWith(ERROR_FILE_NOT_FOUND);
    // Read-only is the owner's write bit alone, so that clearing it and
    // setting it again gives back the mode the file had.
    mode_t mode = info.st_mode & 07777;
    if (S_ISREG(info.st_mode)) {
        mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
        if (chmod(host.c_str(), mode) != 0) return sim::failWith(ERROR_ACCESS_DENIED);
    } else if (!S_ISDIR(info.st_mode)) {
        return sim::failWith(ERROR_FILE_NOT_FOUND);
    }
    sim::machine().attributeBits[host] = attributes & sim::storedAttributeBits;
    return TRUE;
}

BOOL DeleteFileA(LPCSTR fileName) {
    std::string host;
    if (!sim::resolveExisting(fileName, host)) return FALSE;
    const DWORD attributes = sim::attributesOf(host);
    if (attributes == INVALID_FILE_ATTRIBUTES) return sim::failWith(ERROR_FILE_NOT_FOUND);
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return sim::failWith(ERROR_ACCESS_DENIED);
    if (sim::isInUse(host)) return sim::failWith(ERROR_SHARING_VIOLATION);
    if (sim::isRunningImage(host)) return sim::failWith(ERROR_ACCESS_DENIED);
    if (unlink(host.c_str()) != 0) return sim::failWith(ERROR_ACCESS_DENIED);
    sim::machine().attributeBits.erase(host);
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES /*securityAttributes*/) {
    std::string host;
    bool found = false;
    if (pathName == nullptr) return sim::failWith(ERROR_INVALID_PARAMETER);
    if (!sim::resolvePath(pathName, host, found)) return FALSE;
    if (found) return sim::failWith(ERROR_ALREADY_EXISTS);
    if (mkdir(host.c_str(), 0777) != 0) return sim::failWith(ERROR_PATH_NOT_FOUND);
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR pathName) {
    sim::forgetListedFolder();
    std::string host;
    if (!sim::resolveExisting(pathName, host)) return FALSE;
    const DWORD attributes = sim::attributesOf(host);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return sim::failWith(ERROR_DIRECTORY);
    }
    // A link to a folder goes itself, as a junction does; the folder stays.
    struct stat own {};
    const bool isLink = lstat(host.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
    if ((isLink ? unlink(host.c_str()) : rmdir(host.c_str())) != 0) return sim::failWith(ERROR_DIR_NOT_EMPTY);
    sim::machine().attributeBits.erase(host);
    return TRUE;
}
