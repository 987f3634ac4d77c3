#include "main_app.h"

#include "main_dlg.h"
#include "scan_state.h"
#include "ui_state.h"

CMainDlg* mainDialog = nullptr;
HFONT captionFont = nullptr;
HBRUSH panelBrush = nullptr;
bool largeFonts = false;
int scanRunning = 0;

HWND mainDialogWindow() { return mainDialog ? mainDialog->hwnd() : nullptr; }

bool CMainApp::InitInstance() {
    // Any top-level window with the program's title counts as a first copy,
    // a question captioned with it included; the second copy ends silently.
    if (FindWindowA(nullptr, programTitle)) return false;
    CMainDlg dialog;
    dialog.runModal(nullptr);
    return false;
}

// The system's own notice, with no owner window.
void tellUser(const char* text, const char* caption) { MessageBoxA(nullptr, text, caption, MB_OK); }

[[noreturn]] void endProgram(UINT exitCode) { ExitProcess(exitCode); }
