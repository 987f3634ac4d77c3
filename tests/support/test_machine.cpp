// The test machine: a folder on drive C:, a recording window and scripted
// answers, on the simulated machine and on Windows alike.
#include "test_machine.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "scan_state.h"

#ifndef _WIN32
#include "fake_windows.h"
#include <unistd.h>
#endif

namespace fs = std::filesystem;

std::vector<Question> askedQuestions;
std::deque<int> scriptedAnswers;

std::vector<Notice> givenNotices;

void resetQuestions() {
    askedQuestions.clear();
    scriptedAnswers.clear();
    givenNotices.clear();
}

void tellUser(const char* text, const char* caption) { givenNotices.push_back({text, caption}); }

void endProgram(UINT exitCode) { throw ProgramEnded{exitCode}; }

int askUser(const char* text, const char* caption, unsigned style) {
    askedQuestions.push_back({text, caption, style});
    if (!scriptedAnswers.empty()) {
        const int answer = scriptedAnswers.front();
        scriptedAnswers.pop_front();
        return answer;
    }
    return (style & MB_YESNO) == MB_YESNO ? IDNO : IDCANCEL;
}

void drainMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

std::vector<std::string> listNames(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA(pattern.c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileA(listing, &found));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    FindClose(listing);
    return names;
}

namespace {

std::string systemAnswer(UINT(WINAPI* ask)(LPSTR, UINT), const char* what) {
    char folder[MAX_PATH] = {};
    const UINT length = ask(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) throw std::runtime_error(std::string("no ") + what + " folder");
    return std::string(folder, length);
}

} // namespace

std::string windowsFolder() { return systemAnswer(GetWindowsDirectoryA, "Windows"); }

std::string systemFolder() { return systemAnswer(GetSystemDirectoryA, "system"); }

namespace {

std::atomic<int> folderCounter{0};

std::string uniqueName() {
#ifdef _WIN32
    const unsigned long process = GetCurrentProcessId();
#else
    const unsigned long process = static_cast<unsigned long>(getpid());
#endif
    return "qvtest-" + std::to_string(process) + "-" + std::to_string(++folderCounter);
}

std::string withSeparator(std::string relative, char separator) {
    for (char& c : relative) {
        if (c == '/' || c == '\\') c = separator;
    }
    return relative;
}

} // namespace

TestFolder::TestFolder() {
    const std::string name = uniqueName();
    windowsRoot_ = "C:\\" + name;
#ifdef _WIN32
    hostRoot_ = windowsRoot_;
#else
    char pattern[] = "/tmp/quorvane-drive-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    driveRoot_ = pattern;
    sim::reset();
    sim::mapDrive('C', driveRoot_);
    hostRoot_ = driveRoot_ + "/" + name;
#endif
    fs::create_directories(hostRoot_);
}

TestFolder::~TestFolder() {
    std::error_code ignored;
    // Read-only files and folders must be writable again to go.
    for (auto it = fs::recursive_directory_iterator(hostRoot_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(driveRoot_.empty() ? hostRoot_ : driveRoot_, ignored);
}

std::string TestFolder::path(const std::string& relative) const {
    return relative.empty() ? windowsRoot_ : windowsRoot_ + "\\" + withSeparator(relative, '\\');
}

std::string TestFolder::hostPath(const std::string& relative) const {
#ifdef _WIN32
    return path(relative);
#else
    return relative.empty() ? hostRoot_ : hostRoot_ + "/" + withSeparator(relative, '/');
#endif
}

void TestFolder::makeFolder(const std::string& relative) const { fs::create_directories(hostPath(relative)); }

void TestFolder::writeFile(const std::string& relative, const std::string& content) const {
    const fs::path file = hostPath(relative);
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

#ifdef _WIN32
void TestFolder::writeSparseFile(const std::string& relative, unsigned long long length) const {
    const std::string file = hostPath(relative);
    const HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot make " + file);
    LONG high = static_cast<LONG>(length >> 32);
    const DWORD low = SetFilePointer(handle, static_cast<LONG>(length & 0xffffffffu), &high, FILE_BEGIN);
    const bool placed = low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
    const bool ended = placed && SetEndOfFile(handle);
    CloseHandle(handle);
    if (!ended) throw std::runtime_error("cannot lengthen " + file);
}
#else
void TestFolder::writeSparseFile(const std::string& relative, unsigned long long length) const {
    writeFile(relative, "");
    if (truncate(hostPath(relative).c_str(), static_cast<off_t>(length)) != 0) {
        throw std::runtime_error("cannot lengthen " + hostPath(relative));
    }
}
#endif

bool TestFolder::exists(const std::string& relative) const { return fs::exists(hostPath(relative)); }

#ifdef _WIN32
HeldFile::HeldFile(const std::string& windowsPath) : path_(windowsPath) {
    handle_ = CreateFileA(windowsPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot hold " + windowsPath);
}

HeldFile::~HeldFile() { CloseHandle(handle_); }

// Shared for reading only: a delete or a rename needs the sharing it denies.
RunningImage::RunningImage(const std::string& windowsPath) : path_(windowsPath) {
    handle_ = CreateFileA(windowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot hold " + windowsPath);
}

RunningImage::~RunningImage() { CloseHandle(handle_); }
#else
HeldFile::HeldFile(const std::string& windowsPath) : path_(windowsPath) { sim::setFileInUse(windowsPath, true); }

HeldFile::~HeldFile() { sim::setFileInUse(path_, false); }

RunningImage::RunningImage(const std::string& windowsPath) : path_(windowsPath) {
    sim::setRunningImage(windowsPath, true);
}

RunningImage::~RunningImage() { sim::setRunningImage(path_, false); }
#endif

namespace {

const char* const recorderClass = "QuorvaneTestReports";
ReportWindow* activeRecorder = nullptr;

LRESULT CALLBACK recorderProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (activeRecorder == nullptr || window != activeRecorder->handle()) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == appendLineMessage) {
        activeRecorder->reports.push_back({message, scanState.lineText});
    } else if (message == statusMessage) {
        activeRecorder->reports.push_back({message, scanState.detectedPath});
        if (activeRecorder->onStatus) activeRecorder->onStatus(scanState.detectedPath);
    } else {
        activeRecorder->others.push_back(message);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

ReportWindow::ReportWindow() {
    // Registered afresh for each machine; a class that exists already stays.
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = recorderProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = recorderClass;
    RegisterClassA(&windowClass);
    activeRecorder = this;
    window_ = CreateWindowExA(0, recorderClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
    if (window_ == nullptr) throw std::runtime_error("cannot create the report window");
    scanState.resultList = window_;
}

ReportWindow::~ReportWindow() {
    if (scanState.resultList == window_) scanState.resultList = nullptr;
    DestroyWindow(window_);
    activeRecorder = nullptr;
}

std::vector<std::string> ReportWindow::lines() const {
    std::vector<std::string> result;
    for (const Report& report : reports) {
        if (report.message == appendLineMessage) result.push_back(report.text);
    }
    return result;
}

std::vector<std::string> ReportWindow::statuses() const {
    std::vector<std::string> result;
    for (const Report& report : reports) {
        if (report.message == statusMessage) result.push_back(report.text);
    }
    return result;
}

std::vector<UINT> ReportWindow::otherMessages() const { return others; }
