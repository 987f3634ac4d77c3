// Ending the process that runs a given file, the way the running system
// allows: Toolhelp on the 9x family, PSAPI on NT 5.x, the performance
// counters on every other NT version.
#ifndef QUORVANE_ENGINE_PROCESS_KILL_H
#define QUORVANE_ENGINE_PROCESS_KILL_H

// 1 when the process of the file at path counts as ended, so that disposal
// tries to delete the file again; 0 otherwise (the Toolhelp and counter ways
// then tell the user "Could not kill process"). On a system that is neither
// 9x nor NT nothing is tried and 1 is returned.
int killProcessByPath(const char* path);

// The 9x way: ends the first process of the snapshot that runs the file. A
// snapshot entry with a full path must name the same path; one with a bare
// name, the same file name (letter case folded either way).
int killByToolhelp(const char* path);

// The NT 5.x way: ends every process whose main module is the path (case
// folded). 1 whenever the process list could be had, matched or not.
int killByPsapi(const char* path);

// The way of the other NT versions, in perf_counters.cpp: ends every process
// whose counter instance is named after the file. 1 when one was ended.
int killByPerfCounters(const char* path);

#endif // QUORVANE_ENGINE_PROCESS_KILL_H
