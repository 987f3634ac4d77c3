// The quarantine choice of a scan: each detected file is taken into the
// quarantine folder before the engine deletes it.
#ifndef QUORVANE_CLI_QUARANTINE_TAKE_H
#define QUORVANE_CLI_QUARANTINE_TAKE_H

#include <string>
#include <vector>

// Makes the folder when it is missing, clears what a killed run left in it,
// and sets the engine's keeper. False, with the reason, when the folder
// cannot be made or listed.
bool startQuarantine(const std::string& folder, std::string& error);

// A file taken during this scan.
struct QuarantinedFile {
    std::string path; // the Windows path, as the engine names it
    std::string item; // the item's name in the folder
    std::string sha256;
    std::string detection;
};
const std::vector<QuarantinedFile>& quarantinedFiles();
// The item taken from `path` last, or null.
const QuarantinedFile* quarantinedFileAt(const char* path);
// The folder given to startQuarantine; empty when none was.
const std::string& quarantineFolder();

#endif // QUORVANE_CLI_QUARANTINE_TAKE_H
