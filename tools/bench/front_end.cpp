// What a front end gives the engine, as the micro-benchmark answers it: no
// to every question, notices unread. Nothing it runs may end the program.
#include <cstdio>
#include <cstdlib>

#include "scan_state.h"

int askUser(const char* /*text*/, const char* /*caption*/, unsigned style) {
    return (style & MB_YESNO) == MB_YESNO ? IDNO : IDCANCEL;
}

void tellUser(const char* /*text*/, const char* /*caption*/) {}

void endProgram(UINT exitCode) {
    std::fprintf(stderr, "quorvane-bench-check: the engine asked to end the program (exit code %u)\n", exitCode);
    std::abort();
}
