// Times as the quarantine records them: Windows FILETIME values, 100-ns
// intervals since 1601-01-01 UTC, in 64 bits.
#ifndef QUORVANE_CLI_FILE_TIME_H
#define QUORVANE_CLI_FILE_TIME_H

#include <cstdint>
#include <string>

// POSIX seconds since 1970 and nanoseconds as a FILETIME (0 before 1601).
uint64_t fileTimeFromPosix(int64_t seconds, uint32_t nanoseconds);
// The FILETIME as POSIX seconds and nanoseconds (whole 100-ns steps).
void posixFromFileTime(uint64_t fileTime, int64_t& seconds, uint32_t& nanoseconds);
// The current time as a FILETIME.
uint64_t currentFileTime();
// "YYYY-MM-DD hh:mm:ss" UTC, for listings.
std::string formatFileTime(uint64_t fileTime);

#endif // QUORVANE_CLI_FILE_TIME_H
