// Texts are printed through probe::printable, so that a text holding a line
// feed (a question of two paragraphs) still gives one line of output.
#include "report.h"

#include <cstdio>
#include <string>
#include <vector>

#include "text.h"
#include "window_find.h"

namespace probe {

namespace {

void printRect(const char* prefix, const RECT& rect) {
    std::printf("%srect %ld %ld %ld %ld\n", prefix, rect.left, rect.top, rect.right, rect.bottom);
}

bool printControl(HWND control) {
    const int id = GetDlgCtrlID(control);
    RECT rect{};
    GetWindowRect(control, &rect);
    std::printf("control %d class %s\n", id, printable(className(control)).c_str());
    std::printf("control %d visible %d\n", id, IsWindowVisible(control) ? 1 : 0);
    std::printf("control %d enabled %d\n", id, IsWindowEnabled(control) ? 1 : 0);
    const std::string prefix = "control " + std::to_string(id) + " ";
    printRect(prefix.c_str(), rect);
    std::wstring text;
    if (!readText(control, text))
        return false;
    std::printf("control %d text %s\n", id, printable(text).c_str());
    return true;
}

// "focus ID" for the control of `window` that has the keyboard focus of its
// thread, "focus window" for the window itself, "focus none" when no window
// has it (keys then go to the active window as system keys), "focus other"
// for a window elsewhere; "active 0|1" whether `window` is the active one.
void printFocus(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (thread == 0 || !GetGUIThreadInfo(thread, &info))
        return;
    if (info.hwndFocus == nullptr)
        std::printf("focus none\n");
    else if (info.hwndFocus == window)
        std::printf("focus window\n");
    else if (GetParent(info.hwndFocus) == window)
        std::printf("focus %d\n", GetDlgCtrlID(info.hwndFocus));
    else
        std::printf("focus other\n");
    std::printf("active %d\n", info.hwndActive == window ? 1 : 0);
}

} // namespace

void printWindow(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    RECT rect{};
    GetWindowRect(window, &rect);
    std::printf("window %p\n", static_cast<void*>(window));
    std::printf("title %s\n", printable(windowTitle(window)).c_str());
    std::printf("pid %lu\n", static_cast<unsigned long>(pid));
    std::printf("visible %d\n", IsWindowVisible(window) ? 1 : 0);
    std::printf("enabled %d\n", IsWindowEnabled(window) ? 1 : 0);
    printRect("", rect);
    printFocus(window);
}

bool printControls(HWND window) {
    for (HWND control : childControls(window)) {
        if (!printControl(control))
            return false;
    }
    return true;
}

bool printList(HWND list) {
    const LRESULT count = askList(list, LB_GETCOUNT, 0);
    const LRESULT selected = askList(list, LB_GETCURSEL, 0);
    const LRESULT extent = askList(list, LB_GETHORIZONTALEXTENT, 0);
    std::vector<std::wstring> lines;
    if (count == LB_ERR || extent == LB_ERR || !readListLines(list, lines))
        return false;
    std::printf("count %ld\n", static_cast<long>(count));
    std::printf("selected %ld\n", static_cast<long>(selected));
    std::printf("extent %ld\n", static_cast<long>(extent));
    for (size_t i = 0; i < lines.size(); ++i)
        std::printf("line %u %s\n", static_cast<unsigned>(i), printable(lines[i]).c_str());
    return true;
}

void printTopLevelWindows() {
    for (HWND window : topLevelWindows()) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        std::printf("toplevel %p pid %lu visible %d class %s title %s\n", static_cast<void*>(window),
                    static_cast<unsigned long>(pid), IsWindowVisible(window) ? 1 : 0,
                    printable(className(window)).c_str(), printable(windowTitle(window)).c_str());
    }
}

bool printText(HWND control, int id) {
    std::wstring text;
    if (!readText(control, text))
        return false;
    std::printf("text %d %s\n", id, printable(text).c_str());
    return true;
}

} // namespace probe
