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

struct ScanOptions {
    int choice = choiceDelete;
    Answers answers = Answers::askOnTerminal;
    bool quiet = false;
    std::vector<DriveFolder> drives; // native build: what to present as drives
    std::string folder;              // Windows build: the folder to scan, empty for every fixed drive
};

enum class ParseOutcome { scan, help, version, usageError };

// Reads argv into options. On a usage error, error says which argument and
// why, in one line.
ParseOutcome parseOptions(int argc, char** argv, ScanOptions& options, std::string& error);

const char* usageText();

#endif // QUORVANE_CLI_OPTIONS_H
