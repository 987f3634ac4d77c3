// Writes the restart file's first inputs into a folder: restart files as
// setup programs leave them (a [rename] section alone, between others, in
// other letter cases, twice), with LF or CR LF line ends or none at the
// end, long lines, a header cut short, a header that is longer, and binary
// bytes.
//
// usage: make_restart_seeds FOLDER
#include <string>

#include "seed_files.h"

namespace {

constexpr size_t longLineLength = 1500; // well past the rewrite's buffers

bool writeAll(const std::string& folder) {
    const std::string longLine = "NUL=C:\\" + std::string(longLineLength, 'x') + "\r\n";
    const struct {
        const char* name;
        std::string content;
    } seeds[] = {
        {"rename-only", "[rename]\r\nNUL=C:\\OLD.EXE\r\n"},
        {"rename-between", "[boot]\r\nshell=explorer.exe\r\n[Rename]\r\nNUL=C:\\A.EXE\r\n[386Enh]\r\nx=1\r\n"},
        {"rename-twice", "[RENAME]\nNUL=C:\\A.EXE\n[rename]\nNUL=C:\\B.EXE\n"},
        {"rename-no-line-end", "[rename]\r\nNUL=C:\\A.EXE"},
        {"header-no-line-end", "[rename]"},
        {"header-cut-short", "[renam\r\n[rename\n"},
        {"header-longer", "[renamed]\r\nNUL=C:\\A.EXE\r\n[rename] ; comment\r\n"},
        {"other-sections", "[boot]\r\nshell=explorer.exe\r\n\r\n[drivers]\r\n"},
        {"blank-lines", "\r\n\n\r\r\n"},
        {"long-lines", longLine + "[rename]\r\n" + longLine + "[x]" + longLine},
        {"binary", std::string("[rename]\0\xff\r\n\0[\0]\n", 14)},
    };
    bool written = true;
    for (const auto& seed : seeds) written = fuzz::writeSeed(folder, seed.name, seed.content) && written;
    return written;
}

} // namespace

int main(int argc, char** argv) { return fuzz::seedMain(argc, argv, "make_restart_seeds", writeAll); }
