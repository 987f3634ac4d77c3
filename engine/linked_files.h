// Files with more than one name (hard links, which the system's component
// store puts all over its folders) that the scan has found clean.
//
// The rule: a file whose system says it has more than one name, and that
// was read in full and matched nothing, is not read again when the walk
// meets it under another name; that name counts as scanned and clean. Only
// a clean verdict is remembered. A detected file is never skipped, so each
// of its names is detected and dealt with in turn: deleting one name of a
// hard-linked file leaves its content under the others. A file that could
// not be read is not remembered either. The identity is the system's own
// (volume serial and file index of the open file), which two different
// files never share while both exist.
#ifndef QUORVANE_ENGINE_LINKED_FILES_H
#define QUORVANE_ENGINE_LINKED_FILES_H

#include "win32api.h"

struct LinkedFile {
    bool linked = false; // more than one name: worth remembering
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

// What the system says of the open file behind a C runtime descriptor; not
// linked when it has one name, or the system cannot say.
LinkedFile linkedFileOf(int fd);

// Whether the file was found clean under another name during this scan.
bool wasFoundClean(const LinkedFile& file);

// Remembers a linked file found clean; a file of one name is not remembered.
void noteFoundClean(const LinkedFile& file);

// A new scan starts knowing no file.
void forgetFilesFoundClean();

#endif // QUORVANE_ENGINE_LINKED_FILES_H
