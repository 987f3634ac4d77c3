// Writes the start-up value target's first inputs into a folder: a detected
// file in a system folder and elsewhere, with Run values that start it in
// each way the rules know (bare name, full path, quoted, with arguments,
// through %windir%), values that almost do, and values of other types and
// lengths.
//
// usage: make_run_value_seeds FOLDER
#include <string>
#include <vector>

#include "run_value_input.h"
#include "seed_files.h"
#include "win32api.h"

namespace {

constexpr size_t longDataLength = 5000;
constexpr size_t tooLongDataLength = 0xFFFF;

using fuzz::StartupValue;

std::vector<StartupValue> startingValues(const std::string& folder) {
    const std::string path = folder + "\\bad.exe";
    return {
        {REG_SZ, "Bare", "bad.exe"},
        {REG_SZ, "BareArguments", "BAD.EXE -s"},
        {REG_SZ, "Quoted", "\"" + path + "\" /run"},
        {REG_SZ, "Full", path},
        {REG_SZ, "FullTab", path + "\t-x"},
        {REG_EXPAND_SZ, "Expanded", "%windir%\\system\\bad.exe"},
        {REG_SZ, "NotBad", "notbad.exe"},
        {REG_SZ, "Longer", path + "x"},
        {REG_SZ, "LeadingSlash", "\\bad.exe"},
    };
}

std::vector<StartupValue> otherValues() {
    return {
        {REG_DWORD, "Number", std::string("\x01\x00\x00\x00", 4)},
        {REG_BINARY, "Binary", std::string("bad.exe\0tail", 12)},
        {REG_MULTI_SZ, "Multi", std::string("bad.exe\0c:\\x\0\0", 15)},
        {REG_NONE, "", ""},
        {0xFF, "OddType", "bad.exe"},
        {REG_SZ, "Long", std::string(longDataLength, 'a')},
        {REG_SZ, std::string(200, 'n'), "bad.exe"},
        {REG_SZ, "Percent", "%undefined%\\bad.exe %"},
    };
}

bool writeInput(const std::string& folder, const char* name, const fuzz::RunValueInput& input) {
    std::string bytes;
    return fuzz::writeRunValueInput(input, bytes) && fuzz::writeSeed(folder, name, bytes);
}

bool writeAll(const std::string& folder) {
    const std::string system = "C:\\WINDOWS\\SYSTEM";
    const std::string programs = "C:\\Program Files\\Tools";
    fuzz::RunValueInput inSystem{system + "\\bad.exe", startingValues(system)};
    fuzz::RunValueInput elsewhere{programs + "\\bad.exe", startingValues(programs)};
    fuzz::RunValueInput others{"c:\\windows\\system32\\bad.exe", otherValues()};
    fuzz::RunValueInput noFolder{"bad.exe", startingValues(system)};
    fuzz::RunValueInput tooLong{system + "\\bad.exe", {{REG_SZ, "Huge", std::string(tooLongDataLength, 'b')}}};
    bool written = writeInput(folder, "in-system-folder", inSystem);
    written = writeInput(folder, "elsewhere", elsewhere) && written;
    written = writeInput(folder, "other-types", others) && written;
    written = writeInput(folder, "file-without-folder", noFolder) && written;
    written = writeInput(folder, "long-data", tooLong) && written;
    return written;
}

} // namespace

int main(int argc, char** argv) { return fuzz::seedMain(argc, argv, "make_run_value_seeds", writeAll); }
