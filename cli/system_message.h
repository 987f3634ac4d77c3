// The system's own words for a Windows error code, on one line.
#ifndef QUORVANE_CLI_SYSTEM_MESSAGE_H
#define QUORVANE_CLI_SYSTEM_MESSAGE_H

#include <string>

#include "win32api.h"

// "error N" when the system has no text for the code.
std::string systemMessage(DWORD error);

#endif // QUORVANE_CLI_SYSTEM_MESSAGE_H
