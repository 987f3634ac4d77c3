// The record kept beside each quarantined file: where it was, what it held,
// its attributes and times, what it was taken for and when.
//
// On disk: UTF-8 text, lines ended by LF. The first line is
// "quorvane-quarantine-record", then one "key=value" per line:
//   format=1                      the record's format version
//   original-path=C:\\DIR\\A.EXE    the Windows path the scan saw
//   host-path=/mnt/c/DIR/A.EXE    the host path (empty on Windows)
//   length=1234                   bytes of the original content
//   sha256=<64 lower-case hex>    of the original content
//   windows-attributes=33         FILE_ATTRIBUTE_* bits (decimal), optional
//   posix-mode=420                st_mode permission bits (decimal), optional
//   modified=<FILETIME>           last write time
//   created=<FILETIME>            optional
//   accessed=<FILETIME>           optional
//   detection=<name>              the detection it was taken for
//   taken=<FILETIME>              when it was taken
//   version=1.0                   the program version that took it
// Every time is a Windows FILETIME in decimal: 100-ns intervals since
// 1601-01-01 UTC; POSIX seconds and nanoseconds are converted to it with
// fileTimeFromPosix. In values, '\' is written "\\", LF "\n", CR "\r" and
// any other control byte "\xHH"; nothing else is changed. Unknown keys are
// ignored (a later format may add some); a repeated key is refused.
#ifndef QUORVANE_CLI_QUARANTINE_RECORD_H
#define QUORVANE_CLI_QUARANTINE_RECORD_H

#include <cstdint>
#include <string>

#include "file_time.h"

struct QuarantineRecord {
    std::string originalPath;
    std::string hostPath;
    uint64_t length = 0;
    std::string sha256; // lower-case hex
    bool hasWindowsAttributes = false;
    uint32_t windowsAttributes = 0;
    bool hasPosixMode = false;
    uint32_t posixMode = 0;
    uint64_t modified = 0; // FILETIME
    bool hasCreated = false;
    uint64_t created = 0;
    bool hasAccessed = false;
    uint64_t accessed = 0;
    std::string detection;
    uint64_t taken = 0;
    std::string version;
};

constexpr uint32_t quarantineRecordFormat = 1;
// No record is longer: one is refused unread past this.
constexpr size_t quarantineRecordMaxLength = 256 * 1024;

std::string formatRecord(const QuarantineRecord& record);
// Fills `record` wholly, absent optional keys included; false (leaving it
// as it was), with a plain reason, for a record that is not one of ours, lacks a
// key, has a number that does not read or a value out of its range.
bool parseRecord(const std::string& text, QuarantineRecord& record, std::string& error);

#endif // QUORVANE_CLI_QUARANTINE_RECORD_H
