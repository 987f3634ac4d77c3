// The commands that look at the window once or act on it once. Each one
// finds the window afresh: the program may have replaced it since.
#include "commands.h"

#include <cstdio>
#include <vector>

#include "input.h"
#include "launch.h"
#include "report.h"
#include "text.h"

namespace probe {

namespace {

constexpr int statusFieldId = 1065; // the main window's status field
constexpr int resultListId = 1055;  // the main window's result list
constexpr const wchar_t* listBoxClass = L"ListBox";

struct Target {
    HWND window = nullptr;
    HWND control = nullptr;
    int id = 0;
};

int noWindow() {
    std::printf("no-window\n");
    return exitNotFound;
}

int noAnswer() {
    std::printf("no-answer\n");
    return exitNoAnswer;
}

// The window and, when the command names one, its control `idText`.
int findTarget(const Invocation& invocation, const std::wstring* idText, Target& target) {
    target.window = findWindow(invocation.query);
    if (target.window == nullptr)
        return noWindow();
    if (idText == nullptr)
        return exitDone;
    if (!parseId(*idText, target.id)) {
        std::printf("bad-id %s\n", printable(*idText).c_str());
        return exitNotFound;
    }
    target.control = findControl(target.window, target.id);
    if (target.control == nullptr) {
        std::printf("no-control %d\n", target.id);
        return exitNotFound;
    }
    return exitDone;
}

int refused(int id, const char* why) {
    std::printf("refused %d %s\n", id, why);
    return exitRefused;
}

int existsCommand(const Invocation& invocation) {
    int all = 0;
    int visible = 0;
    countWindows(invocation.query, all, visible);
    std::printf("windows %d\nvisible %d\n", all, visible);
    return all > 0 ? exitDone : exitNotFound;
}

int stateCommand(const Invocation& invocation, bool withControls, bool withList) {
    Target target;
    if (const int status = findTarget(invocation, nullptr, target))
        return status;
    printWindow(target.window);
    if (withControls && !printControls(target.window))
        return noAnswer();
    if (!withList)
        return exitDone;
    for (HWND child : childControls(target.window)) {
        if (className(child) == listBoxClass && !printList(child))
            return noAnswer();
    }
    return exitDone;
}

int textCommand(const Invocation& invocation) {
    Target target;
    if (const int status = findTarget(invocation, &invocation.arguments[0], target))
        return status;
    return printText(target.control, target.id) ? exitDone : noAnswer();
}

int statusCommand(const Invocation& invocation) {
    const std::wstring idText = std::to_wstring(statusFieldId);
    Target target;
    if (const int status = findTarget(invocation, &idText, target))
        return status;
    std::wstring text;
    if (!readText(target.control, text))
        return noAnswer();
    std::printf("status %s\n", printable(text).c_str());
    return exitDone;
}

int listCommand(const Invocation& invocation) {
    const std::wstring fixed = std::to_wstring(resultListId);
    const std::wstring& idText = invocation.arguments.empty() ? fixed : invocation.arguments[0];
    Target target;
    if (const int status = findTarget(invocation, &idText, target))
        return status;
    return printList(target.control) ? exitDone : noAnswer();
}

} // namespace

namespace {

// command: each named control's command posted, in order, in one go, so
// that the window takes them one after the other with nothing between.
// Every control is found before the first command is posted.
int postCommands(const Invocation& invocation) {
    std::vector<Target> targets(invocation.arguments.size());
    for (size_t i = 0; i < targets.size(); ++i) {
        if (const int status = findTarget(invocation, &invocation.arguments[i], targets[i]))
            return status;
    }
    for (const Target& target : targets) {
        if (!postCommand(target.window, target.id, target.control))
            return noWindow();
        std::printf("posted %d\n", target.id);
    }
    return exitDone;
}

// press, point, click and double-click: the control named by the one argument.
int buttonCommand(const Invocation& invocation) {
    Target target;
    if (const int status = findTarget(invocation, &invocation.arguments[0], target))
        return status;
    const std::string& command = invocation.command;
    const POINT centre = centreOf(target.control);
    if (command == "point") {
        std::printf("point %d %ld %ld\n", target.id, centre.x, centre.y);
        return exitDone;
    }
    if (const char* why = unusable(target.window, target.control))
        return refused(target.id, why);
    if (command == "press") {
        if (!postCommand(target.window, target.id, target.control))
            return noWindow();
        std::printf("pressed %d\n", target.id);
        return exitDone;
    }
    // A window that has only just appeared may not be active yet; a click
    // that activates it moves the focus and so cancels the button's press.
    if (!bringToFront(target.window)) {
        std::printf("not-foreground\n");
        return exitRefused;
    }
    if (const char* why = unreachable(target.control, centre))
        return refused(target.id, why);
    const bool twice = command == "double-click";
    if (!clickAt(centre, twice ? 2 : 1))
        return refused(target.id, "no-input");
    std::printf("%s %d %ld %ld\n", twice ? "double-clicked" : "clicked", target.id, centre.x, centre.y);
    return exitDone;
}

int keyCommand(const Invocation& invocation) {
    const std::string name = printable(invocation.arguments[0]);
    const WORD key = keyNamed(name.c_str());
    if (key == 0) {
        std::printf("bad-key %s\n", name.c_str());
        return exitNotFound;
    }
    Target target;
    if (const int status = findTarget(invocation, nullptr, target))
        return status;
    if (invocation.command == "post-key") {
        if (!postKey(target.window, key))
            return noWindow();
        std::printf("posted-key %s\n", name.c_str());
        return exitDone;
    }
    if (!bringToFront(target.window)) {
        std::printf("not-foreground\n");
        return exitRefused;
    }
    if (!typeKey(key)) {
        std::printf("no-input\n");
        return exitRefused;
    }
    std::printf("typed %s\n", name.c_str());
    return exitDone;
}

} // namespace

int runCommand(const Invocation& invocation) {
    const std::string& command = invocation.command;
    if (command == "run")
        return runProgram(invocation.arguments, invocation.timeoutGiven ? invocation.timeoutSeconds : 0);
    if (command == "windows") {
        printTopLevelWindows();
        return exitDone;
    }
    const int waited = runWaitCommand(invocation);
    if (waited >= 0)
        return waited;
    if (command == "exists")
        return existsCommand(invocation);
    if (command == "window" || command == "controls" || command == "state")
        return stateCommand(invocation, command != "window", command == "state");
    if (command == "text")
        return textCommand(invocation);
    if (command == "status")
        return statusCommand(invocation);
    if (command == "list")
        return listCommand(invocation);
    if (command == "key" || command == "post-key")
        return keyCommand(invocation);
    if (command == "command")
        return postCommands(invocation);
    return buttonCommand(invocation);
}

} // namespace probe
