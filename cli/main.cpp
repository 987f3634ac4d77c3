// quorvane-scan: the scanning engine on the command line.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "console_ask.h"
#include "console_report.h"
#include "memory_sweep.h"
#include "options.h"
#include "program_version.h"
#include "quarantine_restore.h"
#include "quarantine_take.h"
#include "scan_driver.h"
#include "scan_journal.h"
#include "scan_state.h"
#include "scan_target.h"
#include "terminal.h"

namespace {

// Exit status, as scanners have it: found something, else not sure, else clean.
constexpr int exitClean = 0;
constexpr int exitInfected = 1;
constexpr int exitUsage = 2;
constexpr int exitIncomplete = 2; // stopped early, or something could not be scanned

const char* const versionText = "quorvane-scan " QUORVANE_PROGRAM_VERSION "\n";
const char* const restartNotice = "quorvane-scan: the Windows system must be restarted to finish the cleaning\n";
const char* const volumeStartNotice =
    "quorvane-scan: the cleaning finishes at the next start of the Windows on this volume\n";

void tellRestartNeeded() {
    std::fputs(targetIsRunningSystem() ? restartNotice : volumeStartNotice, stderr);
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "quorvane-scan: %s\n", message.c_str());
    return exitUsage;
}

void reportNotScanned() {
    const int notScanned = static_cast<int>(scanState.itemsNotScanned);
    if (notScanned > 0) {
        std::fprintf(stderr, "quorvane-scan: %d %s could not be scanned\n", notScanned,
                     notScanned == 1 ? "item" : "items");
    }
}

// The closing lines on standard error: the status word, then how much could
// not be scanned, when anything could not.
void reportEnd() {
    clearProgress();
    std::fprintf(stderr, "%s\n", scanState.detectedPath);
    // The engine queued a file it could not delete for the next start. This
    // program never restarts the machine it runs on when that machine is not
    // the one being cleaned; on Windows a Yes to the question has restarted it.
    if (scanState.restartNeeded != 0) tellRestartNeeded();
    reportNotScanned();
}

int exitStatus(bool targetFinished) {
    if (outputHasFailed()) return exitIncomplete; // the record of what was done is lost
    // A registry whose cleaning was left undone must not read as cleaned.
    if (!targetFinished) return exitIncomplete;
    if (scanState.filesInfected > 0) return exitInfected;
    if (scanState.terminateRequested || scanState.itemsNotScanned > 0) return exitIncomplete;
    return exitClean;
}

} // namespace

// The engine ends the program when the memory sweep found the trojan running
// on the NT family, before any drive was walked. Whatever code it asks for,
// a script must read that something was found: the status is the infected
// one (or the incomplete one when the record could not be written).
void endProgram(UINT /*exitCode*/) {
    clearProgress();
    const bool targetFinished = finishScanTarget();
    const int status = outputHasFailed() || !targetFinished ? exitIncomplete : exitInfected;
    const bool recorded = finishJournal(ScanEnd{status, targetFinished, true});
    std::fputs("quorvane-scan: W32/Karvex.Trojan was found running; the drives were not scanned: "
               "run the scan again\n",
               stderr);
    if (memoryRestartNeeded != 0 || scanState.restartNeeded != 0) tellRestartNeeded();
    reportNotScanned();
    std::fflush(stdout);
    std::exit(recorded ? status : exitIncomplete);
}

int main(int argc, char** argv) {
    ScanOptions options;
    std::string error;
    switch (parseOptions(argc, argv, options, error)) {
    case ParseOutcome::help:
        std::fputs(usageText(), stdout);
        return exitClean;
    case ParseOutcome::version:
        std::fputs(versionText, stdout);
        return exitClean;
    case ParseOutcome::usageError:
        return usageError(error);
    case ParseOutcome::list:
        return listQuarantine(options);
    case ParseOutcome::restore:
        return prepareRestoreTarget(options, error) ? restoreQuarantine(options) : usageError(error);
    case ParseOutcome::scan:
        break;
    }
    if (!prepareScanTarget(options, error) || !startJournal(options, error)) return usageError(error);
    // A volume that may not change keeps its files: nothing is taken then.
    const bool quarantining = options.choice == choiceQuarantine && !targetLeftUnchanged();
    if (quarantining && !startQuarantine(options.quarantineFolder, error)) return usageError(error);

    setConsoleAnswers(options.answers);
    scanState.resultList = createReportWindow(!options.quiet && isTerminal(stderr));
    if (scanState.resultList == nullptr) return usageError("cannot create the report window");
    scanState.userChoice = targetLeftUnchanged() ? choiceLeave : options.choice;
    catchInterrupt();

    runScan();
    const bool targetFinished = finishScanTarget();
    reportEnd();
    const int status = exitStatus(targetFinished);
    // A record asked for and not written leaves the scan unaccounted for.
    return finishJournal(ScanEnd{status, targetFinished, false}) ? status : exitIncomplete;
}
