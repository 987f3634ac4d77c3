// A synthetic sample that is also a program the system can run: a PE32+
// (x86-64) image with no imports and one executable section whose entry
// point loops forever, of a record's exact size and carrying both of the
// record's signatures where the matcher reads them. The memory sweep's tests
// start it, so that a real process runs from a file the matcher detects.
// Nothing in it comes from a real program: the section holds int3 filler,
// the record's signatures and the two bytes of the loop.
#ifndef QUORVANE_TOOLS_SAMPLES_RUNNING_SAMPLE_H
#define QUORVANE_TOOLS_SAMPLES_RUNNING_SAMPLE_H

#include "pe_sample.h"

namespace samples {

// What the entry point runs: jmp $ (a short jump back onto itself).
constexpr unsigned char runnableEntryCode[] = {0xEB, 0xFE};
constexpr unsigned runnableEntryCodeLength = sizeof runnableEntryCode;

// The runnable image for `record`. Empty when the record cannot have one: a
// size mode other than exact or near, a size that is no whole number of
// file-alignment units past the headers, signatures that overlap each other
// or the entry code, or more offset span than the section has room for.
Bytes runnableSample(const ExeSignature& record);

// The same for exeSignatureTable[index]; empty as well when any earlier
// record of the table would match the image first.
Bytes runnableSample(int index);

// The first record of the table with a runnable image; -1 when none has.
int runnableRecordIndex();

} // namespace samples

#endif // QUORVANE_TOOLS_SAMPLES_RUNNING_SAMPLE_H
