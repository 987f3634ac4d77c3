// Text for the console: every line the program prints is one line, whatever
// the file names in it hold.
#ifndef QUORVANE_CLI_ESCAPE_H
#define QUORVANE_CLI_ESCAPE_H

#include <string>

// The text with each control byte (0x01 to 0x1F and 0x7F) written as '<',
// two upper-case hexadecimal digits and '>': a line feed in a name reads
// "<0A>". keepTabs leaves tab characters as they are (the statistics lines
// are laid out with them).
std::string escapeControlBytes(const char* text, bool keepTabs = false);

#endif // QUORVANE_CLI_ESCAPE_H
