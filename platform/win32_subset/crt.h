// The simulated machine's Win32 subset: the C runtime's low-level file
// functions (the system's own, not POSIX).
#ifndef QUORVANE_PLATFORM_WIN32_SUBSET_CRT_H
#define QUORVANE_PLATFORM_WIN32_SUBSET_CRT_H

#include "base.h"

// _open flags.
#define _O_RDONLY 0x0000
#define _O_WRONLY 0x0001
#define _O_RDWR 0x0002
#define _O_APPEND 0x0008
#define _O_CREAT 0x0100
#define _O_TRUNC 0x0200
#define _O_EXCL 0x0400
#define _O_TEXT 0x4000
#define _O_BINARY 0x8000

// Permission of a file _open creates.
#define _S_IWRITE 0x0080
#define _S_IREAD 0x0100

#ifndef SEEK_SET
#define SEEK_SET 0
#endif

int _access(const char* path, int mode);
int _open(const char* path, int flags, ...);
int _read(int fd, void* buffer, unsigned int count);
int _write(int fd, const void* buffer, unsigned int count);
long _lseek(int fd, long offset, int origin);
long _filelength(int fd);
// The system handle behind a descriptor, for GetFileSize.
intptr_t _get_osfhandle(int fd);
int _close(int fd);

#endif // QUORVANE_PLATFORM_WIN32_SUBSET_CRT_H
