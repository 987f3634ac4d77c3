// The windows of a program whose Windows is not running: just enough for a
// front end that reports to a window procedure of its own (the console's
// message-only report window). Messages sent reach the procedure at once;
// nothing is ever posted, since no user and no other program can reach
// the window, so the queue is always empty.
#include <cctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "win32api.h"

struct SimWindow {
    WNDPROC procedure = nullptr;
    bool alive = true;
};

namespace {

// Any nonzero value serves as the class atom and the module handle.
constexpr ATOM firstAtom = 0xC000;
const HMODULE programModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000));

std::map<std::string, WNDPROC>& classes() {
    static std::map<std::string, WNDPROC> registered; // by upper-case class name
    return registered;
}

std::vector<std::unique_ptr<SimWindow>>& windows() {
    static std::vector<std::unique_ptr<SimWindow>> created;
    return created;
}

std::string classKey(LPCSTR name) {
    std::string key = name;
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

SimWindow* liveWindow(HWND window) {
    for (const auto& owned : windows()) {
        if (owned.get() == window && owned->alive) return owned.get();
    }
    return nullptr;
}

} // namespace

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!classes().emplace(classKey(windowClass->lpszClassName), windowClass->lpfnWndProc).second) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    return static_cast<ATOM>(firstAtom + classes().size());
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID) {
    const auto found = className != nullptr ? classes().find(classKey(className)) : classes().end();
    if (found == classes().end()) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    windows().push_back(std::make_unique<SimWindow>());
    windows().back()->procedure = found->second;
    return windows().back().get();
}

BOOL DestroyWindow(HWND window) {
    SimWindow* target = liveWindow(window);
    if (target == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    target->procedure(window, WM_DESTROY, 0, 0);
    target->alive = false;
    return TRUE;
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) { return 0; }

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SimWindow* target = liveWindow(window);
    if (target == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return target->procedure(window, message, wParam, lParam);
}

BOOL PeekMessageA(MSG*, HWND, UINT, UINT, UINT) { return FALSE; }

// No key ever arrives, so there is nothing to translate.
BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) return 0;
    SimWindow* target = liveWindow(msg->hwnd);
    return target != nullptr ? target->procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

// The program's own module; no system library is mapped.
HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName == nullptr) return programModule;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}
