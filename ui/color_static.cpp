#include "color_static.h"

#include <vector>

#include "ui_state.h"

void CColorStatic::paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    if (!dc) return;
    RECT client;
    GetClientRect(hwnd(), &client);
    const int length = GetWindowTextLengthA(hwnd());
    std::vector<char> text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    GetWindowTextA(hwnd(), text.data(), static_cast<int>(text.size()));

    SetTextColor(dc, textColour_);
    HGDIOBJ previousFont = captionFont ? SelectObject(dc, captionFont) : nullptr;
    SetBkColor(dc, headerBlue);
    // Centred across; without the single-line flag the text stays at the top.
    DrawTextA(dc, text.data(), -1, &client, DT_CENTER | DT_VCENTER);
    if (previousFont) SelectObject(dc, previousFont);
    EndPaint(hwnd(), &paint);
}

LRESULT CColorStatic::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        paint();
        return 0;
    }
    return Control::windowProc(message, wParam, lParam);
}
