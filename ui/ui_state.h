// What the main window sets up for the other windows: the message box
// centres itself on it and lays itself out for large fonts, the family line
// draws in its caption font.
#ifndef QUORVANE_UI_UI_STATE_H
#define QUORVANE_UI_UI_STATE_H

#include "win32api.h"

class CMainDlg;

extern CMainDlg* mainDialog;
extern HFONT captionFont;
extern HBRUSH panelBrush;
extern bool largeFonts;
extern int scanRunning;

constexpr UINT_PTR scanTimerId = 100;   // starts the scan once Scan is pressed
constexpr UINT_PTR statusTimerId = 101; // shows a status held back (ui/status_field.h)

// The main window's handle, or null while it does not exist.
HWND mainDialogWindow();

#endif // QUORVANE_UI_UI_STATE_H
