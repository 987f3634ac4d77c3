// The program's exit code can only be read inside Wine (a process ended by
// TerminateProcess leaves Wine's launcher with 0), so the probe itself
// starts the program and keeps its process handle until it ends.
#include "launch.h"

#include <windows.h>

#include <cstdio>

namespace probe {

namespace {

constexpr DWORD watchPoll = 20;  // ms between two looks at the program's windows
constexpr int exitTimeout = 124; // as timeout(1) has it
constexpr int exitNotStarted = 3;
constexpr size_t mostSeen = 1024;

struct Watch {
    DWORD pid;
    std::vector<HWND> seen;
};

BOOL CALLBACK noteWindow(HWND window, LPARAM data) {
    Watch& watch = *reinterpret_cast<Watch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != watch.pid || !IsWindowVisible(window))
        return TRUE;
    for (HWND known : watch.seen) {
        if (known == window)
            return TRUE;
    }
    if (watch.seen.size() < mostSeen)
        watch.seen.push_back(window);
    return TRUE;
}

std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring text = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, L'\\');
    return text + L'"';
}

// Waits for the process, noting its windows; false when the time ran out.
bool watchUntilEnd(HANDLE process, Watch& watch, unsigned timeoutSeconds) {
    const ULONGLONG limit = static_cast<ULONGLONG>(timeoutSeconds) * 1000;
    const ULONGLONG started = GetTickCount64();
    for (;;) {
        EnumWindows(noteWindow, reinterpret_cast<LPARAM>(&watch));
        if (WaitForSingleObject(process, watchPoll) == WAIT_OBJECT_0)
            return true;
        if (limit > 0 && GetTickCount64() - started >= limit)
            return false;
    }
}

} // namespace

std::wstring commandLine(const std::vector<std::wstring>& arguments) {
    std::wstring line;
    for (const std::wstring& argument : arguments) {
        if (!line.empty())
            line += L' ';
        line += quoted(argument);
    }
    return line;
}

int runProgram(const std::vector<std::wstring>& arguments, unsigned timeoutSeconds) {
    std::wstring line = commandLine(arguments);
    // The program writes to the probe's own output, so that what a program
    // started through another one says is in the same record.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::fflush(stdout);
    PROCESS_INFORMATION process{};
    if (arguments.empty() ||
        !CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("not-started %lu\n", static_cast<unsigned long>(GetLastError()));
        return exitNotStarted;
    }
    CloseHandle(process.hThread);
    std::printf("pid %lu\n", static_cast<unsigned long>(process.dwProcessId));
    std::fflush(stdout);
    Watch watch{process.dwProcessId, {}};
    const bool ended = watchUntilEnd(process.hProcess, watch, timeoutSeconds);
    std::printf("windows %u\n", static_cast<unsigned>(watch.seen.size()));
    if (!ended) {
        TerminateProcess(process.hProcess, exitTimeout);
        WaitForSingleObject(process.hProcess, INFINITE);
        std::printf("timeout\n");
        CloseHandle(process.hProcess);
        return exitTimeout;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    std::printf("exit %lu\n", static_cast<unsigned long>(code));
    return static_cast<int>(code);
}

} // namespace probe
