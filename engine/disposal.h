// What happens to a detected file: deleted, renamed or left, by the user's
// choice, with one result line saying which.
#ifndef QUORVANE_ENGINE_DISPOSAL_H
#define QUORVANE_ENGINE_DISPOSAL_H

// Carries out scanState.userChoice on the file at path and reports it under
// the detection name.
void disposeFile(const char* path, const char* detectionName);

// The rename of a detected file, by executable and text checks alike: the
// character after the last '.' becomes 'V' (b.exe becomes b.Vxe), counted
// and reported.
void renameDetectedFile(const char* path, const char* detectionName);

#endif // QUORVANE_ENGINE_DISPOSAL_H
