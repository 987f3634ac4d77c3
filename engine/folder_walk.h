// The depth-first walk over a folder tree (or one file) that hands every
// regular file to the per-file checks.
#ifndef QUORVANE_ENGINE_FOLDER_WALK_H
#define QUORVANE_ENGINE_FOLDER_WALK_H

// What a folder's pattern ends in: every entry of it.
extern const char* const allEntries; // "\*.*"

// One per-file check. check(name, path) returns nonzero when it has dealt
// with the file, and no later check is asked.
struct FileCheckEntry {
    const char* name;
    int (*check)(const char* name, const char* path);
};

// The checks in the order they are asked, ended by an entry whose name is
// null.
extern const FileCheckEntry fileCheckTable[];

// Walks pattern: a folder followed by "\*.*", or in probe mode one file's
// full path. Files of a folder come before its subfolders. Returns 0 when the
// walk was stopped by a cancel, -1 when a pattern has no '.', otherwise the
// number of files scanned so far.
int walkFolder(const char* pattern);

#endif // QUORVANE_ENGINE_FOLDER_WALK_H
