// Files and folders by name on the simulated machine: attributes, delete,
// move, folder creation, and handles that identify a file or folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

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

// Resolves a path that must exist. Sets the last error as the system does
// when it does not.
bool resolveExisting(LPCSTR path, std::string& host) {
    bool found = false;
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!resolvePath(path, host, found)) return false;
    if (!found) SetLastError(ERROR_FILE_NOT_FOUND);
    return found;
}

bool inUse(const std::string& host) { return machine().filesInUse.count(host) != 0; }

} // namespace

} // namespace sim

DWORD GetFileAttributesA(LPCSTR fileName) {
    std::string host;
    if (!sim::resolveExisting(fileName, host)) return INVALID_FILE_ATTRIBUTES;
    return sim::attributesOf(host);
}

BOOL SetFileAttributesA(LPCSTR fileName, DWORD attributes) {
    std::string host;
    if (!sim::resolveExisting(fileName, host)) return FALSE;
    struct stat info {};
    if (stat(host.c_str(), &info) != 0) return sim::failWith(ERROR_FILE_NOT_FOUND);
    mode_t mode = info.st_mode & 07777;
    if (!S_ISDIR(info.st_mode)) {
        mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
        if (chmod(host.c_str(), mode) != 0) return sim::failWith(ERROR_ACCESS_DENIED);
    }
    sim::machine().attributeBits[host] = attributes & sim::storedAttributeBits;
    return TRUE;
}

BOOL DeleteFileA(LPCSTR fileName) {
    std::string host;
    if (!sim::resolveExisting(fileName, host)) return FALSE;
    const DWORD attributes = sim::attributesOf(host);
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return sim::failWith(ERROR_ACCESS_DENIED);
    if (sim::inUse(host)) return sim::failWith(ERROR_SHARING_VIOLATION);
    if (unlink(host.c_str()) != 0) return sim::failWith(ERROR_ACCESS_DENIED);
    sim::machine().attributeBits.erase(host);
    return TRUE;
}

BOOL MoveFileA(LPCSTR existingFileName, LPCSTR newFileName) {
    std::string from;
    std::string to;
    bool targetExists = false;
    if (!sim::resolveExisting(existingFileName, from)) return FALSE;
    if (newFileName == nullptr) return sim::failWith(ERROR_INVALID_PARAMETER);
    if (!sim::resolvePath(newFileName, to, targetExists)) return FALSE;
    if (targetExists) return sim::failWith(ERROR_ALREADY_EXISTS);
    if (sim::inUse(from)) return sim::failWith(ERROR_SHARING_VIOLATION);
    if (std::rename(from.c_str(), to.c_str()) != 0) return sim::failWith(ERROR_ACCESS_DENIED);
    auto& bits = sim::machine().attributeBits;
    const auto stored = bits.find(from);
    if (stored != bits.end()) {
        bits[to] = stored->second;
        bits.erase(from);
    }
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR pathName, void* /*securityAttributes*/) {
    std::string host;
    bool found = false;
    if (pathName == nullptr) return sim::failWith(ERROR_INVALID_PARAMETER);
    if (!sim::resolvePath(pathName, host, found)) return FALSE;
    if (found) return sim::failWith(ERROR_ALREADY_EXISTS);
    if (mkdir(host.c_str(), 0777) != 0) return sim::failWith(ERROR_PATH_NOT_FOUND);
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR pathName) {
    std::string host;
    if (!sim::resolveExisting(pathName, host)) return FALSE;
    if (!(sim::attributesOf(host) & FILE_ATTRIBUTE_DIRECTORY)) return sim::failWith(ERROR_DIRECTORY);
    if (rmdir(host.c_str()) != 0) return sim::failWith(ERROR_DIR_NOT_EMPTY);
    sim::machine().attributeBits.erase(host);
    return TRUE;
}

// Opens an existing file or folder for its identity and facts only; a folder
// needs FILE_FLAG_BACKUP_SEMANTICS, as on the real system.
HANDLE CreateFileA(LPCSTR fileName, DWORD /*desiredAccess*/, DWORD /*shareMode*/, void* /*securityAttributes*/,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE /*templateFile*/) {
    std::string host;
    if (creationDisposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (!sim::resolveExisting(fileName, host)) return INVALID_HANDLE_VALUE;
    struct stat info {};
    const DWORD attributes = sim::attributesOf(host);
    if (stat(host.c_str(), &info) != 0 ||
        ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (sim::inUse(host)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    sim::FileObject object;
    object.info.dwFileAttributes = attributes;
    object.info.dwVolumeSerialNumber = static_cast<DWORD>(info.st_dev);
    object.info.nFileIndexLow = static_cast<DWORD>(info.st_ino & 0xffffffffu);
    object.info.nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(info.st_ino) >> 32);
    object.info.nNumberOfLinks = static_cast<DWORD>(info.st_nlink);
    if (!S_ISDIR(info.st_mode)) {
        object.info.nFileSizeLow = static_cast<DWORD>(static_cast<uint64_t>(info.st_size) & 0xffffffffu);
        object.info.nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(info.st_size) >> 32);
    }
    const uintptr_t handle = sim::newHandleValue();
    sim::machine().objects[handle] = object;
    return reinterpret_cast<HANDLE>(handle);
}

BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    const auto& objects = sim::machine().objects;
    const auto it = objects.find(reinterpret_cast<uintptr_t>(file));
    if (it == objects.end() || info == nullptr) return sim::failWith(ERROR_INVALID_HANDLE);
    *info = it->second.info;
    return TRUE;
}

BOOL CloseHandle(HANDLE object) {
    if (sim::machine().objects.erase(reinterpret_cast<uintptr_t>(object)) == 0) {
        return sim::failWith(ERROR_INVALID_HANDLE);
    }
    return TRUE;
}
