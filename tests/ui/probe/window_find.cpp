// Top-level windows are listed afresh on every look: the program under test
// opens and closes its windows between two of the probe's looks.
#include "window_find.h"

namespace probe {

namespace {

constexpr int classNameSize = 256;   // the system's longest class name and more
constexpr size_t mostWindows = 4096; // a bound on one listing
constexpr int titleSize = 1024;      // longer titles are cut there

struct Listing {
    const WindowQuery* query;
    std::vector<HWND> matches;
};

bool matches(HWND window, const WindowQuery& query) {
    if (query.byTitle && windowTitle(window) != query.title)
        return false;
    if (query.byChild && findControl(window, query.childId) == nullptr)
        return false;
    return true;
}

BOOL CALLBACK collect(HWND window, LPARAM data) {
    Listing& listing = *reinterpret_cast<Listing*>(data);
    if (listing.matches.size() >= mostWindows)
        return FALSE;
    if (matches(window, *listing.query))
        listing.matches.push_back(window);
    return TRUE;
}

std::vector<HWND> matchingWindows(const WindowQuery& query) {
    Listing listing{&query, {}};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&listing));
    return listing.matches;
}

} // namespace

std::vector<HWND> topLevelWindows() {
    return matchingWindows(WindowQuery{});
}

HWND findWindow(const WindowQuery& query) {
    HWND hidden = nullptr;
    for (HWND window : matchingWindows(query)) {
        if (IsWindowVisible(window))
            return window;
        if (hidden == nullptr)
            hidden = window;
    }
    return hidden;
}

void countWindows(const WindowQuery& query, int& all, int& visible) {
    all = 0;
    visible = 0;
    for (HWND window : matchingWindows(query)) {
        ++all;
        if (IsWindowVisible(window))
            ++visible;
    }
}

std::vector<HWND> childControls(HWND window) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr && children.size() < mostWindows;
         child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

HWND findControl(HWND window, int id) {
    for (HWND child : childControls(window)) {
        if (GetDlgCtrlID(child) == id)
            return child;
    }
    return nullptr;
}

std::wstring windowTitle(HWND window) {
    // InternalGetWindowText reads the title the system keeps, without a
    // message to a window that may be busy.
    wchar_t title[titleSize] = {};
    const int copied = InternalGetWindowText(window, title, titleSize);
    if (copied <= 0 || copied >= titleSize)
        return std::wstring();
    return std::wstring(title, static_cast<size_t>(copied));
}

std::wstring className(HWND window) {
    wchar_t name[classNameSize] = {};
    const int copied = GetClassNameW(window, name, classNameSize);
    if (copied <= 0 || copied >= classNameSize)
        return std::wstring();
    return std::wstring(name, static_cast<size_t>(copied));
}

} // namespace probe
