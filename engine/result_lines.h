// Every line the engine writes into the result list, in one table, and the
// writers that fill lineText from it and append it.
//
// A format holds "%s" where a text goes and "%d" where a number goes; the
// writers substitute them themselves, so a path or name is never read as a
// format, and a line too long for lineText is cut, never written past it.
#ifndef QUORVANE_ENGINE_RESULT_LINES_H
#define QUORVANE_ENGINE_RESULT_LINES_H

#include <stdint.h>

enum ResultLine {
    lineRemoved,             // path, name: a file was deleted
    lineRenamed,             // path, name: a file was renamed
    lineRenameFailed,        // path, name
    lineUnableToRemove,      // path, name: an executable could not be deleted
    lineRemoveFailed,        // path, name: a text file could not be deleted
    lineLeftAsChosen,        // path, name: an executable left by the user's choice
    lineQuarantined,         // path, name: a file kept in the quarantine, then deleted
    lineQuarantineFailed,    // path, name: a file that could not be kept, left in place
    lineTextLeftAsChosen,    // path, name: a text file left by the user's choice
    lineForcedDisposal,      // before the line of a file the memory sweep found
    lineRegistryRemoved,     // name: a start-up or uninstall value was deleted
    lineStatisticsGap,       // sets the statistics apart from the hits above
    lineStatisticsHeading,
    lineStatisticsRule,
    lineFilesScanned,        // count
    lineFilesInfected,       // count
    lineFilesRemoved,        // count
    resultLineCount
};

extern const char* const resultLineFormats[resultLineCount];

// The line with its "%s" placeholders replaced by first and then second
// (null where the format has fewer), formatted into lineText and appended.
void reportLine(ResultLine line, const char* first = nullptr, const char* second = nullptr);

// The line with its "%d" replaced by count.
void reportCountLine(ResultLine line, int32_t count);

// The text of a line, as reportLine would append it, into destination.
void formatResultLine(char* destination, int capacity, ResultLine line, const char* first, const char* second);

#endif // QUORVANE_ENGINE_RESULT_LINES_H
