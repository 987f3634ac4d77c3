// Input goes through the system's own queues (SendInput), so the program
// under test sees what it would see from a mouse and a keyboard; the posted
// forms are there for what no device can do, such as a command of a button
// the window keeps hidden.
#include "input.h"

#include <cstring>

namespace probe {

namespace {

constexpr LONG absoluteRange = 65535; // SendInput's absolute coordinates span 0..65535
constexpr DWORD foregroundWait = 2000; // ms for the system to put the window in front
constexpr DWORD foregroundPoll = 20;
constexpr DWORD cursorWait = 2000;     // ms for a mouse move to reach the cursor
constexpr DWORD cursorPoll = 10;
constexpr LPARAM oneRepeat = 1;       // key message: repeat count 1, nothing else set
constexpr int mostClicks = 2;         // a double-click; more would be a mistake

struct NamedKey {
    const char* name;
    WORD key;
};

constexpr NamedKey namedKeys[] = {
    {"escape", VK_ESCAPE}, {"enter", VK_RETURN}, {"space", VK_SPACE}, {"tab", VK_TAB},
};

LONG absolute(LONG position, int extent) {
    if (extent <= 1)
        return 0;
    return static_cast<LONG>((static_cast<long long>(position) * absoluteRange + (extent - 1) / 2) / (extent - 1));
}

INPUT mouseInput(DWORD flags, POINT point) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = absolute(point.x, GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = absolute(point.y, GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return input;
}

INPUT keyInput(WORD key, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags;
    return input;
}

bool isWithin(HWND found, HWND control) {
    return found == control || (found != nullptr && IsChild(control, found));
}

HWND focusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (thread == 0 || !GetGUIThreadInfo(thread, &info))
        return nullptr;
    return info.hwndFocus;
}

} // namespace

const char* unusable(HWND window, HWND control) {
    if (!IsWindowVisible(control))
        return "hidden";
    if (!IsWindowEnabled(control))
        return "disabled";
    if (!IsWindowEnabled(window))
        return "window-disabled";
    return nullptr;
}

const char* unreachable(HWND control, POINT point) {
    if (!isWithin(WindowFromPoint(point), control))
        return "covered";
    return nullptr;
}

POINT centreOf(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    return POINT{rect.left + (rect.right - rect.left) / 2, rect.top + (rect.bottom - rect.top) / 2};
}

bool postCommand(HWND window, int id, HWND control) {
    return PostMessageW(window, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                        reinterpret_cast<LPARAM>(control)) != FALSE;
}

// As a hand does it: the pointer comes to rest on the point, then the
// button goes down and up there. Sent as one burst, the press could reach
// the window before the move had been seen by it. The clicks themselves are
// one burst, well inside the system's double-click time, so two of them
// are a double-click however long the window takes over the first.
bool clickAt(POINT point, int clicks) {
    if (clicks < 1 || clicks > mostClicks)
        return false;
    INPUT move = mouseInput(MOUSEEVENTF_MOVE, point);
    if (SendInput(1, &move, sizeof(INPUT)) != 1)
        return false;
    POINT cursor{};
    for (DWORD waited = 0; GetCursorPos(&cursor) && (cursor.x != point.x || cursor.y != point.y);
         waited += cursorPoll) {
        if (waited >= cursorWait)
            return false;
        Sleep(cursorPoll);
    }
    INPUT presses[2 * mostClicks];
    UINT count = 0;
    for (int click = 0; click < clicks; ++click) {
        presses[count++] = mouseInput(MOUSEEVENTF_LEFTDOWN, point);
        presses[count++] = mouseInput(MOUSEEVENTF_LEFTUP, point);
    }
    return SendInput(count, presses, sizeof(INPUT)) == count;
}

bool bringToFront(HWND window) {
    SetForegroundWindow(window);
    for (DWORD waited = 0; GetForegroundWindow() != window; waited += foregroundPoll) {
        if (waited >= foregroundWait)
            return false;
        Sleep(foregroundPoll);
    }
    return true;
}

bool typeKey(WORD key) {
    INPUT inputs[] = {keyInput(key, 0), keyInput(key, KEYEVENTF_KEYUP)};
    const UINT count = sizeof inputs / sizeof inputs[0];
    return SendInput(count, inputs, sizeof(INPUT)) == count;
}

bool postKey(HWND window, WORD key) {
    HWND target = focusOf(window);
    if (!isWithin(target, window))
        target = window;
    return PostMessageW(target, WM_KEYDOWN, key, oneRepeat) != FALSE;
}

WORD keyNamed(const char* name) {
    for (const NamedKey& named : namedKeys) {
        if (std::strcmp(named.name, name) == 0)
            return named.key;
    }
    return 0;
}

} // namespace probe
