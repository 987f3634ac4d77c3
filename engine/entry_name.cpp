// Names a path cannot carry, and the short names that stand in for them.
#include "entry_name.h"

#include <string.h>

namespace {
const char* const refusedInNames = "\\/:*?\"<>|";
constexpr unsigned char lastControlByte = 0x1F;
} // namespace

bool nameSurvivesPaths(const char* name) {
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return true;
    const size_t length = strlen(name);
    if (length == 0 || name[length - 1] == '.' || name[length - 1] == ' ') return false;
    for (const char* at = name; *at != '\0'; ++at) {
        if (static_cast<unsigned char>(*at) <= lastControlByte || strchr(refusedInNames, *at) != nullptr) return false;
    }
    return true;
}

const char* reachableName(const WIN32_FIND_DATAA& found) {
    const char* shortName = found.cAlternateFileName;
    const bool hasShortName = memchr(shortName, '\0', sizeof found.cAlternateFileName) != nullptr && shortName[0] != '\0';
    if (!hasShortName || nameSurvivesPaths(found.cFileName)) return found.cFileName;
    return shortName;
}
