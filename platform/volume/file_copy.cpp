// Copying files on the simulated machine.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "sim_state.h"

namespace sim {

namespace {

constexpr size_t copyChunk = 64 * 1024;
constexpr mode_t permissionBits = 07777;
const char* const copyNamePattern = "/.quorvane-copy-XXXXXX";

bool failWith(DWORD error) {
    SetLastError(error);
    return false;
}

std::string folderOf(const std::string& host) { return host.substr(0, host.find_last_of('/')); }

bool copyContent(int from, int to) {
    char buffer[copyChunk];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got == 0) return true;
        if (got < 0 || !writeAllHost(to, buffer, static_cast<size_t>(got))) return false;
    }
}

// Puts the finished copy in place: over `to`, or only where nothing is.
bool placeCopy(const std::string& copy, const std::string& to, bool replace) {
    if (replace) return ::rename(copy.c_str(), to.c_str()) == 0 || failWith(ERROR_ACCESS_DENIED);
    if (::link(copy.c_str(), to.c_str()) != 0) {
        return failWith(errno == EEXIST ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED);
    }
    ::unlink(copy.c_str());
    return true;
}

void copyAttributeBits(const std::string& from, const std::string& to) {
    auto& bits = machine().attributeBits;
    const auto stored = bits.find(from);
    bits[to] = (stored != bits.end() ? stored->second : 0) | FILE_ATTRIBUTE_ARCHIVE;
}

} // namespace

bool copyHostFile(const std::string& from, const std::string& to, bool replace) {
    struct stat info {};
    const int source = openHost(from, info);
    if (source < 0 || !S_ISREG(info.st_mode)) {
        if (source >= 0) ::close(source);
        return failWith(ERROR_ACCESS_DENIED);
    }
    std::string copy = folderOf(to) + copyNamePattern;
    const int target = ::mkstemp(&copy[0]);
    if (target < 0) {
        ::close(source);
        return failWith(ERROR_ACCESS_DENIED);
    }
    const bool copied = copyContent(source, target) && ::fchmod(target, info.st_mode & permissionBits) == 0;
    ::close(source);
    const bool closed = ::close(target) == 0;
    if (!copied || !closed || !placeCopy(copy, to, replace)) {
        const DWORD error = copied && closed ? GetLastError() : ERROR_ACCESS_DENIED;
        ::unlink(copy.c_str());
        return failWith(error);
    }
    copyAttributeBits(from, to);
    return true;
}

} // namespace sim

BOOL CopyFileA(LPCSTR existingFileName, LPCSTR newFileName, BOOL failIfExists) {
    std::string from;
    std::string to;
    bool targetExists = false;
    if (!sim::resolveExisting(existingFileName, from)) return FALSE;
    const DWORD attributes = sim::attributesOf(from);
    if (attributes == INVALID_FILE_ATTRIBUTES) return sim::failWith(ERROR_FILE_NOT_FOUND);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return sim::failWith(ERROR_ACCESS_DENIED);
    if (sim::isInUse(from)) return sim::failWith(ERROR_SHARING_VIOLATION);
    if (newFileName == nullptr) return sim::failWith(ERROR_INVALID_PARAMETER);
    if (!sim::resolvePath(newFileName, to, targetExists)) return FALSE;
    if (targetExists) {
        if (failIfExists) return sim::failWith(ERROR_FILE_EXISTS);
        const DWORD existing = sim::attributesOf(to);
        if (existing == INVALID_FILE_ATTRIBUTES || (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
            return sim::failWith(ERROR_ACCESS_DENIED);
        }
        if (sim::isInUse(to) || sim::isRunningImage(to)) return sim::failWith(ERROR_SHARING_VIOLATION);
    }
    return sim::copyHostFile(from, to, !failIfExists) ? TRUE : FALSE;
}
