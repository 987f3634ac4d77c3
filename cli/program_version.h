// The program's version: what --version prints and what each quarantine
// record notes as the version that took the file.
#ifndef QUORVANE_CLI_PROGRAM_VERSION_H
#define QUORVANE_CLI_PROGRAM_VERSION_H

#define QUORVANE_PROGRAM_VERSION "1.0"

#endif // QUORVANE_CLI_PROGRAM_VERSION_H
