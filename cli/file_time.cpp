// Windows FILETIME values: from POSIX times, now, and as text.
#include "file_time.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr uint64_t ticksPerSecond = 10000000;       // FILETIME counts 100 ns
constexpr uint64_t nanosecondsPerTick = 100;
constexpr int64_t secondsFrom1601To1970 = 11644473600;
constexpr int64_t secondsPerDay = 86400;
constexpr int64_t daysFrom1601To1970 = secondsFrom1601To1970 / secondsPerDay;

} // namespace

uint64_t fileTimeFromPosix(int64_t seconds, uint32_t nanoseconds) {
    if (seconds < -secondsFrom1601To1970) return 0;
    const uint64_t since1601 = static_cast<uint64_t>(seconds + secondsFrom1601To1970);
    if (since1601 > (UINT64_MAX - ticksPerSecond) / ticksPerSecond) return UINT64_MAX;
    return since1601 * ticksPerSecond + nanoseconds / nanosecondsPerTick;
}

void posixFromFileTime(uint64_t fileTime, int64_t& seconds, uint32_t& nanoseconds) {
    seconds = static_cast<int64_t>(fileTime / ticksPerSecond) - secondsFrom1601To1970;
    nanoseconds = static_cast<uint32_t>(fileTime % ticksPerSecond * nanosecondsPerTick);
}

uint64_t currentFileTime() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch - seconds);
    return fileTimeFromPosix(static_cast<int64_t>(seconds.count()), static_cast<uint32_t>(nanoseconds.count()));
}

namespace {

// Days since 1970-01-01 to a civil date (the proleptic Gregorian calendar).
void civilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    constexpr int64_t daysFrom0000To1970 = 719468; // 0000-03-01 to 1970-01-01
    constexpr int64_t daysPerEra = 146097;         // 400 years
    days += daysFrom0000To1970;
    const int64_t era = (days >= 0 ? days : days - (daysPerEra - 1)) / daysPerEra;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * daysPerEra);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153; // March is 0
    day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

} // namespace

std::string formatFileTime(uint64_t fileTime) {
    const int64_t seconds = static_cast<int64_t>(fileTime / ticksPerSecond);
    int64_t year = 0;
    unsigned month = 0, day = 0;
    civilFromDays(seconds / secondsPerDay - daysFrom1601To1970, year, month, day);
    const int64_t inDay = seconds % secondsPerDay;
    char text[48];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", static_cast<unsigned>(year), month, day,
                  static_cast<unsigned>(inDay / 3600), static_cast<unsigned>(inDay / 60 % 60),
                  static_cast<unsigned>(inDay % 60));
    return text;
}
