// The C runtime's low-level file functions on the simulated machine.
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sim_state.h"

namespace {

// Access modes of _access: 0 existence, 2 write, 4 read, 6 both.
constexpr int accessWrite = 2;
constexpr int accessModeMask = _O_WRONLY | _O_RDWR;
constexpr mode_t writableFile = 0666;
constexpr mode_t readOnlyFile = 0444;

int failErrno(int error) {
    errno = error;
    return -1;
}

// The errno the C runtime makes of the machine's last error.
int errnoOfLastError() { return GetLastError() == ERROR_ACCESS_DENIED ? EACCES : ENOENT; }

// Why an existing entry may not be opened this way, or 0.
int refusalToOpen(const std::string& host, int flags) {
    const DWORD attributes = sim::attributesOf(host);
    if (attributes == INVALID_FILE_ATTRIBUTES) return ENOENT;
    if ((flags & (_O_CREAT | _O_EXCL)) == (_O_CREAT | _O_EXCL)) return EEXIST;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || sim::isInUse(host)) return EACCES;
    const bool writing = (flags & (accessModeMask | _O_TRUNC)) != 0;
    if (writing && ((attributes & FILE_ATTRIBUTE_READONLY) || sim::isRunningImage(host))) return EACCES;
    return 0;
}

int hostFlags(int flags) {
    int mode = O_RDONLY;
    if (flags & _O_WRONLY) mode = O_WRONLY;
    if (flags & _O_RDWR) mode = O_RDWR;
    if (flags & _O_APPEND) mode |= O_APPEND;
    return mode;
}

// Neither writing nor truncating: an existing file is opened for reading.
bool readsOnly(int flags) { return (flags & (accessModeMask | _O_TRUNC)) == 0; }

// Reads an existing file and creates nothing.
bool isReadOnly(int flags) { return readsOnly(flags) && !(flags & _O_CREAT); }

// Opens an existing regular file. A link at the end of the path leads
// inside the drives (the resolution saw to that); what it leads to is
// opened without following anything further.
int openExisting(const std::string& host, int flags) {
    struct stat info {};
    int fd = -1;
    if (readsOnly(flags)) {
        fd = sim::openHost(host, info);
    } else {
        sim::beforeOpening(host);
        const std::string target = sim::realHostPath(host);
        const int hostMode = hostFlags(flags) | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        fd = target.empty() ? -1 : ::open(target.c_str(), hostMode);
        if (fd >= 0 && (fstat(fd, &info) != 0 || !sim::isOpenedInsideDrives(fd))) info.st_mode = 0;
    }
    if (fd < 0) return failErrno(EACCES);
    // What lies there may have changed since it was looked at.
    if (!S_ISREG(info.st_mode) || ((flags & _O_TRUNC) && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return failErrno(EACCES);
    }
    return fd;
}

// Creates a new regular file where nothing is; read-only unless the
// permission asks for writing, as the C runtime's _S_IWRITE does.
int createNew(const std::string& host, int flags, int permission) {
    sim::beforeOpening(host);
    const mode_t mode = (permission & _S_IWRITE) ? writableFile : readOnlyFile;
    const int fd = ::open(host.c_str(), hostFlags(flags) | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
    if (fd < 0) return failErrno(errno == EEXIST ? EEXIST : EACCES);
    // A folder on the way swapped for a link out of the drives meanwhile.
    if (!sim::isOpenedInsideDrives(fd)) {
        ::unlink(host.c_str());
        ::close(fd);
        return failErrno(EACCES);
    }
    return fd;
}

// Text mode is the C runtime's default; only _O_BINARY turns it off.
bool isTextMode(int flags) { return !(flags & _O_BINARY); }

// What the machine keeps of a descriptor it has just opened.
int noteOpened(int fd, const std::string& host, int flags) {
    sim::Machine& m = sim::machine();
    if (sim::RunningSystem* running = sim::runningSystem()) running->descriptorOpened(fd, host);
    if (isTextMode(flags)) m.textDescriptors.insert(fd);
    return fd;
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

// Opens for reading, writing or both, and creates, only inside the drives
// and only regular files.
int _open(const char* path, int flags, ...) {
    sim::Machine& m = sim::machine();
    sim::countCall(sim::FileCall::open);
    int permission = 0;
    if (flags & _O_CREAT) {
        va_list arguments;
        va_start(arguments, flags);
        permission = va_arg(arguments, int);
        va_end(arguments);
    }
    if ((flags & accessModeMask) == accessModeMask) return failErrno(EINVAL);
    std::string host;
    bool found = false;
    if (path == nullptr) return failErrno(ENOENT);
    int fd = -1;
    if (isReadOnly(flags)) {
        long long length = 0;
        const sim::ListedOpen listed = sim::openListedFile(path, fd, host, length);
        if (listed == sim::ListedOpen::refused) return -1;
        if (listed == sim::ListedOpen::opened) {
            // Nothing can change its length through this descriptor.
            m.readOnlyLengths.set(fd, length);
            return noteOpened(fd, host, flags);
        }
    }
    if (!sim::resolvePath(path, host, found)) return failErrno(errnoOfLastError());
    if (!found && !(flags & _O_CREAT)) return failErrno(ENOENT);
    if (found) {
        const int refusal = refusalToOpen(host, flags);
        if (refusal != 0) return failErrno(refusal);
    }
    fd = found ? openExisting(host, flags) : createNew(host, flags, permission);
    if (fd < 0) return -1;
    return noteOpened(fd, host, flags);
}

int _read(int fd, void* buffer, unsigned int count) {
    sim::Machine& m = sim::machine();
    sim::countCall(sim::FileCall::read);
    if (sim::runningSystem() != nullptr && sim::runningSystem()->readFails(fd)) return failErrno(EIO);
    const int host = m.deferredFiles.hostDescriptor(fd);
    if (host < 0) return -1;
    const int got = m.textDescriptors.count(fd) ? sim::readText(host, static_cast<char*>(buffer), count)
                                                : static_cast<int>(::read(host, buffer, count));
    return got < 0 ? failErrno(EBADF) : got;
}

int _write(int fd, const void* buffer, unsigned int count) {
    sim::Machine& m = sim::machine();
    sim::countCall(sim::FileCall::write);
    const char* data = static_cast<const char*>(buffer);
    const int host = m.deferredFiles.hostDescriptor(fd);
    const bool written = host >= 0 && (m.textDescriptors.count(fd) ? sim::writeText(host, data, count) >= 0
                                                                   : sim::writeAllHost(host, data, count));
    return written ? static_cast<int>(count) : failErrno(EBADF);
}

// The offset is a 32-bit long on Windows; the machine honours that width so
// that a position beyond 2 GiB fails here just as it does there.
long _lseek(int fd, long offset, int origin) {
    sim::countCall(sim::FileCall::seek);
    if (offset != static_cast<int32_t>(offset)) return failErrno(EINVAL);
    const int host = sim::machine().deferredFiles.hostDescriptor(fd);
    if (host < 0) return -1;
    const off_t position = ::lseek(host, offset, origin);
    if (position < 0 || position > INT32_MAX) return failErrno(EINVAL);
    return static_cast<long>(position);
}

namespace {

// A CRT descriptor's system handle: the descriptor, marked so that it is
// never taken for a handle of CreateFileA or a listing.
constexpr uintptr_t crtHandleMark = uintptr_t{1} << 62;

// A file opened for reading only has the length it had when it was opened
// (it is asked just after); any other is asked of the host.
bool descriptorLength(int fd, long long& length) {
    sim::Machine& m = sim::machine();
    sim::countCall(sim::FileCall::lengthQuery);
    const long long* known = m.readOnlyLengths.find(fd);
    if (known != nullptr) {
        length = *known;
        return true;
    }
    struct stat info {};
    const int host = m.deferredFiles.hostDescriptor(fd);
    if (host < 0 || fstat(host, &info) != 0) return false;
    length = static_cast<long long>(info.st_size);
    return true;
}

} // namespace

// A length past the runtime's 32-bit long is an error there, as here.
long _filelength(int fd) {
    long long length = 0;
    if (!descriptorLength(fd, length)) return failErrno(EBADF);
    return length > INT32_MAX ? -1L : static_cast<long>(length);
}

// Asks nothing of the host: a descriptor not yet opened there stays so.
intptr_t _get_osfhandle(int fd) {
    if (fd < 0) return failErrno(EBADF);
    return static_cast<intptr_t>(crtHandleMark | static_cast<uintptr_t>(fd));
}

namespace sim {

// A deferred file answers with what was looked at when it was opened (its
// length, its identity and its count of names), costing the host nothing.
bool crtDescriptorFacts(HANDLE file, struct stat& facts) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(file);
    if (!(value & crtHandleMark)) return false;
    const int fd = static_cast<int>(value & ~crtHandleMark);
    Machine& m = machine();
    if (const struct stat* looked = m.deferredFiles.looked(fd)) {
        facts = *looked;
        return true;
    }
    const int host = m.deferredFiles.hostDescriptor(fd);
    return host >= 0 && fstat(host, &facts) == 0;
}

bool isCrtHandle(HANDLE file) { return (reinterpret_cast<uintptr_t>(file) & crtHandleMark) != 0; }

} // namespace sim

// The whole length of a descriptor's file, in two halves; a handle of
// CreateFileA answers with the length it saw when it was made.
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(file);
    unsigned long long length = 0;
    if (value & crtHandleMark) {
        long long known = 0;
        if (!descriptorLength(static_cast<int>(value & ~crtHandleMark), known)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return INVALID_FILE_SIZE;
        }
        length = static_cast<unsigned long long>(known);
    } else {
        BY_HANDLE_FILE_INFORMATION info;
        if (!GetFileInformationByHandle(file, &info)) return INVALID_FILE_SIZE;
        length = (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    }
    if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(length >> 32);
    // A length whose low half looks like the failure is told apart by the error.
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(length & 0xffffffffu);
}

int _close(int fd) {
    sim::Machine& m = sim::machine();
    sim::countCall(sim::FileCall::close);
    if (sim::RunningSystem* running = sim::runningSystem()) running->descriptorClosed(fd);
    m.textDescriptors.erase(fd);
    m.readOnlyLengths.erase(fd);
    if (m.deferredFiles.close(fd)) return 0;
    return ::close(fd) == 0 ? 0 : failErrno(EBADF);
}
