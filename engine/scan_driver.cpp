// The scan driver: walks the drives (or one folder), then reports the totals.
#include "scan_driver.h"

#include <stdio.h>
#include <string.h>

#include "folder_walk.h"
#include "memory_sweep.h"
#include "result_lines.h"
#include "scan_state.h"
#include "text_util.h"
#include "version_probe.h"

const char* const everyFixedDrive = "!:";

namespace {

const char* const scanCompleted = "Scanning completed";
const char* const scanTerminated = "Scanning terminated";
const char* const restartQuestion =
    "The system has to be restarted to remove the virus completely from your system. \n\n Restart now?";

// A: and B: were floppy drives when the family spread; they are never walked.
constexpr char firstDriveLetter = 'C';
constexpr char lastDriveLetter = 'Z';

// Walks the Program Files folder of the drive just walked, when the walk
// noted one and has never entered a Program Files folder itself.
void walkProgramFilesFollowUp() {
    if (scanState.programFilesPending == 1 && scanState.programFilesSeen == 0) {
        walkFolder(scanState.programFilesPattern);
        scanState.programFilesPending = 0;
    }
}

void walkFixedDrives() {
    char root[] = "C:\\";
    for (char letter = firstDriveLetter; letter <= lastDriveLetter; ++letter) {
        root[0] = letter;
        if (GetDriveTypeA(root) != DRIVE_FIXED) continue;
        char pattern[MAX_PATH];
        snprintf(pattern, sizeof pattern, "%s*.*", root);
        walkFolder(pattern);
        walkProgramFilesFollowUp();
    }
}

void walkTargetFolder() {
    char pattern[MAX_PATH];
    if (copyText(pattern, sizeof pattern, scanState.scanTarget) && appendText(pattern, sizeof pattern, allEntries)) {
        walkFolder(pattern);
    }
    walkProgramFilesFollowUp();
}

void writeStatistics() {
    if (scanState.filesInfected > 0) reportLine(lineStatisticsGap);
    reportLine(lineStatisticsHeading);
    reportLine(lineStatisticsRule);
    reportCountLine(lineFilesScanned, scanState.filesScanned);
    reportCountLine(lineFilesInfected, scanState.filesInfected);
    reportCountLine(lineFilesRemoved, scanState.filesRemoved);
}

} // namespace

int runScan() {
    if (scanState.scanTarget[0] != '\0') {
        // The running trojan first: its files cannot be deleted while it
        // runs. On the NT family a sweep that finds it ends the program here.
        sweepMemory();
        if (strcmp(scanState.scanTarget, everyFixedDrive) == 0) {
            walkFixedDrives();
        } else {
            walkTargetFolder();
        }
    }
    // Finished before the totals are written, so that the window does not
    // clear its list to make room for them.
    scanState.scanFinished = true;
    writeStatistics();
    copyText(scanState.detectedPath, pathTextSize, scanState.terminateRequested ? scanTerminated : scanCompleted);
    showStatus();
    if (scanState.restartNeeded != 0 && askUser(restartQuestion, programTitle, askYesNo) == IDYES) restartWindows();
    return 1;
}
