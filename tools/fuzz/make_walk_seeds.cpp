// Writes the walk target's first inputs into a folder: names as disks hold
// them (long and 8.3, with spaces and dots), names that paths cannot carry
// (a trailing dot or space, reserved characters, control bytes, a
// backslash), names long enough that their paths do not fit, and status
// widths around the ones that matter.
//
// usage: make_walk_seeds FOLDER
#include <string>

#include "seed_files.h"
#include "walk_input.h"

namespace {

constexpr int16_t statusWidth = 60;
constexpr size_t longName = 250;

bool writeAll(const std::string& folder) {
    const struct {
        const char* name;
        fuzz::WalkInput input;
    } seeds[] = {
        {"ordinary", {statusWidth, {"readme.txt", "Program Files", "setup.exe", "My Documents", "a.b.c"}}},
        {"cannot-carry", {statusWidth, {"trailing.", "folder.", "space ", "dir ", "what?", "a\\b", "tab\tname"}}},
        {"reserved", {3, {"con", "a:b", "<x>", "pipe|", "star*", "\"q\"", "\x7f\x80\xff"}}},
        {"long", {statusWidth, {std::string(longName, 'f'), std::string(longName, 'd'), "x" + std::string(200, ' ') + ".exe"}}},
        {"same-letters", {1, {"Case", "CASE", "case", "case.", "CASE "}}},
        {"widths", {-1, {"abc", "abcdefghijklmnopqrstuvwxyz"}}},
        {"width-small", {4, {"abcdef", "abcd", "a"}}},
        {"width-large", {300, {std::string(longName, 'm')}}},
    };
    bool written = true;
    for (const auto& seed : seeds) written = fuzz::writeSeed(folder, seed.name, fuzz::writeWalkInput(seed.input)) && written;
    return written;
}

} // namespace

int main(int argc, char** argv) { return fuzz::seedMain(argc, argv, "make_walk_seeds", writeAll); }
