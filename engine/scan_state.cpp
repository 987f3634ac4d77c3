// The scan record and the engine's two reports to the window.
#include "scan_state.h"

#include "linked_files.h"

ScanState scanState;

const char* const programTitle = "Quorvane Ver 1.0";

void resetScanState() {
    scanState = ScanState{};
    forgetFilesFoundClean();
}

// Both reports are synchronous: the window has taken the text when the call
// returns, so the writer may reuse the buffer at once.
void addResultLine() { SendMessageA(scanState.resultList, appendLineMessage, 0, 0); }

void showStatus() { SendMessageA(scanState.resultList, statusMessage, 0, 0); }
