// Parsing of quorvane-scan's command line.
#include "options.h"

#include <cctype>
#include <cstring>

namespace {

#ifdef _WIN32
const char* const usage =
    "Usage: quorvane-scan [options] [FOLDER]\n"
    "Scans FOLDER, or every fixed drive when none is given, for W32/Karvex.Trojan.\n";
#else
const char* const usage =
    "Usage: quorvane-scan [options] DIR...\n"
    "Scans folders offline for W32/Karvex.Trojan. Each DIR (a mounted Windows\n"
    "volume, say) is presented as the next fixed drive, C:, D:, and so on.\n";
#endif

const char* const optionsHelp =
    "\n"
    "Options:\n"
#ifndef _WIN32
    "  --drive L=DIR      present DIR as drive L: (C to Z)\n"
#endif
    "  --choice ACTION    what to do with a detected file: delete (default),\n"
    "                     rename (the extension's first letter becomes V) or leave\n"
    "  --yes              answer every question with Yes (or OK)\n"
    "  --no               answer every question with No (or Cancel)\n"
    "  --quiet            no progress line on standard error\n"
    "  --help             show this text\n"
    "  --version          show the version\n"
    "\n"
    "Result lines go to standard output. Exit status: 0 nothing found,\n"
    "1 something found, 2 a usage error or a folder that cannot be scanned.\n";

// Drive letters a scan walks.
constexpr char firstScannedDrive = 'C';
constexpr char lastScannedDrive = 'Z';

bool parseChoice(const std::string& value, int& choice) {
    if (value == "delete") choice = 100;
    else if (value == "rename") choice = 101;
    else if (value == "leave") choice = 103;
    else return false;
    return true;
}

#ifndef _WIN32
bool letterTaken(const ScanOptions& options, char letter) {
    for (const DriveFolder& drive : options.drives) {
        if (drive.letter == letter) return true;
    }
    return false;
}

bool addDriveSpec(const std::string& spec, ScanOptions& options, std::string& error) {
    const char letter = spec.size() >= 2 ? static_cast<char>(std::toupper(static_cast<unsigned char>(spec[0]))) : 0;
    if (spec.size() < 3 || spec[1] != '=' || letter < firstScannedDrive || letter > lastScannedDrive) {
        error = "--drive " + spec + ": expected L=DIR with a drive letter from C to Z";
        return false;
    }
    if (letterTaken(options, letter)) {
        error = "--drive " + spec + ": drive " + letter + ": is given twice";
        return false;
    }
    options.drives.push_back({letter, spec.substr(2)});
    return true;
}

#endif

bool addPositional(const std::string& argument, ScanOptions& options, std::string& error) {
#ifdef _WIN32
    if (!options.folder.empty()) {
        error = argument + ": only one folder can be scanned at a time";
        return false;
    }
    options.folder = argument;
    (void)error;
#else
    (void)error;
    options.drives.push_back({0, argument}); // letter given once all are read
#endif
    return true;
}

#ifndef _WIN32
// Positional folders take the free letters from C: on, in order.
bool assignLetters(ScanOptions& options, std::string& error) {
    char next = firstScannedDrive;
    for (DriveFolder& drive : options.drives) {
        if (drive.letter != 0) continue;
        while (next <= lastScannedDrive && letterTaken(options, next)) ++next;
        if (next > lastScannedDrive) {
            error = drive.folder + ": no drive letter left (C to Z are taken)";
            return false;
        }
        drive.letter = next++;
    }
    return true;
}
#endif

} // namespace

const char* usageText() {
    static const std::string text = std::string(usage) + optionsHelp;
    return text.c_str();
}

ParseOutcome parseOptions(int argc, char** argv, ScanOptions& options, std::string& error) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            if (!addPositional(argument, options, error)) return ParseOutcome::usageError;
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            return ParseOutcome::help;
        } else if (argument == "--version") {
            return ParseOutcome::version;
        } else if (argument == "--yes") {
            options.answers = Answers::yes;
        } else if (argument == "--no") {
            options.answers = Answers::no;
        } else if (argument == "--quiet" || argument == "-q") {
            options.quiet = true;
        } else if (argument == "--choice") {
            if (!hasValue || !parseChoice(argv[++i], options.choice)) {
                error = "--choice: expected delete, rename or leave";
                return ParseOutcome::usageError;
            }
#ifndef _WIN32
        } else if (argument == "--drive") {
            if (!hasValue) {
                error = "--drive: expected L=DIR";
                return ParseOutcome::usageError;
            }
            if (!addDriveSpec(argv[++i], options, error)) return ParseOutcome::usageError;
#endif
        } else {
            error = argument + ": unknown option (see --help)";
            return ParseOutcome::usageError;
        }
    }
#ifndef _WIN32
    if (!assignLetters(options, error)) return ParseOutcome::usageError;
    if (options.drives.empty()) {
        error = "no folder to scan: give at least one DIR or --drive L=DIR";
        return ParseOutcome::usageError;
    }
#endif
    return ParseOutcome::scan;
}
