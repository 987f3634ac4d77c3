// The name by which the walk reaches a listed entry.
#ifndef QUORVANE_ENGINE_ENTRY_NAME_H
#define QUORVANE_ENGINE_ENTRY_NAME_H

#include "win32api.h"

// Whether a path built with this name reaches the entry itself: the system
// drops a trailing dot or space from a name, and refuses the characters
// \ / : * ? " < > | and control characters (a '?' also stands in for a
// character the code page cannot show).
bool nameSurvivesPaths(const char* name);

// The entry's own name where paths can carry it, else its short name when
// the volume keeps one (such names get one on NTFS and FAT), else the own
// name anyway. The result points into found.
const char* reachableName(const WIN32_FIND_DATAA& found);

#endif // QUORVANE_ENGINE_ENTRY_NAME_H
