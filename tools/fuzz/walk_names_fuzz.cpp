// libFuzzer target of the walk's names and paths. Each name of the input is
// judged by nameSurvivesPaths and reachableName, and shortened for the
// status field, against the rules their headers state. Then the names
// become the entries of a folder on drive C: (a file, or a folder holding
// one file, in turn), and the walk over it must account for every file
// once: reached by a path that opens that very file, or noted as not
// scanned (with the folder that holds it), or passed over by the machine.
#include <stdint.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "entry_name.h"
#include "folder_walk.h"
#include "fuzz_machine.h"
#include "scan_state.h"
#include "short_path.h"
#include "walk_input.h"

namespace {

const char* const walkedFolder = "w";
const char* const walkPattern = "C:\\w\\*.*";
const char* const folderPrefix = "C:\\w\\";
const char* const innerFile = "inner";
const char* const contentMark = "entry ";
constexpr size_t largestHostName = 255; // NAME_MAX
constexpr size_t mostEntries = 48;
constexpr int statusWidth = 60; // as the walk shows a path
constexpr size_t readLimit = 64;
constexpr unsigned char lastControlByte = 0x1F;
const char* const refusedInNames = "\\/:*?\"<>|";

// What the walk's checks saw.
std::set<size_t> reached;
size_t visits = 0;
size_t unopenable = 0;
bool reachedTwice = false;
size_t passedOver = 0;

void countPassedOver(const char* /*windowsPath*/, const char* /*reason*/) { ++passedOver; }

std::string contentOf(size_t index) { return contentMark + std::to_string(index); }

// The walk's one check: which of the entries the path opens.
int recordVisit(const char* /*name*/, const char* path) {
    ++visits;
    const int fd = _open(path, _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ++unopenable; // the real check notes it as not scanned
        return 1;
    }
    char bytes[readLimit] = {};
    const int got = _read(fd, bytes, sizeof bytes - 1);
    _close(fd);
    const std::string content(bytes, got > 0 ? static_cast<size_t>(got) : 0);
    fuzz::require(content.compare(0, strlen(contentMark), contentMark) == 0, "a path reaches a file of the walk's");
    const size_t index = std::stoul(content.substr(strlen(contentMark)));
    reachedTwice = reachedTwice || !reached.insert(index).second;
    return 1;
}

bool expectedSurvives(const std::string& name) {
    if (name == "." || name == "..") return true;
    if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) <= lastControlByte || strchr(refusedInNames, c) != nullptr) return false;
    }
    return true;
}

void checkReachableName(const std::string& name) {
    WIN32_FIND_DATAA found = {};
    memcpy(found.cFileName, name.data(), name.size() < MAX_PATH - 1 ? name.size() : MAX_PATH - 1);
    const std::string own = found.cFileName;
    fuzz::require(nameSurvivesPaths(own.c_str()) == expectedSurvives(own), "a name survives paths by the rules");
    // The short name from the system may fill its field with no zero.
    std::string alternate(own.rbegin(), own.rend());
    memcpy(found.cAlternateFileName, alternate.data(),
           alternate.size() < sizeof found.cAlternateFileName ? alternate.size() : sizeof found.cAlternateFileName);
    const bool hasShortName = alternate.size() > 0 && alternate.size() < sizeof found.cAlternateFileName;
    const char* chosen = reachableName(found);
    const bool byOwnName = !hasShortName || expectedSurvives(own);
    fuzz::require(chosen == (byOwnName ? found.cFileName : found.cAlternateFileName),
                  "an entry is reached by its own name where paths carry it, else by its short name");
}

void checkShortened(const std::string& text, int width) {
    const size_t room = width >= 0 ? static_cast<size_t>(width) + 1 : 1;
    std::vector<char> shown(room, 'x'); // exactly the room promised, so that a write past it is caught
    shortenPath(text.c_str(), shown.data(), width);
    if (width < 0) {
        fuzz::require(shown[0] == 'x', "no width leaves the destination alone");
        return;
    }
    const size_t limit = static_cast<size_t>(width);
    const std::string result(shown.data(), strnlen(shown.data(), room));
    fuzz::require(result.size() < room, "a shortened path is terminated within its width");
    const int keep = width / 2 - 1;
    std::string expected;
    if (text.size() <= limit || keep <= 0) {
        expected = text.substr(0, limit);
    } else {
        const size_t ends = static_cast<size_t>(keep);
        expected = text.substr(0, ends) + std::string(limit - 2 * ends, '.') + text.substr(text.size() - ends);
    }
    fuzz::require(result == expected, "a path is shortened by replacing its middle with dots");
}

// Makes the entries; returns how many files they hold.
size_t makeEntries(const std::vector<std::string>& names) {
    fuzz::makeHostFolder(walkedFolder);
    size_t files = 0;
    for (size_t i = 0; i < names.size() && i < mostEntries; ++i) {
        const std::string name = names[i].substr(0, largestHostName);
        if (name.empty() || name == "." || name == "..") continue;
        const std::string relative = std::string(walkedFolder) + "/" + name;
        if (fuzz::hostEntryExists(relative)) continue;
        if (i % 2 == 0) {
            fuzz::writeHostFile(relative, contentOf(files));
        } else {
            fuzz::makeHostFolder(relative);
            fuzz::writeHostFile(relative + "/" + innerFile, contentOf(files));
        }
        ++files;
    }
    return files;
}

void walkEntries(const std::vector<std::string>& names) {
    fuzz::freshMachine(sim::Release::windowsXp);
    sim::setPassedOverHandler(countPassedOver);
    reached.clear();
    visits = unopenable = passedOver = 0;
    reachedTwice = false;
    const size_t files = makeEntries(names);
    scanState.probeOnly = false;
    const int result = walkFolder(walkPattern);
    fuzz::require(result == scanState.filesScanned, "a walk that went through says how many files it scanned");
    fuzz::require(static_cast<size_t>(scanState.filesScanned) == visits, "every file scanned is checked");
    fuzz::require(!reachedTwice, "no file is reached twice");
    const size_t accounted = reached.size() + unopenable + static_cast<size_t>(scanState.itemsNotScanned) + passedOver;
    fuzz::require(accounted == files, "every file is scanned, noted as not scanned, or passed over, once");
}

} // namespace

// The walk's checks, in place of the executable check: what each path reaches.
const FileCheckEntry fileCheckTable[] = {
    {"visit", recordVisit},
    {nullptr, nullptr},
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::WalkInput input = fuzz::readWalkInput(data, size);
    for (const std::string& name : input.names) {
        checkReachableName(name);
        checkShortened(name, input.width);
        checkShortened(folderPrefix + name, statusWidth);
    }
    walkEntries(input.names);
    return 0;
}
