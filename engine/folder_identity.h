// Telling one folder from another whatever the path that reaches it, so that
// the walk can refuse to enter a folder it is already inside (a link or a
// junction that points back up the tree).
#ifndef QUORVANE_ENGINE_FOLDER_IDENTITY_H
#define QUORVANE_ENGINE_FOLDER_IDENTITY_H

#include "win32api.h"

struct FolderIdentity {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
};

// Fills identity for the folder named by path (a trailing backslash is
// allowed). Returns false where the system cannot say, as on the 9x family,
// which opens no folder handles but has no folder links either.
bool getFolderIdentity(const char* path, FolderIdentity& identity);

bool sameFolder(const FolderIdentity& a, const FolderIdentity& b);

#endif // QUORVANE_ENGINE_FOLDER_IDENTITY_H
