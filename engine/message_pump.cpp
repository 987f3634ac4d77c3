// Keeps the window alive during a scan, which runs on the window's own
// thread: the walk calls pumpMessages around every folder entry.
#include "scan_state.h"

namespace {

const char* const terminatePrompt = "Terminate the Scan now?";

// Only a key press counts: a timer or mouse message may carry 27 in wParam
// too. While the scan runs the focused button is disabled, so no control has
// the focus and the system delivers keys to the window as system keys.
bool isEscapeKey(const MSG& msg) {
    return (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && LOWORD(msg.wParam) == VK_ESCAPE;
}

} // namespace

void pumpMessages() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return;

    // The Escape key is taken here and never reaches the window.
    if (isEscapeKey(msg)) {
        if (askUser(terminatePrompt, programTitle, askYesNo) != IDNO) scanState.terminateRequested = true;
        return;
    }
    if (msg.message == WM_QUIT || msg.message == WM_DESTROY) {
        scanState.terminateRequested = true;
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}
