// The few file calls the quarantine store makes, on the C runtime of each
// system: narrow paths, binary files, each write on disk before it counts.
#ifndef QUORVANE_CLI_QUARANTINE_FILES_H
#define QUORVANE_CLI_QUARANTINE_FILES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quarantine_files {

// Creates `path` (never replacing a file there), writes `bytes` and flushes
// them to the disk. On failure nothing is left at `path`.
bool writeNewFile(const std::string& path, const std::string& bytes, std::string& error);
// Writes all `length` bytes to the open file, in pieces the system takes.
bool writeAll(int fd, const void* data, size_t length);
// Reads a regular file of at most `limit` bytes; a longer one is refused
// unread past the limit.
bool readFileAtMost(const std::string& path, size_t limit, std::string& bytes, std::string& error);
// Whether anything has that name (also when that cannot be told for sure).
bool pathExists(const std::string& path);
// The length of a regular file.
bool fileLength(const std::string& path, uint64_t& length, std::string& error);
// Gives `from` the name `to`, which must not exist.
bool renameToNew(const std::string& from, const std::string& to, std::string& error);
// True when the file is gone, also when it was not there.
bool removeFile(const std::string& path, std::string& error);
// The names in the folder, "." and ".." left out, in no particular order.
bool listFolder(const std::string& folder, std::vector<std::string>& names, std::string& error);
// Creates the folder unless it is there.
bool makeFolder(const std::string& folder, std::string& error);
// Makes the names given in the folder durable, where the system needs that.
void syncFolder(const std::string& folder);
std::string joinPath(const std::string& folder, const std::string& name);

} // namespace quarantine_files

#endif // QUORVANE_CLI_QUARANTINE_FILES_H
