// Result lines to standard output, progress to standard error.
#include "console_report.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>

#include "scan_state.h"

namespace {

const char* const reportWindowClass = "QuorvaneScanReport";

// The progress line is redrawn at most this often.
constexpr std::chrono::milliseconds progressInterval(100);
// Wide enough for the 60-character status and the file count.
constexpr int progressWidth = 78;

bool progressEnabled = false;
bool progressShown = false;
std::chrono::steady_clock::time_point lastProgress;

// Set by the interrupt handler, read on the scan's thread.
std::atomic<int> interruptRequested{0};
static_assert(std::atomic<int>::is_always_lock_free, "the interrupt flag must be safe in a signal handler");

void drawProgress() {
    const auto now = std::chrono::steady_clock::now();
    if (progressShown && now - lastProgress < progressInterval) return;
    lastProgress = now;
    std::fprintf(stderr, "\r%-*.*s", progressWidth, progressWidth, "");
    std::fprintf(stderr, "\r%d files  %.60s", static_cast<int>(scanState.filesScanned), scanState.detectedPath);
    std::fflush(stderr);
    progressShown = true;
}

void onStatus() {
    if (interruptRequested.load() != 0) scanState.terminateRequested = true;
    if (progressEnabled && !scanState.scanFinished) drawProgress();
}

void onResultLine() {
    clearProgress();
    std::fputs(scanState.lineText, stdout);
    std::fputc('\n', stdout);
}

LRESULT CALLBACK reportProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case statusMessage:
        onStatus();
        return 0;
    case appendLineMessage:
        onResultLine();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

#ifdef _WIN32
BOOL WINAPI onConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    return interruptRequested.exchange(1) == 0 ? TRUE : FALSE; // the second one ends the program
}
#else
void onInterrupt(int) { interruptRequested.store(1); }
#endif

} // namespace

HWND createReportWindow(bool showProgress) {
    progressEnabled = showProgress;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = reportProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = reportWindowClass;
    if (RegisterClassA(&windowClass) == 0) return nullptr;
    return CreateWindowExA(0, reportWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                           nullptr);
}

void clearProgress() {
    if (!progressShown) return;
    std::fprintf(stderr, "\r%-*s\r", progressWidth, "");
    std::fflush(stderr);
    progressShown = false;
}

void catchInterrupt() {
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND; // a second Ctrl-C ends the program
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
#endif
}
