// Which code page the ANSI calls use; see machine.h. Kept apart from the rest
// of the machine's state so that the text conversion reaches nothing else.
#include "machine.h"

namespace sim {

namespace {
AnsiCodePage selected = AnsiCodePage::western;
} // namespace

void setAnsiCodePage(AnsiCodePage codePage) { selected = codePage; }

AnsiCodePage ansiCodePage() { return selected; }

} // namespace sim
