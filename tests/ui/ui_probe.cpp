// ui-probe: reads the controls of a running program's window back and uses
// the window as a person would, one command per run, for the end-to-end
// tests of the dialog program under Wine. Every fact is one output line,
// a keyword first (see the usage text).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "probe/commands.h"

namespace {

constexpr int exitUsage = 2;

const char usageText[] =
    "usage: ui-probe [--title TEXT] [--child ID] [--timeout SECONDS] COMMAND [ARGS...]\n"
    "  --title TEXT     the top-level window whose title is exactly TEXT\n"
    "  --child ID       ... that has a direct child control with id ID\n"
    "  --timeout S      how long the wait commands wait (default 30; run: for ever)\n"
    "commands about that window (exit 1 when there is none):\n"
    "  wait             waits until it is there and visible; then as window\n"
    "  gone             waits until there is no such window: \"gone\"\n"
    "  exists           \"windows N\", \"visible N\"; exit 0 when N > 0\n"
    "  window           \"window H\", \"title T\", \"pid N\", \"visible 0|1\", \"enabled 0|1\", \"rect L T R B\",\n"
    "                   \"focus ID|window|none|other\" (its thread's keyboard focus), \"active 0|1\"\n"
    "  controls         as window, then \"control ID class|visible|enabled|rect|text ...\" per child\n"
    "  state            as controls, then the list box's lines as list does\n"
    "  text ID          \"text ID TEXT\"\n"
    "  status           \"status TEXT\": the text of the status field 1065\n"
    "  list [ID]        \"count N\", \"selected N\", \"extent N\", \"line I TEXT\"... (default 1055)\n"
    "  wait-text ID TEXT    waits until control ID's text is TEXT\n"
    "  wait-shown ID        waits until control ID is visible\n"
    "  wait-hidden ID       waits until control ID is hidden\n"
    "  wait-line TEXT [ID]  waits until the list holds a line that is exactly TEXT\n"
    "  press ID         posts the command of button ID: \"pressed ID\"; refused (exit 3)\n"
    "                   with \"refused ID hidden|disabled|window-disabled\"\n"
    "  command ID...    posts each command ID in turn, in one go, whatever the\n"
    "                   controls' state: \"posted ID\" for each\n"
    "  point ID         \"point ID X Y\": the control's centre on the screen\n"
    "  click ID         a real left click at the control's centre, the window brought\n"
    "                   to the front: \"clicked ID X Y\"; refused as press, or\n"
    "                   \"refused ID covered\", or \"not-foreground\"\n"
    "  double-click ID  as click, with two clicks in a row that the system takes for\n"
    "                   one double-click: \"double-clicked ID X Y\"\n"
    "  key NAME         a real key press (escape, enter, space, tab) in the window\n"
    "                   brought to the front: \"typed NAME\"\n"
    "  post-key NAME    posts the key-down message to the window's focus control\n"
    "other commands:\n"
    "  windows          \"toplevel H pid N visible 0|1 class NAME title TEXT\" for every\n"
    "                   top-level window (the options are not used)\n"
    "  run PROGRAM [ARGS...]  starts it: \"pid N\"; when it ends \"windows N\" (visible\n"
    "                   windows it showed) and \"exit N\"; exits with its exit code\n"
    "Texts are UTF-8; tabs are kept, other control characters shown as <XX>.\n"
    "Exit status: 0 done, 1 no window or the wait timed out, 2 usage,\n"
    "3 refused, 4 the window did not answer.\n";

int usage(const char* problem) {
    std::fprintf(stderr, "ui-probe: %s\n%s", problem, usageText);
    return exitUsage;
}

std::vector<std::wstring> wideArguments() {
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    if (list == nullptr)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.emplace_back(list[i]);
    LocalFree(list);
    return arguments;
}

} // namespace

int main() {
    // Plain line feeds: the shell tests read the lines.
    _setmode(_fileno(stdout), _O_BINARY);
    probe::Invocation invocation;
    std::string problem;
    if (!probe::parseInvocation(wideArguments(), invocation, problem))
        return usage(problem.c_str());
    return probe::runCommand(invocation);
}
