// Starting the program under test and learning how it ended.
#pragma once

#include <string>
#include <vector>

namespace probe {

// Starts the command line `arguments` (program first) with the probe's own
// standard handles, says "pid N", watches
// until it ends and then says "windows N" (how many visible top-level windows
// of its own were seen) and "exit N". With `timeoutSeconds` above 0 a
// program still running then is ended: "timeout", exit 124 of the probe.
// Returns the probe's exit code: the program's own exit code.
int runProgram(const std::vector<std::wstring>& arguments, unsigned timeoutSeconds);

// The command line for CreateProcess: each argument quoted as the C
// runtime's parsing takes it back.
std::wstring commandLine(const std::vector<std::wstring>& arguments);

} // namespace probe
