// The probe's command line and its commands.
#pragma once

#include <string>
#include <vector>

#include "window_find.h"

namespace probe {

constexpr int exitDone = 0;
constexpr int exitNotFound = 1; // no such window, or a wait timed out
constexpr int exitRefused = 3;  // a person could not have done it
constexpr int exitNoAnswer = 4; // the window did not answer a message in time

struct Invocation {
    WindowQuery query;
    bool timeoutGiven = false;
    unsigned timeoutSeconds = 0;
    std::string command;
    std::vector<std::wstring> arguments; // after the command
};

// False, with the problem, when the command line cannot be used.
bool parseInvocation(const std::vector<std::wstring>& arguments, Invocation& invocation, std::string& problem);

// Runs the command; returns the probe's exit code.
int runCommand(const Invocation& invocation);

// The commands that wait for something about the window; an exit code, or
// -1 when `invocation` names none of them.
int runWaitCommand(const Invocation& invocation);

// A control id argument; false when it is not a number.
bool parseId(const std::wstring& text, int& id);

} // namespace probe
