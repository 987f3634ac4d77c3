// What happens to a detected file: deleted, renamed or left, by the user's
// choice, with one result line saying which.
#ifndef QUORVANE_ENGINE_DISPOSAL_H
#define QUORVANE_ENGINE_DISPOSAL_H

// Keeps a copy of the detected file at path before the quarantine choice
// deletes it: true once the copy is whole and safe, false when the file is
// to be left where it is. The front end that offers the choice sets it;
// while none is set, no file is quarantined.
using QuarantineKeeper = bool (*)(const char* path, const char* detectionName);
extern QuarantineKeeper quarantineKeeper;

// Under the quarantine choice: keeps the file, or reports it left
// ("Unable to quarantine") and returns false.
bool keepForQuarantine(const char* path, const char* detectionName);

// Carries out scanState.userChoice on the file at path and reports it under
// the detection name.
void disposeFile(const char* path, const char* detectionName);

// The rename of a detected file, by executable and text checks alike: the
// character after the last '.' becomes 'V' (b.exe becomes b.Vxe), counted
// and reported.
void renameDetectedFile(const char* path, const char* detectionName);

#endif // QUORVANE_ENGINE_DISPOSAL_H
