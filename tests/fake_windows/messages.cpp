// Windows and the thread's message queue on the simulated machine.
//
// Enough of the window manager for a program that reports to a window
// procedure: classes, windows (no creation messages are sent), synchronous
// SendMessageA, a posted-message queue with PeekMessageA, and the key
// translation of TranslateMessage for the keys a scan reacts to.
#include "fake_state.h"

namespace sim {

namespace {

constexpr UINT charMessage = 0x0102; // WM_CHAR
constexpr WPARAM virtualKeyReturn = 0x0D;
constexpr WPARAM virtualKeyBack = 0x08;
constexpr WPARAM virtualKeyTab = 0x09;
constexpr WPARAM virtualKeySpace = 0x20;
// Any nonzero value serves as the class atom and the module handle.
constexpr ATOM firstAtom = 0xC000;
const HMODULE programModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000));

SimWindow* liveWindow(HWND window) {
    for (const auto& owned : fake().windows) {
        if (owned.get() == window && owned->alive) return owned.get();
    }
    return nullptr;
}

// The character TranslateMessage makes of a key, or 0 for none.
WPARAM characterOfKey(WPARAM key) {
    if (key >= 'A' && key <= 'Z') return key - 'A' + 'a';
    if (key >= '0' && key <= '9') return key;
    if (key == VK_ESCAPE || key == virtualKeyReturn || key == virtualKeyBack || key == virtualKeyTab ||
        key == virtualKeySpace) {
        return key;
    }
    return 0;
}

bool inFilter(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
    if (window != nullptr && msg.hwnd != window) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

} // namespace

} // namespace sim

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto& classes = sim::fake().windowClasses;
    const std::string name = sim::upperCase(windowClass->lpszClassName);
    if (classes.count(name) != 0) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    classes[name] = windowClass->lpfnWndProc;
    return static_cast<ATOM>(sim::firstAtom + classes.size());
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID) {
    const auto& classes = sim::fake().windowClasses;
    const auto found = className ? classes.find(sim::upperCase(className)) : classes.end();
    if (found == classes.end()) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    auto window = std::make_unique<SimWindow>();
    window->procedure = found->second;
    sim::fake().windows.push_back(std::move(window));
    return sim::fake().windows.back().get();
}

BOOL DestroyWindow(HWND window) {
    SimWindow* target = sim::liveWindow(window);
    if (target == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    target->procedure(window, WM_DESTROY, 0, 0);
    target->alive = false;
    return TRUE;
}

BOOL IsWindow(HWND window) { return sim::liveWindow(window) != nullptr; }

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) { return 0; }

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SimWindow* target = sim::liveWindow(window);
    if (target == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return target->procedure(window, message, wParam, lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr && sim::liveWindow(window) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = static_cast<DWORD>(sim::fake().clockMilliseconds);
    sim::fake().queue.push_back(msg);
    return TRUE;
}

// As on the real system the quit request is a flag, not a queued message:
// it is seen only once the queue holds nothing else.
void PostQuitMessage(int exitCode) {
    sim::fake().quitPosted = true;
    sim::fake().quitCode = exitCode;
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg) {
    auto& queue = sim::fake().queue;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (!sim::inFilter(*it, window, filterMin, filterMax)) continue;
        *msg = *it;
        if (removeMsg & PM_REMOVE) queue.erase(it);
        return TRUE;
    }
    if (sim::fake().quitPosted && window == nullptr) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(sim::fake().quitCode);
        if (removeMsg & PM_REMOVE) sim::fake().quitPosted = false;
        return TRUE;
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
    if (msg == nullptr || msg->message != WM_KEYDOWN) return FALSE;
    const WPARAM character = sim::characterOfKey(msg->wParam);
    if (character != 0) PostMessageA(msg->hwnd, sim::charMessage, character, msg->lParam);
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) return 0;
    SimWindow* target = sim::liveWindow(msg->hwnd);
    return target ? target->procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    return moduleName == nullptr ? sim::programModule : sim::mappedLibrary(moduleName);
}

namespace sim {

size_t pendingMessages() { return fake().queue.size() + (fake().quitPosted ? 1 : 0); }

} // namespace sim
