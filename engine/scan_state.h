// The one record of the running scan, shared by the engine and the window
// that shows it, and the engine's channel to that window.
#ifndef QUORVANE_ENGINE_SCAN_STATE_H
#define QUORVANE_ENGINE_SCAN_STATE_H

#include <stdint.h>

#include "win32api.h"

// Buffer sizes, terminating zero included.
constexpr int lineTextSize = 500;
constexpr int pathTextSize = 260; // MAX_PATH: 259 characters and the zero
constexpr int currentFileTextSize = 261;
constexpr int runValueNameSize = 128;

// Window messages of the report protocol. They share their numbers with two
// system messages; the receiving window routes them whoever sends them.
constexpr UINT statusMessage = 10;
constexpr UINT appendLineMessage = 11;

// Disposal choice codes held in userChoice.
constexpr int32_t choiceDelete = 100;
constexpr int32_t choiceRename = 101;
constexpr int32_t choiceDeleteToo = 102;
constexpr int32_t choiceLeave = 103;
// Kept in a quarantine the front end provides (see disposal.h), then deleted
// as choiceDelete deletes.
constexpr int32_t choiceQuarantine = 104;

struct ScanState {
    HWND resultList = nullptr;           // window that receives every report; 0: none
    char lineText[lineTextSize] = {};    // the next result line, formatted in place
    char detectedName[pathTextSize] = {};
    char detectedPath[pathTextSize] = {}; // last hit; also the status field's text
    char scanTarget[pathTextSize] = {};  // "!:" every fixed drive, else a folder
    int32_t userChoice = 0;
    int32_t forcedChoice = 0;            // nonzero: dispose of the file without matching
    bool terminateRequested = false;
    bool scanFinished = false;
    int32_t filesScanned = 0;
    int32_t filesInfected = 0;
    int32_t filesRenamed = 0;
    int32_t filesRemoved = 0;
    int32_t restartNeeded = 0;
    bool probeOnly = true;               // until the memory sweep is over
    bool probeHit = false;
    char currentFile[currentFileTextSize] = {};
    char runValueName[runValueNameSize] = {};
    char programFilesPattern[pathTextSize] = {};
    int32_t programFilesPending = 0;
    int32_t programFilesSeen = 0;
    int32_t itemsNotScanned = 0;         // files and folders the scan could not look at
};

extern ScanState scanState;

// Puts the record back as it is when the program starts.
void resetScanState();

// Sends lineText to resultList as the next line of the result list.
void addResultLine();

// Sends detectedPath to resultList as the new text of the status field.
void showStatus();

// Handles at most one waiting message of the thread. Escape asks whether to
// stop the scan; a quit or destroy message stops it without asking.
void pumpMessages();

// The modal question. The engine declares it; each front end defines it.
// style is one of the two below; the answer is IDOK, IDCANCEL, IDYES or IDNO.
int askUser(const char* text, const char* caption, unsigned style);

// A notice with an OK button and no owner window. The engine declares it;
// the dialog program shows it as the system's own message box, the console
// front end writes it on standard error and goes on.
void tellUser(const char* text, const char* caption);

// Ends the program at once, with nothing more shown: the memory sweep's end
// when it found the trojan running on the NT family. The engine declares it
// and asks for exitCode; each front end defines it (the console reports the
// detection in its own exit status). It does not return.
[[noreturn]] void endProgram(UINT exitCode);

constexpr unsigned askYesNo = MB_YESNO | MB_ICONQUESTION;          // 36
constexpr unsigned askOkCancel = MB_OKCANCEL | MB_ICONINFORMATION; // 65

// Caption of every question and the window's title.
extern const char* const programTitle;

#endif // QUORVANE_ENGINE_SCAN_STATE_H
