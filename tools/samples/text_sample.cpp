// Synthetic hosts files.
#include "text_sample.h"

#include "signatures/text_signatures.h"
#include "text_table.h"

namespace samples {

namespace {
constexpr size_t lineLength = 61; // a uuencoded line of 45 bytes: length mark and 60 characters
const char filler = 'M';
} // namespace

std::string textPattern() {
    readyTextTable();
    const TextSignature& record = textSignatures[0];
    return std::string(reinterpret_cast<const char*>(record.pattern), record.patternLength);
}

std::string uuencodedHosts(size_t offset, size_t bodyLength, const std::string& firstWord) {
    std::string body(offset, filler);
    body += textPattern();
    if (body.size() < bodyLength) body.append(bodyLength - body.size(), filler);
    std::string text = firstWord + " 644 hosts\r\n";
    for (size_t at = 0; at < body.size(); at += lineLength) text += "  " + body.substr(at, lineLength) + "\r\n";
    return text + "`\r\nend\r\n";
}

std::string plainHosts() { return "# hosts\r\n127.0.0.1       localhost\r\n"; }

} // namespace samples
