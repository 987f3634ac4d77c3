// The undo file: every registry value and key the scan removes, written as
// it is removed in the format the system's registry editor imports
// ("Windows Registry Editor Version 5.00": UTF-16LE after its byte-order
// mark, lines ended by CR LF; see undo_lines.h), so that importing the file
// puts them back.
#ifndef QUORVANE_CLI_UNDO_FILE_H
#define QUORVANE_CLI_UNDO_FILE_H

#include <cstdio>
#include <string>
#include <vector>

#include "change_journal.h"
#include "undo_lines.h"

class UndoFile {
  public:
    UndoFile() = default;
    UndoFile(const UndoFile&) = delete;
    UndoFile& operator=(const UndoFile&) = delete;
    ~UndoFile();

    // Creates the file (replacing one there) with the format's first line.
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return file_ != nullptr; }
    // Each addition is on disk before the scan goes on.
    void addValue(HKEY root, const char* keyPath, const RegistryValueCopy& value);
    void addKeys(HKEY root, const std::vector<RegistryKeyCopy>& tree);
    // Whether a write has failed: what it held is not in the file.
    bool hasFailed() const { return failed_; }
    // False when any write failed; closes the file.
    bool close();

  private:
    void write(const std::u16string& text);

    std::FILE* file_ = nullptr;
    std::u16string lastKey_;
    bool failed_ = false;
};

#endif // QUORVANE_CLI_UNDO_FILE_H
