#include "msgbox_dlg.h"

#include "resource_ids.h"
#include "scan_state.h"
#include "ui_state.h"

namespace {

// Light blue behind the text and the picture, as a Windows colour value.
constexpr COLORREF messageBackground = 0xFEE9CF;

RECT screenRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

void show(HWND window, bool visible) { ShowWindow(window, visible ? SW_SHOW : SW_HIDE); }

} // namespace

CMsgBoxDlg::CMsgBoxDlg(const char* text, const char* caption, unsigned style)
    : Dialog(IDD_MSGBOX), text_(text ? text : ""), caption_(caption ? caption : ""),
      iconBitmap_(msgBoxIconForStyle(style)), mode_(msgBoxModeForStyle(style)) {}

CMsgBoxDlg::~CMsgBoxDlg() {
    if (backgroundBrush_) DeleteObject(backgroundBrush_);
}

// Positions are read while the box sits at the screen origin and applied
// inside it, so the caption bar and border shift them: the fixed offsets
// take that back.
void CMsgBoxDlg::layOut() {
    const MsgBoxGrowth growth = msgBoxGrowthForText(text_.size());
    RECT box = screenRect(hwnd());
    SetWindowPos(hwnd(), nullptr, 0, 0, rectWidth(box) + growth.b, rectHeight(box) + growth.c,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    box = screenRect(hwnd());
    HWND textControl = item(IDC_MSG_TEXT);
    const RECT textRect = screenRect(textControl);
    const int extraHeight = largeFonts ? largeFontsTextExtra : 0;
    moveWindow(textControl, textRect.left, textRect.top - textRaise, rectWidth(textRect) + growth.b,
               rectHeight(textRect) + growth.c + extraHeight);

    const int buttons[] = {IDC_MSG_LONE_OK, IDOK, IDCANCEL, IDC_MSG_YES, IDC_MSG_NO};
    for (int id : buttons) {
        HWND button = item(id);
        const RECT rect = screenRect(button);
        moveWindow(button, rect.left + growth.b / 2, box.bottom - buttonsAboveBottom, rectWidth(rect),
                   rectHeight(rect));
    }
    showButtonsOfMode();
    skinButtons();
    if (msgBoxMovesIcon(growth)) {
        HWND icon = item(IDC_MSG_ICON);
        const RECT rect = screenRect(icon);
        moveWindow(icon, rect.left, textRect.top - iconRaise, rectWidth(rect), rectHeight(rect));
    }
}

void CMsgBoxDlg::showButtonsOfMode() {
    show(item(IDC_MSG_LONE_OK), mode_ == MsgBoxMode::okAlone);
    show(item(IDOK), mode_ == MsgBoxMode::okCancel);
    show(item(IDCANCEL), mode_ == MsgBoxMode::okCancel);
    show(item(IDC_MSG_YES), mode_ == MsgBoxMode::yesNo);
    show(item(IDC_MSG_NO), mode_ == MsgBoxMode::yesNo);
}

void CMsgBoxDlg::skinButtons() {
    okButton_.attachSkin(IDOK, hwnd());
    loneOkButton_.attachSkin(IDC_MSG_LONE_OK, hwnd());
    cancelButton_.attachSkin(IDCANCEL, hwnd());
    yesButton_.attachSkin(IDC_MSG_YES, hwnd());
    noButton_.attachSkin(IDC_MSG_NO, hwnd());
}

BOOL CMsgBoxDlg::onInitDialog() {
    layOut();
    SetWindowTextA(item(IDC_MSG_TEXT), text_.c_str());
    SetWindowTextA(hwnd(), caption_.empty() ? programTitle : caption_.c_str());
    if (HWND main = mainDialogWindow()) centreOver(main);
    return TRUE;
}

bool CMsgBoxDlg::onCommand(int id, int notification) {
    // The buttons are owner-drawn: a double-click's BN_DOUBLECLICKED
    // follows the click that has answered already.
    if (notification != BN_CLICKED) return false;
    switch (id) {
    case IDC_MSG_YES:
        endDialog(IDYES);
        return true;
    case IDC_MSG_NO:
        endDialog(IDNO);
        return true;
    case IDC_MSG_LONE_OK:
        endDialog(IDOK);
        return true;
    default:
        return false;
    }
}

// The picture is loaded anew for every paint and cut at the control's edge.
void CMsgBoxDlg::paintIcon() {
    HBITMAP picture = loadResourceBitmap(MAKEINTRESOURCEA(iconBitmap_));
    if (!picture) return;
    HWND icon = item(IDC_MSG_ICON);
    HDC dc = GetDC(icon);
    if (dc) {
        RECT client;
        GetClientRect(icon, &client);
        HDC memory = CreateCompatibleDC(dc);
        if (memory) {
            HGDIOBJ previous = SelectObject(memory, picture);
            BitBlt(dc, 0, 0, rectWidth(client), rectHeight(client), memory, 0, 0, SRCCOPY);
            SelectObject(memory, previous);
            DeleteDC(memory);
        }
        ReleaseDC(icon, dc);
    }
    DeleteObject(picture);
}

bool CMsgBoxDlg::onMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/, INT_PTR* result) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        BeginPaint(hwnd(), &paint);
        EndPaint(hwnd(), &paint);
        paintIcon();
        *result = TRUE;
        return true;
    }
    if (message == WM_CTLCOLORDLG || message == WM_CTLCOLORSTATIC) {
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        if (!backgroundBrush_) backgroundBrush_ = CreateSolidBrush(messageBackground);
        *result = reinterpret_cast<INT_PTR>(backgroundBrush_);
        return true;
    }
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    }
    return false;
}

int askUser(const char* text, const char* caption, unsigned style) {
    CMsgBoxDlg box(text, caption, style);
    return static_cast<int>(box.runModal(mainDialogWindow()));
}
