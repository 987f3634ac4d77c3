#include "dialog.h"

namespace {

// The window property that ties a control window to its object.
const char* const controlProperty = "Quorvane.Control";

HINSTANCE programInstance() { return GetModuleHandleA(nullptr); }

} // namespace

int rectWidth(const RECT& rect) { return rect.right - rect.left; }
int rectHeight(const RECT& rect) { return rect.bottom - rect.top; }

void moveWindow(HWND window, int x, int y, int width, int height) { MoveWindow(window, x, y, width, height, TRUE); }

Control::~Control() { detach(); }

bool Control::attach(HWND parent, int id) {
    if (hwnd_) return true;
    HWND window = GetDlgItem(parent, id);
    if (!window || GetPropA(window, controlProperty)) return false;
    if (!SetPropA(window, controlProperty, this)) return false;
    hwnd_ = window;
    previousProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Control::subclassProc)));
    if (!previousProc_) {
        RemovePropA(window, controlProperty);
        hwnd_ = nullptr;
        return false;
    }
    return true;
}

void Control::detach() {
    if (!hwnd_) return;
    SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
    RemovePropA(hwnd_, controlProperty);
    hwnd_ = nullptr;
}

Control* Control::fromHandle(HWND window) {
    return window ? static_cast<Control*>(GetPropA(window, controlProperty)) : nullptr;
}

bool Control::drawItem(const DRAWITEMSTRUCT& /*item*/) { return false; }

LRESULT Control::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return callDefault(message, wParam, lParam);
}

LRESULT Control::callDefault(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(previousProc_, hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Control::subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Control* control = fromHandle(window);
    if (!control) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        const LRESULT result = control->callDefault(message, wParam, lParam);
        control->detach();
        return result;
    }
    return control->windowProc(message, wParam, lParam);
}

INT_PTR Dialog::runModal(HWND owner) {
    return DialogBoxParamA(programInstance(), MAKEINTRESOURCEA(templateId_), owner, &Dialog::dialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK Dialog::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->hwnd_ = window;
        RECT before;
        GetWindowRect(window, &before);
        const BOOL result = dialog->onInitDialog();
        dialog->centreIfUnmoved(before);
        return result;
    }
    auto* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, DWLP_USER));
    return dialog ? dialog->dispatch(message, wParam, lParam) : FALSE;
}

bool Dialog::onMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/, INT_PTR* /*result*/) {
    return false;
}

INT_PTR Dialog::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = 0;
    if (onMessage(message, wParam, lParam, &result)) return result;
    if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        Control* control = item ? Control::fromHandle(item->hwndItem) : nullptr;
        return control && control->drawItem(*item);
    }
    if (message != WM_COMMAND) return FALSE;
    const int id = LOWORD(wParam);
    const int notification = HIWORD(wParam);
    if (id != IDOK && id != IDCANCEL) return onCommand(id, notification);
    // Enter and Escape come as a click too. An owner-drawn OK or Cancel
    // follows a double-click's click with BN_DOUBLECLICKED, which is no
    // second press.
    if (notification != BN_CLICKED) return FALSE;
    if (id == IDOK) {
        onOK();
    } else {
        onCancel();
    }
    return TRUE;
}

void Dialog::centreOver(HWND other) {
    RECT area;
    if (other) {
        GetWindowRect(other, &area);
    } else {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT own;
    GetWindowRect(hwnd_, &own);
    const int x = area.left + (rectWidth(area) - rectWidth(own)) / 2;
    const int y = area.top + (rectHeight(area) - rectHeight(own)) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Dialog::centreIfUnmoved(const RECT& before) {
    RECT after;
    GetWindowRect(hwnd_, &after);
    if (after.left == before.left && after.top == before.top) centreOver(GetWindow(hwnd_, GW_OWNER));
}
