// The transaction logs beside a hive file: NAME.LOG1 and NAME.LOG2 (the
// system's since Windows 8.1) and NAME.LOG (older systems), found whatever
// the case of their names.
#ifndef QUORVANE_PLATFORM_VOLUME_HIVE_LOGS_H
#define QUORVANE_PLATFORM_VOLUME_HIVE_LOGS_H

#include <string>
#include <vector>

#include "hive/log_replay.h"

namespace sim {

// Reads the logs of the hive at hiveHostPath that are regular files; a log
// that cannot be read is left out (the replay then does without it).
// Gives the host paths of every log there, read or not, in the order
// LOG1, LOG2, LOG.
std::vector<std::string> readHiveLogs(const std::string& hiveHostPath, std::vector<hive::LogFile>& logs);

// The first `size` bytes of an open file, all of them or false.
bool readFileBytes(int fd, size_t size, hive::Bytes& bytes);

// The folder of a host path ("." for a bare name) and its last name.
std::string hostFolderOf(const std::string& path);
std::string hostNameOf(const std::string& path);

// The log the changes are written through: NAME.LOG1 as it is there, or
// that name beside the hive when it has none.
std::string firstLogPath(const std::string& hiveHostPath, const std::vector<std::string>& logPaths);

} // namespace sim

#endif // QUORVANE_PLATFORM_VOLUME_HIVE_LOGS_H
