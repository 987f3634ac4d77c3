// Writes the text check's first inputs into a folder: uuencoded hosts files
// that carry the payload at the start, in the middle, across the end of the
// first window and past it; the same with other line ends, capitals and
// tabs; a near miss with one pattern byte changed; a plain hosts file.
//
// usage: make_text_seeds FOLDER
#include <string>

#include "seed_files.h"
#include "text_check.h"
#include "text_sample.h"

namespace {

constexpr size_t shortBody = 300;
constexpr size_t middleOffset = 1000;
constexpr size_t edgeOffset = textWindowSize - 120; // the pattern straddles the window's end
constexpr size_t pastOffset = textWindowSize + 200;  // wholly outside the first window
constexpr size_t longBody = 3 * textWindowSize;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

bool writeAll(const std::string& folder) {
    const std::string payload = samples::uuencodedHosts();
    std::string changed = payload;
    changed[changed.find(samples::textPattern()) + 10] ^= 1;
    bool written = fuzz::writeSeed(folder, "payload-at-start", payload);
    written = fuzz::writeSeed(folder, "payload-middle", samples::uuencodedHosts(middleOffset, 2 * middleOffset)) && written;
    written = fuzz::writeSeed(folder, "payload-at-window-edge", samples::uuencodedHosts(edgeOffset, longBody)) && written;
    written = fuzz::writeSeed(folder, "payload-past-window", samples::uuencodedHosts(pastOffset, longBody)) && written;
    written = fuzz::writeSeed(folder, "payload-capitals", samples::uuencodedHosts(0, shortBody, "BeGiN")) && written;
    written = fuzz::writeSeed(folder, "payload-lf", replaced(payload, "\r\n", "\n")) && written;
    written = fuzz::writeSeed(folder, "payload-tabs", replaced(payload, "  ", "\t \v\f")) && written;
    written = fuzz::writeSeed(folder, "payload-not-begin", samples::uuencodedHosts(0, shortBody, "begun")) && written;
    written = fuzz::writeSeed(folder, "payload-byte-changed", changed) && written;
    written = fuzz::writeSeed(folder, "plain-hosts", samples::plainHosts()) && written;
    return written;
}

} // namespace

int main(int argc, char** argv) { return fuzz::seedMain(argc, argv, "make_text_seeds", writeAll); }
