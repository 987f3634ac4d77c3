// The thin dialog layer of the window classes, over plain Win32: a modal
// dialog from a template whose procedure forwards to virtual handlers, and
// controls subclassed so that a C++ object sees their messages.
#ifndef QUORVANE_UI_DIALOG_H
#define QUORVANE_UI_DIALOG_H

#include "win32api.h"

class Control {
public:
    Control() = default;
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Subclasses the dialog item id of parent; false when there is no such
    // item or it is already bound to another object.
    bool attach(HWND parent, int id);
    HWND hwnd() const { return hwnd_; }

    // The object bound to a control window, or null.
    static Control* fromHandle(HWND window);

    // An owner-drawn control paints itself here; false: not drawn.
    virtual bool drawItem(const DRAWITEMSTRUCT& item);

protected:
    virtual LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT callDefault(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void detach();

    HWND hwnd_ = nullptr;
    WNDPROC previousProc_ = nullptr;
};

class Dialog {
public:
    explicit Dialog(int templateId) : templateId_(templateId) {}
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally over owner (may be null); returns its result.
    INT_PTR runModal(HWND owner);
    HWND hwnd() const { return hwnd_; }
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }
    void endDialog(INT_PTR result) { EndDialog(hwnd_, result); }

protected:
    virtual BOOL onInitDialog() { return TRUE; }
    virtual void onOK() { endDialog(IDOK); }
    virtual void onCancel() { endDialog(IDCANCEL); }
    // A command other than OK (1) and Cancel (2), with its notification code
    // (a button's click is BN_CLICKED; OK and Cancel are called for that
    // alone); true when handled.
    virtual bool onCommand(int /*id*/, int /*notification*/) { return false; }
    // Any message before the defaults above; true when handled, with the
    // dialog procedure's result in *result.
    virtual bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

    // A dialog whose initialisation leaves its top-left corner in place is
    // centred over its owner, or over the screen without one.
    void centreIfUnmoved(const RECT& before);
    void centreOver(HWND other);

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
    HWND hwnd_ = nullptr;
};

// Moves a window (child positions are in its parent's client coordinates).
void moveWindow(HWND window, int x, int y, int width, int height);
int rectWidth(const RECT& rect);
int rectHeight(const RECT& rect);

#endif // QUORVANE_UI_DIALOG_H
