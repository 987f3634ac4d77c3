// Terminal detection for the console front end.
#include "terminal.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

// Only a console has a console mode. _isatty would not do: it answers yes
// for every character device, the NUL device that an unattended run's input
// is often taken from among them.
bool isTerminal(std::FILE* stream) {
    const int fd = _fileno(stream);
    if (fd < 0) return false;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}
#else
#include <unistd.h>
bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }
#endif
