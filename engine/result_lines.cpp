// The result-line table and its writers.
#include "result_lines.h"

#include <stdio.h>
#include <string.h>

#include "change_journal.h"
#include "scan_state.h"

const char* const resultLineFormats[resultLineCount] = {
    "%s     %s removed",
    "%s     %s renamed",
    "%s     %s Rename failed",
    "%s     %s Unable to remove",
    "%s     %s Remove failed",
    "%s     %s not disinfected as per user's selection",
    "%s     %s quarantined",
    "%s     %s Unable to quarantine",
    "%s     %s Not Disinfected As Per User's Selection",
    "System Memory    W32/Karvex.Trojan  removed",
    "System Registry     %s removed",
    " ",
    "Scanning statistics",
    "------------------------------",
    "Total files scanned\t\t:  %d",
    "Total files infected\t\t:  %d",
    "Total files removed\t\t:  %d",
};

namespace {

// Room for the decimal digits of any int32_t, its sign and the zero.
constexpr size_t numberTextSize = 12;

// Appends as much of text as fits; the destination stays terminated.
void appendBounded(char* destination, size_t capacity, size_t& used, const char* text) {
    if (text == nullptr) return;
    while (*text != '\0' && used + 1 < capacity) destination[used++] = *text++;
    destination[used] = '\0';
}

} // namespace

void formatResultLine(char* destination, int capacity, ResultLine line, const char* first, const char* second) {
    if (capacity <= 0 || line < 0 || line >= resultLineCount) return;
    const size_t room = static_cast<size_t>(capacity);
    const char* const arguments[] = {first, second};
    size_t argument = 0;
    size_t used = 0;
    destination[0] = '\0';
    for (const char* at = resultLineFormats[line]; *at != '\0'; ++at) {
        const bool placeholder = at[0] == '%' && (at[1] == 's' || at[1] == 'd');
        if (placeholder) {
            if (argument < 2) appendBounded(destination, room, used, arguments[argument++]);
            ++at;
            continue;
        }
        const char single[] = {*at, '\0'};
        appendBounded(destination, room, used, single);
    }
}

void reportLine(ResultLine line, const char* path, const char* name) {
    formatResultLine(scanState.lineText, lineTextSize, line, path, name);
    addResultLine();
    if (changeJournal != nullptr && isFileLine(line)) changeJournal->fileLine(line, path, name);
}

void reportCountLine(ResultLine line, int32_t count) {
    char number[numberTextSize];
    snprintf(number, sizeof number, "%d", static_cast<int>(count));
    formatResultLine(scanState.lineText, lineTextSize, line, number, nullptr);
    addResultLine();
}
