// Text between the ANSI calls and the UTF-16 that Windows keeps, in the
// system code page the machine is set to (see setAnsiCodePage in machine.h).
//
// Windows-1252: byte by byte, and a unit the code page lacks becomes '?'.
// UTF-8: exactly, each way; a surrogate without its other half keeps its
// three bytes and comes back, and a byte that begins no character reads as
// U+FFFD (see utf8_units.h).
#ifndef QUORVANE_PLATFORM_VOLUME_ANSI_UNITS_H
#define QUORVANE_PLATFORM_VOLUME_ANSI_UNITS_H

#include <string>

namespace sim {

std::u16string unitsOfAnsi(const std::string& narrow);

std::string ansiOfUnits(const std::u16string& units);

} // namespace sim

#endif // QUORVANE_PLATFORM_VOLUME_ANSI_UNITS_H
