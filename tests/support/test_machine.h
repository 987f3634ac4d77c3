// What every engine test needs from the machine it runs on: a fresh folder
// on drive C:, a window that records the engine's reports, and scripted
// answers to the engine's questions. The same tests run natively on the
// simulated machine and as a Windows program under Wine.
#ifndef QUORVANE_TESTS_SUPPORT_TEST_MACHINE_H
#define QUORVANE_TESTS_SUPPORT_TEST_MACHINE_H

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "win32api.h"

// A fresh, empty folder on drive C:. Natively a temporary host folder is
// presented as drive C: of a freshly reset simulated machine; on Windows it
// is a real folder below C:\. Removed again with everything in it.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    // The Windows path of relative (with '/' or '\' between names) in it.
    std::string path(const std::string& relative = "") const;
    // The same place as the test process opens it (host path natively).
    std::string hostPath(const std::string& relative = "") const;

    void makeFolder(const std::string& relative) const;
    void writeFile(const std::string& relative, const std::string& content = "data") const;
    // A file of that length holding nothing but a hole, as large as the
    // page and hibernation files of a real system, at no cost in space.
    void writeSparseFile(const std::string& relative, unsigned long long length) const;
    bool exists(const std::string& relative) const;

private:
    std::string windowsRoot_; // e.g. C:\qvtest-123-1
    std::string hostRoot_;
    std::string driveRoot_; // natively: the host folder behind C:
};

// Holds a file open without sharing, as a running program holds its own
// image, while it lives: opening, deleting and renaming the file then fail.
class HeldFile {
public:
    explicit HeldFile(const std::string& windowsPath);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    std::string path_;
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#endif
};

// Holds a file as the system holds a running program's image while it
// lives: it can be read, but not deleted or renamed.
class RunningImage {
public:
    explicit RunningImage(const std::string& windowsPath);
    ~RunningImage();
    RunningImage(const RunningImage&) = delete;
    RunningImage& operator=(const RunningImage&) = delete;

private:
    std::string path_;
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#endif
};

// One report the engine sent to its window.
struct Report {
    UINT message;
    std::string text; // lineText for a result line, detectedPath for a status
};

// A message-only window that records the engine's reports and every other
// message dispatched to it. Becomes scanState.resultList while it lives.
class ReportWindow {
public:
    ReportWindow();
    ~ReportWindow();
    ReportWindow(const ReportWindow&) = delete;
    ReportWindow& operator=(const ReportWindow&) = delete;

    HWND handle() const { return window_; }
    std::vector<std::string> lines() const;    // result lines in order
    std::vector<std::string> statuses() const; // status texts in order
    std::vector<UINT> otherMessages() const;    // messages that were neither

    std::vector<Report> reports;
    std::vector<UINT> others;
    // Called with each status text as it arrives, to act in the middle of a walk.
    std::function<void(const std::string&)> onStatus;

private:
    HWND window_ = nullptr;
};

// A question the engine asked through askUser.
struct Question {
    std::string text;
    std::string caption;
    unsigned style;
};

// Questions asked since the last reset, and the answers still to give (IDNO
// or IDCANCEL once they run out). Reset by resetQuestions().
extern std::vector<Question> askedQuestions;
extern std::deque<int> scriptedAnswers;
void resetQuestions();

// A notice the engine gave through tellUser, and the notices since the last
// resetQuestions().
struct Notice {
    std::string text;
    std::string caption;
};
extern std::vector<Notice> givenNotices;

// What endProgram throws in the tests, so that a test sees the exit code the
// engine asked for instead of losing its own process.
struct ProgramEnded {
    UINT exitCode;
};

// The names FindFirstFileA and FindNextFileA give for pattern, in order.
std::vector<std::string> listNames(const std::string& pattern);

// The Windows and system folders as the running system names them, without
// a trailing backslash; throws when the system gives none.
std::string windowsFolder();
std::string systemFolder();

// Empties the thread's message queue.
void drainMessages();

#endif // QUORVANE_TESTS_SUPPORT_TEST_MACHINE_H
