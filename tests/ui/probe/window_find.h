// Finding the program's top-level windows and their controls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace probe {

// Which top-level window a command is about: the one whose title is exactly
// `title` (when `byTitle`) and that has a direct child with the id `childId`
// (when `byChild`). A message box can carry the main window's title, so the
// child tells the two apart.
struct WindowQuery {
    bool byTitle = false;
    std::wstring title;
    bool byChild = false;
    int childId = 0;
};

// The first matching window, a visible one before a hidden one; 0 if none.
HWND findWindow(const WindowQuery& query);

// How many top-level windows match, and how many of them are visible.
void countWindows(const WindowQuery& query, int& all, int& visible);

// Every top-level window, in z-order.
std::vector<HWND> topLevelWindows();

// The window's direct children in their z-order (the dialog's tab order).
std::vector<HWND> childControls(HWND window);

// The direct child with the id, or 0.
HWND findControl(HWND window, int id);

// The window's title; empty when it has none or is gone.
std::wstring windowTitle(HWND window);

// The window class's name.
std::wstring className(HWND window);

} // namespace probe
