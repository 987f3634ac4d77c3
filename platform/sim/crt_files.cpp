// The C runtime's low-level file functions on the simulated machine. Only
// reading is offered, which is all the engine does through them.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sim_state.h"

namespace {

// Access modes of _access: 0 existence, 2 write, 4 read, 6 both.
constexpr int accessWrite = 2;

// Open flags beyond reading that this machine does not offer.
constexpr int writeFlags = 0x0001 | 0x0002 | 0x0100 | 0x0200 | 0x0008; // _O_WRONLY _O_RDWR _O_CREAT _O_TRUNC _O_APPEND

int failErrno(int error) {
    errno = error;
    return -1;
}

} // namespace

int _access(const char* path, int mode) {
    std::string host;
    bool found = false;
    if (path == nullptr || !sim::resolvePath(path, host, found) || !found) return failErrno(ENOENT);
    const DWORD attributes = sim::attributesOf(host);
    if (attributes == INVALID_FILE_ATTRIBUTES) return failErrno(ENOENT);
    if ((mode & accessWrite) && (attributes & FILE_ATTRIBUTE_READONLY)) return failErrno(EACCES);
    return 0;
}

int _open(const char* path, int flags, ...) {
    sim::Machine& m = sim::machine();
    ++m.fileCalls.opens;
    if (flags & writeFlags) return failErrno(EINVAL);
    std::string host;
    bool found = false;
    if (path == nullptr || !sim::resolvePath(path, host, found) || !found) return failErrno(ENOENT);
    const DWORD attributes = sim::attributesOf(host);
    if (attributes == INVALID_FILE_ATTRIBUTES) return failErrno(ENOENT);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || m.filesInUse.count(host)) return failErrno(EACCES);
    struct stat info {};
    const int fd = sim::openHost(host, info);
    if (fd < 0) return failErrno(EACCES);
    // What lies there may have changed since it was looked at.
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return failErrno(EACCES);
    }
    if (m.unreadableFiles.count(host)) m.unreadableDescriptors.insert(fd);
    return fd;
}

int _read(int fd, void* buffer, unsigned int count) {
    sim::Machine& m = sim::machine();
    ++m.fileCalls.reads;
    if (m.unreadableDescriptors.count(fd)) return failErrno(EIO);
    const ssize_t got = ::read(fd, buffer, count);
    return got < 0 ? failErrno(EBADF) : static_cast<int>(got);
}

// The offset is a 32-bit long on Windows; the machine honours that width so
// that a position beyond 2 GiB fails here just as it does there.
long _lseek(int fd, long offset, int origin) {
    ++sim::machine().fileCalls.seeks;
    if (offset != static_cast<int32_t>(offset)) return failErrno(EINVAL);
    const off_t position = ::lseek(fd, offset, origin);
    if (position < 0 || position > INT32_MAX) return failErrno(EINVAL);
    return static_cast<long>(position);
}

long _filelength(int fd) {
    ++sim::machine().fileCalls.lengthQueries;
    struct stat info {};
    if (fstat(fd, &info) != 0) return failErrno(EBADF);
    return info.st_size > INT32_MAX ? -1L : static_cast<long>(info.st_size);
}

int _close(int fd) {
    ++sim::machine().fileCalls.closes;
    sim::machine().unreadableDescriptors.erase(fd);
    return ::close(fd) == 0 ? 0 : failErrno(EBADF);
}

int _write(int, const void*, unsigned int) { return failErrno(EBADF); }
