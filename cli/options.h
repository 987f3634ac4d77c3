// Command-line options of quorvane-scan.
#ifndef QUORVANE_CLI_OPTIONS_H
#define QUORVANE_CLI_OPTIONS_H

#include <string>
#include <vector>

#include "scan_state.h"

// How the questions of a scan are answered.
enum class Answers { askOnTerminal, yes, no };

// One host folder presented as a drive of the simulated machine.
struct DriveFolder {
    char letter;
    std::string folder;
};

// Whether an offline scan cleans the registry of the Windows installation
// on the volume: when there is one, always (failing without one), or never.
enum class OfflineRegistry { whenFound, required, off };

struct ScanOptions {
    int choice = choiceDelete;
    Answers answers = Answers::askOnTerminal;
    bool quiet = false;
    std::vector<DriveFolder> drives; // native build: what to present as drives
    OfflineRegistry offline = OfflineRegistry::whenFound; // native build
    std::string backupFolder;        // native build: where the hives' copies go; empty: beside them
    std::string folder;              // Windows build: the folder to scan, empty for every fixed drive
    std::string reportFile;          // --report: where the JSON report goes; empty for none
    std::string undoFile;            // --undo: where the registry file of the removals goes; empty for none
    std::string quarantineFolder;    // --quarantine, --restore or --list: the quarantine; empty for none
    std::vector<std::string> items;  // --item: the items to restore; empty for all
};

// scan: a scan (with --quarantine, detected files are kept there first);
// restore: quarantined items put back (--restore); list: items listed (--list).
enum class ParseOutcome { scan, restore, list, help, version, usageError };

// Reads argv into options. On a usage error, error says which argument and
// why, in one line.
ParseOutcome parseOptions(int argc, char** argv, ScanOptions& options, std::string& error);

const char* usageText();

#endif // QUORVANE_CLI_OPTIONS_H
