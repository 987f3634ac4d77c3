// The simulated machine as the fuzz targets use it: a host folder behind
// drive C:, emptied and the machine reset for every input, and a way to say
// which promise an input broke.
#ifndef QUORVANE_TOOLS_FUZZ_FUZZ_MACHINE_H
#define QUORVANE_TOOLS_FUZZ_FUZZ_MACHINE_H

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "machine.h"

namespace fuzz {

// Resets the machine to the release, with an empty host folder as drive C:.
// The folder is made once for the process, below $TMPDIR (else /tmp), and
// removed at its end.
void freshMachine(sim::Release release);

// The host folder behind C:, and a host path in it (relative uses '/').
const std::string& driveFolder();
std::string hostPath(const std::string& relative);

// Files and folders of the drive, written and read on the host side, so
// that the machine's own reading and writing is what is under test.
void makeHostFolder(const std::string& relative);
void writeHostFile(const std::string& relative, const void* data, size_t size);
void writeHostFile(const std::string& relative, const std::string& content);
bool readHostFile(const std::string& relative, std::string& content);
bool hostEntryExists(const std::string& relative);

// Stops the run with the broken promise named: libFuzzer keeps the input.
void require(bool kept, const char* promise);

} // namespace fuzz

#endif // QUORVANE_TOOLS_FUZZ_FUZZ_MACHINE_H
