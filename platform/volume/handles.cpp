// Handles of the simulated machine: only what the walk needs to tell one
// folder from another, and the facts of one file; and closing any handle.
#include <unistd.h>

#include "sim_state.h"

namespace {

HANDLE failHandle(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

sim::FileObject objectFor(const std::string& host, const struct stat& info) {
    sim::FileObject object;
    object.info.dwFileAttributes = sim::attributesOf(host, info);
    object.info.dwVolumeSerialNumber = static_cast<DWORD>(info.st_dev);
    object.info.nFileIndexLow = static_cast<DWORD>(info.st_ino & 0xffffffffu);
    object.info.nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(info.st_ino) >> 32);
    object.info.nNumberOfLinks = static_cast<DWORD>(info.st_nlink);
    if (!S_ISDIR(info.st_mode)) {
        object.info.nFileSizeLow = static_cast<DWORD>(static_cast<uint64_t>(info.st_size) & 0xffffffffu);
        object.info.nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(info.st_size) >> 32);
    }
    return object;
}

BOOL failWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

// Opens an existing file or folder for its identity and facts only; a folder
// needs FILE_FLAG_BACKUP_SEMANTICS, as on the real system. The host object
// is opened to take the facts from what was really there, and closed again.
HANDLE CreateFileA(LPCSTR fileName, DWORD /*desiredAccess*/, DWORD /*shareMode*/,
                   LPSECURITY_ATTRIBUTES /*securityAttributes*/, DWORD creationDisposition, DWORD flagsAndAttributes,
                   HANDLE /*templateFile*/) {
    std::string host;
    if (creationDisposition != OPEN_EXISTING) return failHandle(ERROR_INVALID_PARAMETER);
    if (!sim::resolveExisting(fileName, host)) return INVALID_HANDLE_VALUE;
    if (sim::isInUse(host)) return failHandle(ERROR_SHARING_VIOLATION);
    struct stat info {};
    const int fd = sim::openHost(host, info);
    if (fd >= 0) close(fd);
    if (fd < 0 || (S_ISDIR(info.st_mode) && !(flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS))) {
        return failHandle(ERROR_ACCESS_DENIED);
    }
    const uintptr_t handle = sim::newHandleValue();
    sim::machine().objects[handle] = objectFor(host, info);
    return reinterpret_cast<HANDLE>(handle);
}

// A C runtime descriptor's handle (of _get_osfhandle) is answered from
// the descriptor's file, as the system answers for the handle behind it.
BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    if (sim::isCrtHandle(file)) {
        struct stat facts {};
        if (info == nullptr || !sim::crtDescriptorFacts(file, facts)) return failWith(ERROR_INVALID_HANDLE);
        *info = objectFor(std::string(), facts).info;
        return TRUE;
    }
    const auto& objects = sim::machine().objects;
    const auto it = objects.find(reinterpret_cast<uintptr_t>(file));
    if (it == objects.end() || info == nullptr) return failWith(ERROR_INVALID_HANDLE);
    *info = it->second.info;
    return TRUE;
}

// Closes a file handle of CreateFileA, a token of OpenProcessToken, a
// process handle of OpenProcess or a Toolhelp snapshot.
BOOL CloseHandle(HANDLE object) {
    sim::Machine& m = sim::machine();
    const uintptr_t value = reinterpret_cast<uintptr_t>(object);
    if (m.objects.erase(value) == 0 && (sim::runningSystem() == nullptr || !sim::runningSystem()->closeHandle(value))) {
        return failWith(ERROR_INVALID_HANDLE);
    }
    return TRUE;
}
