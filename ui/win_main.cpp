// The program's entry: the one application object and its start.
#include "main_app.h"
#include "ui_state.h"

namespace {
CMainApp theApp;
} // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    theApp.InitInstance();
    if (captionFont) DeleteObject(captionFont);
    return 0;
}
