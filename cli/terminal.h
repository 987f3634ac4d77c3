// Whether a standard stream is a terminal, on either system.
#ifndef QUORVANE_CLI_TERMINAL_H
#define QUORVANE_CLI_TERMINAL_H

#include <cstdio>

bool isTerminal(std::FILE* stream);

#endif // QUORVANE_CLI_TERMINAL_H
