// run-beside IMAGE PROGRAM [ARGS...]: starts IMAGE as a process of its own,
// waits until the system lists it with its image file, runs PROGRAM with ARGS
// beside it (PROGRAM's output goes straight through), and says how both
// ended, on standard output:
//   "run-beside: exit N"               PROGRAM's exit code
//   "run-beside: image still running"  or  "run-beside: image ended"
// It then ends IMAGE if it still runs and exits with N. A test of the memory
// sweep runs the scanner through it beside a running detected program.
// Exit status 2 for bad arguments, 3 when IMAGE or PROGRAM did not start.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int exitUsage = 2;
constexpr int exitNotStarted = 3;
constexpr DWORD listingWait = 10000; // ms: how long the image may take to show in the listing
constexpr DWORD listingPoll = 50;    // ms between two looks at the listing
constexpr DWORD startSettle = 500;   // ms: the loader's last steps, or its failure
constexpr DWORD endWait = 5000;      // ms for the ended image to go
constexpr DWORD queryAndRead = 0x0410; // PROCESS_QUERY_INFORMATION | PROCESS_VM_READ
constexpr DWORD mostProcesses = 4096;

// One argument as the C runtime's command-line parsing gives it back: quoted
// only when it has to be, backslashes doubled only before a quote.
std::string quoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    std::string text = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        text.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, '\\');
    return text + '"';
}

std::string commandLine(int argc, char** argv, int first, int last) {
    std::string line;
    for (int i = first; i < last && i < argc; ++i) {
        if (!line.empty())
            line += ' ';
        line += quoted(argv[i]);
    }
    return line;
}

bool start(std::string line, BOOL inheritHandles, PROCESS_INFORMATION& process) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(nullptr, &line[0], nullptr, nullptr, inheritHandles, 0, nullptr, nullptr, &startup,
                          &process) != FALSE;
}

// Listed by EnumProcesses, and named with its image file, as a scanner that
// looks for it sees it.
bool listedWithItsFile(DWORD id) {
    std::vector<DWORD> ids(mostProcesses);
    DWORD bytes = 0;
    if (!EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes))
        return false;
    bool listed = false;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i)
        listed = listed || ids[i] == id;
    if (!listed)
        return false;
    HANDLE process = OpenProcess(queryAndRead, FALSE, id);
    if (process == nullptr)
        return false;
    char path[MAX_PATH] = "";
    const DWORD length = GetModuleFileNameExA(process, nullptr, path, sizeof path);
    CloseHandle(process);
    return length > 0;
}

// True once the image is listed and has not ended right after.
bool imageStarted(const PROCESS_INFORMATION& image) {
    for (DWORD waited = 0; !listedWithItsFile(image.dwProcessId); waited += listingPoll) {
        if (waited >= listingWait || WaitForSingleObject(image.hProcess, 0) == WAIT_OBJECT_0)
            return false;
        Sleep(listingPoll);
    }
    return WaitForSingleObject(image.hProcess, startSettle) == WAIT_TIMEOUT;
}

void endImage(const PROCESS_INFORMATION& image) {
    TerminateProcess(image.hProcess, 0);
    WaitForSingleObject(image.hProcess, endWait);
    CloseHandle(image.hThread);
    CloseHandle(image.hProcess);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: run-beside IMAGE PROGRAM [ARGS...]\n");
        return exitUsage;
    }
    PROCESS_INFORMATION image{};
    if (!start(commandLine(argc, argv, 1, 2), FALSE, image)) {
        std::fprintf(stderr, "run-beside: cannot start %s (error %lu)\n", argv[1],
                     static_cast<unsigned long>(GetLastError()));
        return exitNotStarted;
    }
    if (!imageStarted(image)) {
        DWORD code = 0;
        GetExitCodeProcess(image.hProcess, &code);
        std::fprintf(stderr, "run-beside: %s did not keep running (exit code %lu)\n", argv[1],
                     static_cast<unsigned long>(code));
        endImage(image);
        return exitNotStarted;
    }
    PROCESS_INFORMATION program{};
    if (!start(commandLine(argc, argv, 2, argc), TRUE, program)) {
        std::fprintf(stderr, "run-beside: cannot start %s (error %lu)\n", argv[2],
                     static_cast<unsigned long>(GetLastError()));
        endImage(image);
        return exitNotStarted;
    }
    WaitForSingleObject(program.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(program.hProcess, &code);
    CloseHandle(program.hThread);
    CloseHandle(program.hProcess);
    const bool running = WaitForSingleObject(image.hProcess, 0) == WAIT_TIMEOUT;
    std::printf("run-beside: exit %lu\n", static_cast<unsigned long>(code));
    std::printf("run-beside: image %s\n", running ? "still running" : "ended");
    std::fflush(stdout);
    endImage(image);
    return static_cast<int>(code);
}
