// The commands that wait: each looks again every few milliseconds until
// what it waits for is true or its time is up. The time limit only bounds a
// failing test; nothing here measures how fast the program is.
#include <cstdio>

#include "commands.h"
#include "report.h"
#include "text.h"

namespace probe {

namespace {

constexpr DWORD pollInterval = 50;      // ms between two looks
constexpr unsigned defaultWait = 30;    // seconds, when --timeout is not given
constexpr int resultListId = 1055;      // the main window's result list
constexpr int notAWaitCommand = -1;

// One look: true when the awaited state is there. `window` is 0 when no
// such window exists at the moment.
using Condition = bool (*)(const Invocation& invocation, HWND window);

bool isThere(const Invocation&, HWND window) {
    return window != nullptr && IsWindowVisible(window);
}

bool isGone(const Invocation&, HWND window) {
    return window == nullptr;
}

HWND namedControl(const Invocation& invocation, HWND window) {
    int id = 0;
    if (window == nullptr || invocation.arguments.empty() || !parseId(invocation.arguments[0], id))
        return nullptr;
    return findControl(window, id);
}

bool hasText(const Invocation& invocation, HWND window) {
    HWND control = namedControl(invocation, window);
    std::wstring text;
    return control != nullptr && readText(control, text) && text == invocation.arguments[1];
}

bool isShown(const Invocation& invocation, HWND window) {
    HWND control = namedControl(invocation, window);
    return control != nullptr && IsWindowVisible(control);
}

bool isHidden(const Invocation& invocation, HWND window) {
    HWND control = namedControl(invocation, window);
    return control != nullptr && !IsWindowVisible(control);
}

bool hasLine(const Invocation& invocation, HWND window) {
    int id = resultListId;
    if (window == nullptr || (invocation.arguments.size() > 1 && !parseId(invocation.arguments[1], id)))
        return false;
    HWND list = findControl(window, id);
    std::vector<std::wstring> lines;
    if (list == nullptr || !readListLines(list, lines))
        return false;
    for (const std::wstring& line : lines) {
        if (line == invocation.arguments[0])
            return true;
    }
    return false;
}

Condition conditionFor(const std::string& command) {
    if (command == "wait")
        return isThere;
    if (command == "gone")
        return isGone;
    if (command == "wait-text")
        return hasText;
    if (command == "wait-shown")
        return isShown;
    if (command == "wait-hidden")
        return isHidden;
    if (command == "wait-line")
        return hasLine;
    return nullptr;
}

// What the wait saw last, so that a timed-out test shows why.
void reportLast(const Invocation& invocation, HWND window) {
    if (window == nullptr)
        return;
    const std::string& command = invocation.command;
    if (command == "wait" || command == "gone") {
        printWindow(window);
        return;
    }
    if (command == "wait-line")
        return;
    HWND control = namedControl(invocation, window);
    if (control == nullptr)
        return;
    if (command == "wait-text")
        printText(control, GetDlgCtrlID(control));
    else
        std::printf("control %d visible %d\n", GetDlgCtrlID(control), IsWindowVisible(control) ? 1 : 0);
}

} // namespace

int runWaitCommand(const Invocation& invocation) {
    const Condition condition = conditionFor(invocation.command);
    if (condition == nullptr)
        return notAWaitCommand;
    const unsigned seconds = invocation.timeoutGiven ? invocation.timeoutSeconds : defaultWait;
    const ULONGLONG limit = static_cast<ULONGLONG>(seconds) * 1000;
    const ULONGLONG started = GetTickCount64();
    for (;;) {
        HWND window = findWindow(invocation.query);
        if (condition(invocation, window)) {
            if (invocation.command == "gone")
                std::printf("gone\n");
            reportLast(invocation, window);
            return exitDone;
        }
        if (GetTickCount64() - started >= limit) {
            std::printf("timeout\n");
            reportLast(invocation, window);
            return exitNotFound;
        }
        Sleep(pollInterval);
    }
}

} // namespace probe
