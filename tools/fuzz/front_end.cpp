// What a front end gives the engine, as the fuzz targets answer it: no to
// every question, notices unread. Nothing a target runs may end the program.
#include <stdio.h>
#include <stdlib.h>

#include "scan_state.h"

int askUser(const char* /*text*/, const char* /*caption*/, unsigned style) {
    return (style & MB_YESNO) == MB_YESNO ? IDNO : IDCANCEL;
}

void tellUser(const char* /*text*/, const char* /*caption*/) {}

void endProgram(UINT exitCode) {
    fprintf(stderr, "fuzz: the engine asked to end the program (exit code %u)\n", exitCode);
    abort();
}
