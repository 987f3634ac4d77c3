// The 9x restart file, wininit.ini: a copy of its content with one more
// line in its [rename] section. The system carries out each line of that
// section while it starts; "NUL=<path>" deletes the file at <path>.
#ifndef QUORVANE_ENGINE_RESTART_FILE_H
#define QUORVANE_ENGINE_RESTART_FILE_H

// One line of the [rename] section: destination "=" source "\r\n".
struct RenameEntry {
    const char* destination;
    const char* source;
};

// Reads the restart file's content from the descriptor `input` (-1: there
// is no file yet) to its end and writes it to `output` with the entry added
// as the last line of the first [rename] section: before the first section
// header that follows that section's header, or at the end. Without a
// [rename] section a "[rename]\r\n" header is appended first, on a line of
// its own. Every other byte is copied as it was, line ends included.
// Returns false when a read fails or a write comes up short; what was
// written to output is then not the whole content.
bool copyWithRenameEntry(int input, int output, const RenameEntry& entry);

#endif // QUORVANE_ENGINE_RESTART_FILE_H
