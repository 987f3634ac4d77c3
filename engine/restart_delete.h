// Deletion at the next restart of a file that cannot be deleted now: the NT
// family's delayed-deletion queue, or a line in the 9x restart file.
#ifndef QUORVANE_ENGINE_RESTART_DELETE_H
#define QUORVANE_ENGINE_RESTART_DELETE_H

// Queues the file at path (a full path) for deletion when the system next
// starts. Returns 1 when it is queued; 0 when the system refused, the file
// has no short path (9x), the restart file could not be rewritten, or the
// system is of neither family.
int scheduleDeleteAtRestart(const char* path);

// Adds the line destination "=" source "\r\n" to the [rename] section of the
// restart file in the Windows folder, making the file or the section when
// there is none. True when the file holds the new line; on false the file
// is as it was. A destination that is empty or holds '=', and a source that
// is empty, are refused, as is a line break in either.
bool addRenameEntry(const char* destination, const char* source);

#endif // QUORVANE_ENGINE_RESTART_DELETE_H
