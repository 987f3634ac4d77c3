// The libraries of the simulated machine that LoadLibraryA loads,
// GetModuleHandleA finds mapped and GetProcAddress looks into, with the
// functions each release has.
#include <cstring>

#include "fake_state.h"

namespace sim {

namespace {

// When a library or function is there, power-on.
enum class Present {
    always,
    ntFamily,    // psapi.dll: NT 4 has it from the resource kit
    toolhelp,    // the 9x family, and NT 5 and later
    windows7Up,  // the K32 exports of kernel32.dll, NT 6.1 and later
    wow64Query,  // IsWow64Process: XP SP2, Server 2003 SP1 and later
};

struct Function {
    const char* name;
    FARPROC address;
    Present present;
};

// By way of the one function type that stands for any, as a loader's
// table of exports holds every function as the same type.
using AnyFunction = void (*)();
template <typename Pointer>
FARPROC exported(Pointer function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<AnyFunction>(function));
}

struct Library {
    const char* name; // upper case, with its extension
    uintptr_t base;   // the module handle: where XP maps the library
    Present present;
    bool mappedAtStart; // in every process from its start, loaded or not
    std::vector<Function> functions;
};

// Made on first use, since the machine may be made before this file's
// statics are.
const std::vector<Library>& libraries() {
    static const std::vector<Library> table = {
        {"KERNEL32.DLL", 0x7C800000, Present::always, true,
         {{"CloseHandle", exported(&CloseHandle), Present::always},
          {"GetLastError", exported(&GetLastError), Present::always},
          {"GetProcAddress", exported(&GetProcAddress), Present::always},
          {"IsWow64Process", exported(&isWow64Process), Present::wow64Query},
          {"LoadLibraryA", exported(&LoadLibraryA), Present::always},
          {"OpenProcess", exported(&OpenProcess), Present::always},
          {"TerminateProcess", exported(&TerminateProcess), Present::always},
          {"CreateToolhelp32Snapshot", exported(&createToolhelp32Snapshot), Present::toolhelp},
          {"Process32First", exported(&process32First), Present::toolhelp},
          {"Process32Next", exported(&process32Next), Present::toolhelp},
          {"K32EnumProcesses", exported(&enumProcesses), Present::windows7Up},
          {"K32GetModuleFileNameExA", exported(&getModuleFileNameExA), Present::windows7Up}}},
        {"PSAPI.DLL", 0x76BF0000, Present::ntFamily, false,
         {{"EnumProcesses", exported(&enumProcesses), Present::always},
          {"GetModuleFileNameExA", exported(&getModuleFileNameExA), Present::always}}},
    };
    return table;
}

// The service packs that brought IsWow64Process to XP (5.1) and Server 2003 (5.2).
constexpr WORD xpWow64Pack = 2;
constexpr WORD server2003Wow64Pack = 1;

bool hasWow64Query(const VersionInfo& version) {
    if (version.platformId != VER_PLATFORM_WIN32_NT || version.major < 5) return false;
    if (version.major > 5 || version.minor > 2) return true;
    if (version.minor == 2) return version.servicePackMajor >= server2003Wow64Pack;
    return version.minor == 1 && version.servicePackMajor >= xpWow64Pack;
}

bool presentOnRelease(Present present) {
    const VersionInfo& version = machine().version;
    const bool nt = version.platformId == VER_PLATFORM_WIN32_NT;
    switch (present) {
    case Present::always:
        return true;
    case Present::ntFamily:
        return nt;
    case Present::toolhelp:
        return isNineX() || (nt && version.major >= 5);
    case Present::windows7Up:
        return nt && (version.major > 6 || (version.major == 6 && version.minor >= 1));
    case Present::wow64Query:
        return hasWow64Query(version);
    }
    return false;
}

bool presentWithOverride(const std::map<std::string, bool>& overrides, const std::string& key, Present present) {
    const auto found = overrides.find(key);
    return found != overrides.end() ? found->second : presentOnRelease(present);
}

// The name as the loader looks it up: upper case, ".DLL" added when the
// file name has no extension, and the system folder taken off.
std::string loaderName(const std::string& name) {
    std::string upper = upperCase(name);
    const size_t separator = upper.find_last_of("\\/");
    if (separator != std::string::npos) {
        if (upper.substr(0, separator) != upperCase(systemFolder())) return std::string();
        upper.erase(0, separator + 1);
    }
    if (upper.find('.') == std::string::npos) upper += ".DLL";
    return upper;
}

const Library* libraryNamed(const std::string& name) {
    const std::string wanted = loaderName(name);
    for (const Library& library : libraries()) {
        if (wanted == library.name) return &library;
    }
    return nullptr;
}

const Library* libraryAt(HMODULE module) {
    for (const Library& library : libraries()) {
        if (reinterpret_cast<uintptr_t>(module) == library.base) return &library;
    }
    return nullptr;
}

std::string functionKey(const Library& library, const std::string& function) {
    return std::string(library.name) + "!" + function;
}

// Names below this are ordinals, which the machine's libraries do not have.
constexpr uintptr_t ordinalLimit = 0x10000;

// A library that is not there is not mapped either.
bool available(const Library& library) {
    return presentWithOverride(fake().libraryOverrides, library.name, library.present);
}

} // namespace

HMODULE mappedLibrary(LPCSTR name) {
    const Library* library = name == nullptr ? nullptr : libraryNamed(name);
    const bool mapped = library != nullptr && available(*library) &&
                        (library->mappedAtStart || fake().loadedLibraries.count(library->name) != 0);
    if (!mapped) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(library->base);
}

void setLibraryAvailable(const std::string& name, bool available) {
    const Library* library = libraryNamed(name);
    if (library != nullptr) fake().libraryOverrides[library->name] = available;
}

void setFunctionAvailable(const std::string& libraryName, const std::string& function, bool available) {
    const Library* library = libraryNamed(libraryName);
    if (library == nullptr) return;
    for (const Function& known : library->functions) {
        if (function == known.name) fake().functionOverrides[functionKey(*library, function)] = available;
    }
}

} // namespace sim

HMODULE LoadLibraryA(LPCSTR libFileName) {
    if (libFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const sim::Library* library = sim::libraryNamed(libFileName);
    if (library == nullptr || !sim::available(*library)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    sim::fake().loadedLibraries.insert(library->name);
    return reinterpret_cast<HMODULE>(library->base);
}

// Looks names up case-sensitively, as the loader does. A null module is the
// program's own, which exports nothing.
FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    const sim::Library* library = sim::libraryAt(module);
    if (module != nullptr && module != GetModuleHandleA(nullptr) && library == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (library != nullptr && procName != nullptr && reinterpret_cast<uintptr_t>(procName) >= sim::ordinalLimit) {
        for (const sim::Function& function : library->functions) {
            if (std::strcmp(function.name, procName) != 0) continue;
            const std::string key = sim::functionKey(*library, procName);
            if (sim::presentWithOverride(sim::fake().functionOverrides, key, function.present)) {
                return function.address;
            }
        }
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}
