// Text of another program's controls, read across the process boundary, and
// its form on the probe's output.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace probe {

// UTF-8 of `text` for one output line: tabs stay as they are (the scan's
// statistics lines hold them), every other control character becomes <XX>,
// its code in hexadecimal, so that a fact never spills onto a second line.
std::string printable(const std::wstring& text);

// UTF-16 of a UTF-8 argument.
std::wstring wide(const std::string& text);

// WM_GETTEXT of `window`; false when the window did not answer in time.
bool readText(HWND window, std::wstring& text);

// Every line of list box `list`; false when it did not answer in time.
bool readListLines(HWND list, std::vector<std::wstring>& lines);

// A list box's answer to one of its messages, or LB_ERR.
LRESULT askList(HWND list, UINT message, WPARAM wParam);

} // namespace probe
