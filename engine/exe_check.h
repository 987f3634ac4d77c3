// The per-file check against the executable signature table.
#ifndef QUORVANE_ENGINE_EXE_CHECK_H
#define QUORVANE_ENGINE_EXE_CHECK_H

// Name of the check in the walk's table, and of the detection a forced
// disposal reports (the trailing space is part of it).
extern const char* const exeCheckName;

// Tests the file at path against every record. A hit is counted and, outside
// probe mode, disposed of; in probe mode it is only noted. While the memory
// sweep re-walks an infected image (forcedChoice set), the file is disposed
// of at once without being matched. Returns 1 on a hit, 0 otherwise.
int checkExecutable(const char* checkerName, const char* path);

#endif // QUORVANE_ENGINE_EXE_CHECK_H
