// Synthetic hosts files for the text check: uuencoded payloads that carry
// the text signature's pattern, and near misses that do not.
#ifndef QUORVANE_TOOLS_SAMPLES_TEXT_SAMPLE_H
#define QUORVANE_TOOLS_SAMPLES_TEXT_SAMPLE_H

#include <string>

namespace samples {

// The real pattern of the one text signature (unscrambles the table).
std::string textPattern();

// "begin 644 hosts", then lines of 61 characters indented by two spaces,
// then "end": the pattern starts `offset` characters into the body, which
// is padded with filler characters to `bodyLength` characters in all.
std::string uuencodedHosts(size_t offset = 0, size_t bodyLength = 300, const std::string& firstWord = "begin");

// A hosts file as the system ships it: no payload.
std::string plainHosts();

} // namespace samples

#endif // QUORVANE_TOOLS_SAMPLES_TEXT_SAMPLE_H
