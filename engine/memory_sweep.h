// The start-up memory sweep: the running processes whose image is the
// trojan are ended and their files disposed of before the drives are walked.
#ifndef QUORVANE_ENGINE_MEMORY_SWEEP_H
#define QUORVANE_ENGINE_MEMORY_SWEEP_H

#include <stdint.h>

// Set when a detected process on the NT family could be neither ended nor
// stopped as a service: only a restart frees its file. Never cleared.
extern int32_t memoryRestartNeeded;

// Sweeps the running processes for the system's family. On the NT family a
// sweep that found the trojan offers a restart where one is needed and ends
// the program (endProgram(0)): it does not return then.
void sweepMemory();

// The two sweeps; true when the image of a running process was detected.
bool sweepProcessesToolhelp();
bool sweepProcessesPsapi();

#endif // QUORVANE_ENGINE_MEMORY_SWEEP_H
