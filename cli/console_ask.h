// How the console front end answers the engine's questions.
#ifndef QUORVANE_CLI_CONSOLE_ASK_H
#define QUORVANE_CLI_CONSOLE_ASK_H

#include "options.h"

void setConsoleAnswers(Answers answers);

#endif // QUORVANE_CLI_CONSOLE_ASK_H
