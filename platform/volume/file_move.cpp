// Moving files on the simulated machine: MoveFileA, and MoveFileExA with
// its options. The 9x family has no MoveFileExA.
#include <errno.h>
#include <unistd.h>

#include <cstdio>

#include "sim_state.h"

namespace sim {

namespace {

constexpr DWORD errorNotSameDevice = 17; // ERROR_NOT_SAME_DEVICE

BOOL failWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// Why an existing target may not be replaced, or ERROR_SUCCESS.
DWORD replacementRefusal(const std::string& from, const std::string& to) {
    const DWORD target = attributesOf(to);
    if (target == INVALID_FILE_ATTRIBUTES || (target & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) ||
        (attributesOf(from) & FILE_ATTRIBUTE_DIRECTORY)) {
        return ERROR_ACCESS_DENIED;
    }
    if (isInUse(to)) return ERROR_SHARING_VIOLATION;
    if (isRunningImage(to)) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

void moveAttributeBits(const std::string& from, const std::string& to) {
    auto& bits = machine().attributeBits;
    const auto stored = bits.find(from);
    if (stored == bits.end()) {
        bits.erase(to);
        return;
    }
    bits[to] = stored->second;
    bits.erase(from);
}

// A rename across host file systems: a copy and a delete where that is
// allowed and the source is a file.
BOOL moveAcrossDevices(const std::string& from, const std::string& to, DWORD flags) {
    if (!(flags & MOVEFILE_COPY_ALLOWED) || (attributesOf(from) & FILE_ATTRIBUTE_DIRECTORY)) {
        return failWith(errorNotSameDevice);
    }
    if (!copyHostFile(from, to, true)) return FALSE;
    ::unlink(from.c_str());
    machine().attributeBits.erase(from);
    return TRUE;
}

BOOL moveFile(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
    std::string from;
    std::string to;
    bool targetExists = false;
    if (!resolveExisting(existingFileName, from)) return FALSE;
    if (attributesOf(from) == INVALID_FILE_ATTRIBUTES) return failWith(ERROR_FILE_NOT_FOUND);
    if (newFileName == nullptr) return failWith(ERROR_INVALID_PARAMETER);
    if (!resolvePath(newFileName, to, targetExists)) return FALSE;
    if (targetExists && !(flags & MOVEFILE_REPLACE_EXISTING)) return failWith(ERROR_ALREADY_EXISTS);
    if (targetExists) {
        const DWORD refusal = replacementRefusal(from, to);
        if (refusal != ERROR_SUCCESS) return failWith(refusal);
    }
    if (isInUse(from)) return failWith(ERROR_SHARING_VIOLATION);
    if (isRunningImage(from)) return failWith(ERROR_ACCESS_DENIED);
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        return errno == EXDEV ? moveAcrossDevices(from, to, flags) : failWith(ERROR_ACCESS_DENIED);
    }
    moveAttributeBits(from, to);
    return TRUE;
}

} // namespace

} // namespace sim

// As on the real system, MoveFileA is MoveFileExA with copying allowed.
BOOL MoveFileA(LPCSTR existingFileName, LPCSTR newFileName) {
    sim::forgetListedFolder(); // a folder may move
    return sim::moveFile(existingFileName, newFileName, MOVEFILE_COPY_ALLOWED);
}

BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
    if (sim::isNineX()) return sim::failWith(ERROR_CALL_NOT_IMPLEMENTED);
    if (existingFileName == nullptr) return sim::failWith(ERROR_INVALID_PARAMETER);
    if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
        if (flags & MOVEFILE_COPY_ALLOWED) return sim::failWith(ERROR_INVALID_PARAMETER);
        return sim::queueMoveAtRestart(existingFileName, newFileName, flags);
    }
    sim::forgetListedFolder();
    return sim::moveFile(existingFileName, newFileName, flags);
}
