// The undo file: every registry value and key the scan removes, written as
// it is removed in the format the system's registry editor imports
// ("Windows Registry Editor Version 5.00"), so that importing the file puts
// them back.
#ifndef QUORVANE_CLI_UNDO_FILE_H
#define QUORVANE_CLI_UNDO_FILE_H

#include <cstdio>
#include <string>
#include <vector>

#include "change_journal.h"

// "HKEY_LOCAL_MACHINE\SOFTWARE\...", in UTF-8: the key's full name, with
// the hive's name in capitals as the registry editor writes it.
std::string registryKeyName(HKEY root, const std::string& path);

// "[HKEY_LOCAL_MACHINE\SOFTWARE\...]": the key's line.
std::string undoKeyLine(HKEY root, const std::string& path);

// One "name"=data line: plain text for a string of printable ASCII,
// dword: for a number, hex(N): for the rest (strings as UTF-16, as the
// registry keeps them).
std::string undoValueLine(const RegistryValueCopy& value);

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
    // False when any write failed; closes the file.
    bool close();

  private:
    void write(const std::string& text);

    std::FILE* file_ = nullptr;
    std::string lastKey_;
    bool failed_ = false;
};

#endif // QUORVANE_CLI_UNDO_FILE_H
