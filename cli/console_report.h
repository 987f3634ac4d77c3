// The console's stand-in for the main window: a message-only window that
// takes the engine's reports, prints result lines on standard output and a
// progress line and what could not be scanned on standard error, and turns
// Ctrl-C into a cancel.
#ifndef QUORVANE_CLI_CONSOLE_REPORT_H
#define QUORVANE_CLI_CONSOLE_REPORT_H

#include "win32api.h"

// Creates the report window. showProgress: draw the progress line.
HWND createReportWindow(bool showProgress);

// Removes the progress line, if one is drawn.
void clearProgress();

// From now on Ctrl-C (and SIGTERM and SIGHUP) asks the running scan to stop;
// a second one ends the program at once.
void catchInterrupt();

// Whether a result line could not be written to standard output.
bool outputHasFailed();

#endif // QUORVANE_CLI_CONSOLE_REPORT_H
