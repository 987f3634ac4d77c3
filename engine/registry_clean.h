// Removing the family's traces from the registry and the hosts file.
#ifndef QUORVANE_ENGINE_REGISTRY_CLEAN_H
#define QUORVANE_ENGINE_REGISTRY_CLEAN_H

#include "win32api.h"

// Each registry step below runs in every view of the registry the system
// has (see registry_views.h), with a result line per value removed.

// After every executable hit (detectionName is the hit's): checks the hosts
// file against the text signatures, deletes the start-up value an earlier
// hit found, and deletes every Run and RunServices value that starts the
// file under test (scanState.currentFile). Always 1.
int cleanRegistryFor(const char* detectionName);

// Deletes each value of subKey that starts scanState.currentFile, with a
// result line for each; notes the last one's name in runValueName.
void cleanRunKey(HKEY root, const char* subKey);

// After every deletion of a detected file: the family's uninstall string
// and its own start-up value go, when they name the family's files. True
// when both steps ran to their end in some view.
bool afterFileRemoved();

// The hosts file of the running system, or false when there is none to
// check (a system of neither family, or no folder to be had).
bool hostsFilePath(char (&path)[MAX_PATH]);

#endif // QUORVANE_ENGINE_REGISTRY_CLEAN_H
