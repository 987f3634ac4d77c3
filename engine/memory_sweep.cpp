// The start-up memory sweep. It matches nothing itself: each process image
// goes through the ordinary walk and check in probe mode, and a detected
// one through the same walk again for a forced disposal.
#include "memory_sweep.h"

#include <string.h>

#include "folder_walk.h"
#include "process_list.h"
#include "registry_ops.h"
#include "scan_state.h"
#include "service_stop.h"
#include "text_util.h"
#include "version_probe.h"

int32_t memoryRestartNeeded = 0;

namespace {

const char* const foundInMemory =
    "W32/Karvex.Trojan  found in memory! registry entries created by the worm are removed. You must restart the "
    "computer and run this program to continue scanning.\n\nRestart the computer now?";

// The program's own exit code when the sweep ends it.
constexpr UINT sweepExitCode = 0;

// Whether path names an existing file that the program may read: an image
// in the kernel's own notation, or a folder, is not probed.
bool readableFile(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    const int fd = _open(path, _O_RDONLY | _O_BINARY);
    if (fd < 0) return false;
    _close(fd);
    return true;
}

bool probeImage(const ProcessRecord& record) {
    if (!readableFile(record.imageFile)) return false;
    walkFolder(record.imageFile);
    return scanState.probeHit;
}

void disposeOfImage(const ProcessRecord& record) {
    scanState.forcedChoice = scanState.userChoice;
    walkFolder(record.imageFile);
    scanState.forcedChoice = 0;
}

bool endsProcesses(int32_t choice) {
    return choice == choiceDelete || choice == choiceRename || choice == choiceDeleteToo || choice == choiceQuarantine;
}

// The service a process runs as is named after its image file, without
// the extension: C:\WINDOWS\system32\abcd.exe runs as abcd.
void serviceNameOf(const char* imageFile, char (&name)[MAX_PATH]) {
    copyText(name, sizeof name, fileNamePart(imageFile));
    char* dot = strrchr(name, '.');
    if (dot != nullptr) *dot = '\0';
}

// True when the service of the process was stopped (its registration is
// deleted either way); otherwise only a restart frees the file.
bool stopAsService(const ProcessRecord& record) {
    char name[MAX_PATH];
    serviceNameOf(record.imageFile, name);
    const bool stopped = stopService(name, true) == 1;
    deleteServiceKeys(name);
    if (!stopped) memoryRestartNeeded = 1;
    return stopped;
}

// Ends one detected process on the NT family; true when its file is to be
// disposed of now.
bool endNtProcess(const ProcessRecord& record) {
    const bool firstEnded = terminateProcessById(record.processId);
    if (terminateProcessById(record.processId)) return true;
    const int32_t ntClass = getNtVersionClass();
    if ((ntClass == ntVersion4 || ntClass == ntVersion5) && stopAsService(record)) return true;
    return firstEnded;
}

void offerRestartAndEnd() {
    if (memoryRestartNeeded == 1 && askUser(foundInMemory, programTitle, askOkCancel) == IDOK) restartWindows();
    endProgram(sweepExitCode);
}

} // namespace

bool sweepProcessesToolhelp() {
    const ProcessListing listing = listProcessesToolhelp();
    bool found = false;
    for (const ProcessRecord& record : listing) {
        if (!probeImage(record)) continue;
        found = true;
        if (scanState.userChoice == choiceLeave) continue;
        terminateProcessById(record.processId); // the disposal shows whether it let go
        disposeOfImage(record);
    }
    return found;
}

bool sweepProcessesPsapi() {
    const ProcessListing listing = listProcessesPsapi(true);
    bool found = false;
    for (const ProcessRecord& record : listing) {
        if (!probeImage(record)) continue;
        found = true;
        if (!endsProcesses(scanState.userChoice)) continue;
        if (endNtProcess(record)) disposeOfImage(record);
    }
    return found;
}

void sweepMemory() {
    const int32_t family = getWinVersionClass();
    scanState.probeOnly = true;
    if (family == winVersion9x) {
        sweepProcessesToolhelp();
    } else if (family == winVersionNt && sweepProcessesPsapi()) {
        offerRestartAndEnd();
    }
    scanState.probeOnly = false;
}
