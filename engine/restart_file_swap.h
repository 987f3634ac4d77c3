// Putting a rewritten restart file in place on a system without
// MoveFileExA: the new content is written beside the old file and swapped
// in with plain moves, so that the system never finds half a file.
#ifndef QUORVANE_ENGINE_RESTART_FILE_SWAP_H
#define QUORVANE_ENGINE_RESTART_FILE_SWAP_H

#include "win32api.h"

// The restart file and the two files of its replacement, all in the Windows
// folder: "wininit.ini", the new content "qvwinini.new", and the old file
// while it is moved aside, "qvwinini.old".
struct RestartFilePaths {
    char current[MAX_PATH];
    char fresh[MAX_PATH];
    char aside[MAX_PATH];
};

// False when the Windows folder cannot be had or the paths do not fit.
bool findRestartFilePaths(RestartFilePaths& paths);

// Mends what an earlier replacement left when it was cut short: the old
// file still aside and no restart file goes back in place; an aside file
// beside a restart file is the leftover of a finished replacement and goes.
void recoverInterruptedSwap(const RestartFilePaths& paths);

// Replaces current by fresh (or makes fresh the restart file when
// hadCurrent is false). On failure fresh is deleted and current is as it
// was before the call.
bool putFreshFileInPlace(const RestartFilePaths& paths, bool hadCurrent);

#endif // QUORVANE_ENGINE_RESTART_FILE_SWAP_H
