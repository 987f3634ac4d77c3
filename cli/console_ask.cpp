// The console's answer to the engine's questions: given by --yes or --no,
// asked on the terminal, or "no" when nobody is there to ask.
#include <cstdio>
#include <cstring>

#include "console_ask.h"
#include "console_report.h"
#include "escape.h"
#include "scan_state.h"
#include "scan_target.h"
#include "terminal.h"

namespace {

// Low bits of a question's style that name its buttons.
constexpr unsigned buttonsMask = 0x0F;

Answers configuredAnswers = Answers::askOnTerminal;

bool askTerminal(const char* text, bool yesNo) {
    std::fprintf(stderr, "\n%s %s ", text, yesNo ? "[y/N]" : "[o/C]");
    std::fflush(stderr);
    char reply[16] = {};
    if (std::fgets(reply, sizeof reply, stdin) == nullptr) {
        std::fputc('\n', stderr); // no answer came: what follows starts a line of its own
        return false;
    }
    const char wanted = yesNo ? 'y' : 'o';
    return reply[0] == wanted || reply[0] == wanted - 'a' + 'A';
}

} // namespace

void setConsoleAnswers(Answers answers) { configuredAnswers = answers; }

// Offline the questions are about a system that is not running (restart
// it now?): none is asked, and each is answered No.
int askUser(const char* text, const char* /*caption*/, unsigned style) {
    const bool yesNo = (style & buttonsMask) == MB_YESNO;
    bool agreed = configuredAnswers == Answers::yes && targetIsRunningSystem();
    if (configuredAnswers == Answers::askOnTerminal && targetIsRunningSystem()) {
        agreed = isTerminal(stdin) && askTerminal(text, yesNo);
    }
    if (yesNo) return agreed ? IDYES : IDNO;
    return agreed ? IDOK : IDCANCEL;
}

// An unattended run must not wait for an OK: the notice goes to standard
// error, its caption first (for "Could not kill process" the file's path).
// Every notice is about the running system's processes and the program's
// rights in it; offline nothing runs, and there is nothing to tell.
void tellUser(const char* text, const char* caption) {
    if (!targetIsRunningSystem()) return;
    clearProgress();
    std::fprintf(stderr, "quorvane-scan: %s: %s\n", escapeControlBytes(caption).c_str(),
                 escapeControlBytes(text).c_str());
}
