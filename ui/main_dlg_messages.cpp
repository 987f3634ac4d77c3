// The main window's messages: the engine's reports, the scan timer, the
// skin's paint, control colours and dragging by the body.
#include <vector>

#include "list_rules.h"
#include "main_dlg.h"
#include "resource_ids.h"
#include "scan_state.h"
#include "ui_state.h"

namespace {

// The hit-test code that makes the system drag a window as by its caption.
constexpr WPARAM dragAsCaption = HTCAPTION;

int widestLine(HWND list) {
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    HDC dc = GetDC(list);
    if (!dc) return 0;
    int widest = 0;
    std::vector<char> text;
    for (int index = 0; index < count; ++index) {
        const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length == LB_ERR) continue;
        text.assign(static_cast<size_t>(length) + 1, '\0');
        const LRESULT copied = SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
        if (copied == LB_ERR) continue;
        SIZE extent = {};
        if (GetTextExtentPoint32A(dc, text.data(), static_cast<int>(copied), &extent) && extent.cx > widest)
            widest = extent.cx;
    }
    ReleaseDC(list, dc);
    return widest;
}

} // namespace

void CMainDlg::appendLine() {
    HWND list = item(IDC_RESULT_LIST);
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    if (listMustEmpty(count, scanState.scanFinished)) SendMessageA(list, LB_RESETCONTENT, 0, 0);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(scanState.lineText));
    const int lines = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    const int selected = listSelectionAfterAppend(lines);
    if (selected >= 0) SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    const int current = static_cast<int>(SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0));
    const int extent = listExtentAfterAppend(current, widestLine(list));
    if (extent != current) SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent), 0);
}

void CMainDlg::paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    if (dc && skinDc_) BitBlt(dc, 0, 0, skinSize_.cx, skinSize_.cy, skinDc_, 0, 0, SRCCOPY);
    EndPaint(hwnd(), &paint);
}

// Transparent text everywhere; white behind the dialog and its statics,
// except the family line, which paints itself.
INT_PTR CMainDlg::controlColour(UINT message, HDC dc, HWND control) {
    SetBkMode(dc, TRANSPARENT);
    if (control == item(IDC_FAMILY_LINE)) return FALSE;
    if (message == WM_CTLCOLORDLG || message == WM_CTLCOLORSTATIC) return reinterpret_cast<INT_PTR>(panelBrush);
    return FALSE;
}

bool CMainDlg::onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    switch (message) {
    case statusMessage: // also sent by the system when the window is disabled or enabled
        status_.take(scanState.detectedPath, scanRunning != 0 && !scanState.scanFinished);
        break;
    case appendLineMessage:
        appendLine();
        break;
    case WM_TIMER:
        if (wParam == statusTimerId) status_.flush();
        if (wParam == scanTimerId) runScanOnce();
        break;
    case WM_PAINT:
        paint();
        break;
    case WM_LBUTTONDOWN: {
        // The non-client message carries screen coordinates.
        POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ClientToScreen(hwnd(), &point);
        PostMessageA(hwnd(), WM_NCLBUTTONDOWN, dragAsCaption, MAKELPARAM(point.x, point.y));
        return false;
    }
    default:
        if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
            *result = controlColour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
            return *result != FALSE;
        }
        return false;
    }
    SetWindowLongPtrA(hwnd(), DWLP_MSGRESULT, 0);
    *result = TRUE;
    return true;
}
