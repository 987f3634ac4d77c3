// Result lines to standard output, progress to standard error.
#include "console_report.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "escape.h"
#include "not_scanned.h"
#include "scan_journal.h"
#include "scan_state.h"

namespace {

const char* const reportWindowClass = "QuorvaneScanReport";

// The progress line is redrawn at most this often.
constexpr std::chrono::milliseconds progressInterval(100);
// Wide enough for the 60-character status and the file count.
constexpr int progressWidth = 78;

bool progressEnabled = false;
bool progressShown = false;
bool outputFailed = false;
std::chrono::steady_clock::time_point lastProgress;

// Set by the interrupt handler, read on the scan's thread.
std::atomic<int> interruptRequested{0};
static_assert(std::atomic<int>::is_always_lock_free, "the interrupt flag must be safe in a signal handler");

void drawProgress() {
    const auto now = std::chrono::steady_clock::now();
    if (progressShown && now - lastProgress < progressInterval) return;
    lastProgress = now;
    std::fprintf(stderr, "\r%-*.*s", progressWidth, progressWidth, "");
    const std::string status = escapeControlBytes(scanState.detectedPath);
    std::fprintf(stderr, "\r%d files  %.60s", static_cast<int>(scanState.filesScanned), status.c_str());
    std::fflush(stderr);
    progressShown = true;
}

void onStatus() {
    if (interruptRequested.load() != 0) scanState.terminateRequested = true;
    if (progressEnabled && !scanState.scanFinished) drawProgress();
}

// Nothing more is written to a standard output that has failed once; the
// scan stops after the action in progress, since its record is lost.
void reportOutputFailure(int error) {
    outputFailed = true;
    scanState.terminateRequested = true;
    std::fprintf(stderr, "quorvane-scan: cannot write to standard output: %s; the scan stops\n", std::strerror(error));
}

// Each line reaches standard output before the engine goes on, so that a
// kill at any moment loses at most the line of the action in progress.
void onResultLine() {
    clearProgress();
    if (outputFailed) return;
    // Lines before the statistics hold file names; the statistics keep the
    // tabs they are laid out with.
    const std::string line = escapeControlBytes(scanState.lineText, scanState.scanFinished);
    errno = 0;
    if (std::fputs(line.c_str(), stdout) == EOF || std::fputc('\n', stdout) == EOF || std::fflush(stdout) == EOF) {
        reportOutputFailure(errno != 0 ? errno : EIO);
    }
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

void onNotScanned(const char* path, const char* reason) {
    clearProgress();
    std::fprintf(stderr, "quorvane-scan: not scanned: %s: %s\n", escapeControlBytes(path).c_str(), reason);
    journalNotScanned(path, reason);
}

} // namespace

HWND createReportWindow(bool showProgress) {
    progressEnabled = showProgress;
    notScannedHandler = onNotScanned;
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
    // SIGTERM and SIGHUP stop the scan as Ctrl-C does; a second one of the
    // same kind ends the program.
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &action, nullptr);
    // A reader that goes away is a failed write, reported, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

bool outputHasFailed() { return outputFailed; }
