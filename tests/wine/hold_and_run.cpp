// hold-and-run FILE PROGRAM [ARGS...]: holds FILE as the system holds a
// running program's image (readable, but not to be deleted or renamed),
// runs PROGRAM with ARGS, and says how it ended:
//   "hold-and-run: exit N" on standard output, and exits with N.
// A test of the restart runs the scanner through it: a restart ends every
// program, this one included, before it can say anything.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr int exitUsage = 2;
constexpr int exitNotStarted = 3;

// Arguments quoted for the command line of the program to start.
std::string commandLine(int argc, char** argv, int first) {
    std::string line;
    for (int i = first; i < argc; ++i) {
        if (!line.empty()) line += ' ';
        line += '"';
        line += argv[i];
        line += '"';
    }
    return line;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: hold-and-run FILE PROGRAM [ARGS...]\n");
        return exitUsage;
    }
    HANDLE held = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold-and-run: cannot hold %s\n", argv[1]);
        return exitNotStarted;
    }
    std::string line = commandLine(argc, argv, 2);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "hold-and-run: cannot start %s\n", argv[2]);
        return exitNotStarted;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    // Long enough for a restart that is under way to reach this program too.
    Sleep(2000);
    std::printf("hold-and-run: exit %lu\n", static_cast<unsigned long>(code));
    std::fflush(stdout);
    CloseHandle(held);
    return static_cast<int>(code);
}
