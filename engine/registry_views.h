// Which views of the registry the clean-up goes through.
//
// A 64-bit Windows keeps HKEY_LOCAL_MACHINE\Software twice: once for its
// 64-bit programs and once, under Software\Wow6432Node, for its 32-bit ones.
// The family's files are 32-bit programs, so their start-up values and
// uninstall entry are found in the 32-bit view, while a user (or another
// tool) may have put such a value in the 64-bit one. Wherever both views
// exist, both are cleaned; a system with one view (9x, NT 4, a 32-bit NT)
// is opened as it always was, without the view flags it does not know.
#ifndef QUORVANE_ENGINE_REGISTRY_VIEWS_H
#define QUORVANE_ENGINE_REGISTRY_VIEWS_H

#include <stddef.h>

#include <string>

#include "win32api.h"

// The flag each view's keys are opened with, added to the access mask: the
// 64-bit view first, then the 32-bit one; the single flag 0 where the system
// has one view.
struct RegistryViews {
    REGSAM flags[2];
    size_t count;
};

// The views of the running system.
RegistryViews registryViews();

// The views a program of that width has: a 64-bit program runs on a 64-bit
// system only; a 32-bit one has a second view only under WOW64.
RegistryViews viewsFor(bool sixtyFourBitProgram, bool underWow64);

// Whether this program runs under WOW64, as IsWow64Process says; false
// where the system has no such call (before XP SP2) or it fails.
bool runsUnderWow64();

// Where the key root\subKey opened in that view really is, as the registry
// editor names it: a key under HKEY_LOCAL_MACHINE\Software opened in the
// 32-bit view is under Software\Wow6432Node. Any other is subKey itself.
std::string keyPathInView(HKEY root, const char* subKey, REGSAM view);

#endif // QUORVANE_ENGINE_REGISTRY_VIEWS_H
