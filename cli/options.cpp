// Parsing of quorvane-scan's command line.
#include "options.h"

#include "scan_state.h"

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
    "volume, say) is presented as the next fixed drive, C:, D:, and so on.\n"
    "When C: holds a Windows installation of the NT family, its own registry\n"
    "(the hives System32\\config\\SOFTWARE and SYSTEM) is cleaned as well: a\n"
    "changed hive is copied first (NAME.quorvane-backup beside it) and replaced\n"
    "only once it has been written whole.\n";
#endif

const char* const optionsHelp =
    "\n"
    "Options:\n"
#ifndef _WIN32
    "  --drive L=DIR      present DIR as drive L: (C to Z)\n"
    "  --offline          insist on cleaning the registry of the Windows\n"
    "                     installation on C:; fail when there is none\n"
    "  --no-offline       leave the volume's registry as it is\n"
    "  --backup DIR       keep the hives' copies in DIR instead\n"
#endif
    "  --choice ACTION    what to do with a detected file: delete (default),\n"
    "                     rename (the extension's first letter becomes V), leave,\n"
    "                     or quarantine (with --quarantine)\n"
    "  --quarantine DIR   keep each detected file in the folder DIR, made harmless,\n"
    "                     before it is deleted, so that --restore can put it back\n"
    "  --report FILE      write a JSON report of the scan to FILE: the system\n"
    "                     found, every action with what it removed, the statistics\n"
    "  --undo FILE        write every registry value and key the scan removes to\n"
    "                     FILE as it removes it, in the registry editor's format:\n"
    "                     importing FILE puts them back\n"
    "  --restore DIR      put the files kept in the quarantine DIR back in their\n"
#ifndef _WIN32
    "                     places on the drives given (as for a scan), never over\n"
    "                     a file; exit status 0 when every one is back, else 2\n"
#else
    "                     places, never over a file; exit status 0 when every\n"
    "                     one is back, else 2\n"
#endif
    "  --item NAME        with --restore: only this item (may be given again)\n"
    "  --list DIR         list the items of the quarantine DIR, one line each\n"
    "  --yes              answer every question with Yes (or OK)\n"
    "  --no               answer every question with No (or Cancel)\n"
    "  --quiet            no progress line on standard error\n"
    "  --help             show this text\n"
    "  --version          show the version\n"
    "An option's value may also follow an '=' (--choice=leave).\n"
    "\n"
    "Standard output holds one line per action, written as it happens, then the\n"
    "statistics. A control character in a file name is shown as <XX>, its code\n"
    "in hexadecimal (a line feed reads <0A>), so that every line stays one line.\n"
#ifndef _WIN32
    "A host name holding '\\', '<', '>' or a control character is named the same\n"
    "way (a\\b is C:\\a<5C>b); the name in that form reaches exactly that file.\n"
#endif
    "Standard error names each file or folder that could not be scanned, and why.\n"
    "\n"
    "Exit status: 0 the whole scan ran and found nothing; 1 something was found;\n"
    "2 a usage error, or the scan is not complete: it was stopped, something\n"
    "could not be scanned, or standard output could not be written"
#ifndef _WIN32
    ", or a registry\n"
    "hive could not be read or its changes could not be written (that hive is\n"
    "then left as it was)"
#endif
    ".\n"
    "Ctrl-C, SIGTERM and SIGHUP stop the scan at the next entry, and the\n"
    "statistics are still written; a second Ctrl-C ends the program at once.\n";

// Drive letters a scan walks.
constexpr char firstScannedDrive = 'C';
constexpr char lastScannedDrive = 'Z';

bool parseChoice(const std::string& value, int& choice) {
    if (value == "delete") choice = choiceDelete;
    else if (value == "quarantine") choice = choiceQuarantine;
    else if (value == "rename") choice = choiceRename;
    else if (value == "leave") choice = choiceLeave;
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

namespace {

// An option that takes a value, given as "--name VALUE" or "--name=VALUE".
// Returns false when this argument is not that option at all.
bool takeValue(const std::string& argument, const char* name, int argc, char** argv, int& i, bool& given,
               std::string& value) {
    const std::string prefix = std::string(name) + "=";
    if (argument.compare(0, prefix.size(), prefix) == 0) {
        value = argument.substr(prefix.size());
        given = true;
        return true;
    }
    if (argument != name) return false;
    given = i + 1 < argc;
    if (given) value = argv[++i];
    return true;
}

// Flags that rule each other out.
struct FlagsGiven {
    bool yes = false;
    bool no = false;
    bool offline = false;
    bool noOffline = false;
    bool choice = false;
    bool quarantine = false; // --quarantine
    bool restore = false;
    bool list = false;
};

// --quarantine, --restore and --list name the quarantine folder; --item
// names an item to restore.
bool parseQuarantineOption(const std::string& argument, int argc, char** argv, int& i, ScanOptions& options,
                           FlagsGiven& flags, std::string& error, bool& matched) {
    struct FolderOption {
        const char* name;
        bool FlagsGiven::*flag;
    };
    static const FolderOption folderOptions[] = {
        {"--quarantine", &FlagsGiven::quarantine}, {"--restore", &FlagsGiven::restore}, {"--list", &FlagsGiven::list}};
    std::string value;
    bool given = false;
    matched = true;
    for (const FolderOption& option : folderOptions) {
        if (!takeValue(argument, option.name, argc, argv, i, given, value)) continue;
        if (!given || value.empty()) return error = std::string(option.name) + ": expected a folder", false;
        if (!options.quarantineFolder.empty())
            return error = std::string(option.name) + ": only one quarantine folder can be given", false;
        options.quarantineFolder = value;
        flags.*option.flag = true;
        return true;
    }
    if (takeValue(argument, "--item", argc, argv, i, given, value)) {
        if (!given || value.empty()) return error = "--item: expected an item's name (see --list)", false;
        options.items.push_back(value);
        return true;
    }
    matched = false;
    return true;
}

// The options that name a file the program writes.
struct FileOption {
    const char* name;
    std::string ScanOptions::*field;
};
const FileOption fileOptions[] = {{"--report", &ScanOptions::reportFile}, {"--undo", &ScanOptions::undoFile}};

ParseOutcome parseValueOption(const std::string& argument, int argc, char** argv, int& i, ScanOptions& options,
                              FlagsGiven& flags, std::string& error, bool& matched) {
    std::string value;
    bool given = false;
    matched = true;
    if (!parseQuarantineOption(argument, argc, argv, i, options, flags, error, matched)) return ParseOutcome::usageError;
    if (matched) return ParseOutcome::scan;
    matched = true;
    if (takeValue(argument, "--choice", argc, argv, i, given, value)) {
        flags.choice = true;
        if (given && parseChoice(value, options.choice)) return ParseOutcome::scan;
        error = given ? "--choice " + value + ": expected delete, rename, leave or quarantine"
                      : "--choice: expected delete, rename, leave or quarantine";
        return ParseOutcome::usageError;
    }
    for (const FileOption& file : fileOptions) {
        if (!takeValue(argument, file.name, argc, argv, i, given, value)) continue;
        if (given && !value.empty()) {
            options.*file.field = value;
            return ParseOutcome::scan;
        }
        error = std::string(file.name) + ": expected a file";
        return ParseOutcome::usageError;
    }
#ifndef _WIN32
    if (takeValue(argument, "--drive", argc, argv, i, given, value)) {
        if (!given) {
            error = "--drive: expected L=DIR";
            return ParseOutcome::usageError;
        }
        return addDriveSpec(value, options, error) ? ParseOutcome::scan : ParseOutcome::usageError;
    }
    if (takeValue(argument, "--backup", argc, argv, i, given, value)) {
        if (given && !value.empty()) {
            options.backupFolder = value;
            return ParseOutcome::scan;
        }
        error = "--backup: expected a folder";
        return ParseOutcome::usageError;
    }
#endif
    matched = false;
    return ParseOutcome::scan;
}

#ifndef _WIN32
bool parseOfflineFlag(const std::string& argument, ScanOptions& options, FlagsGiven& flags) {
    if (argument == "--offline") {
        options.offline = OfflineRegistry::required;
        flags.offline = true;
    } else if (argument == "--no-offline") {
        options.offline = OfflineRegistry::off;
        flags.noOffline = true;
    } else {
        return false;
    }
    return true;
}
#endif

// Whether a folder to scan (or, offline, a drive) was given.
bool folderGiven(const ScanOptions& options) {
#ifdef _WIN32
    return !options.folder.empty();
#else
    return !options.drives.empty();
#endif
}

// The first option given that only a scan takes, or null.
const char* scanOnlyOption(const ScanOptions& options, const FlagsGiven& flags) {
    if (flags.choice) return "--choice";
    if (!options.reportFile.empty()) return "--report";
    if (!options.undoFile.empty()) return "--undo";
    if (flags.offline) return "--offline";
    if (flags.noOffline) return "--no-offline";
    if (!options.backupFolder.empty()) return "--backup";
    return nullptr;
}

// Which task the quarantine options ask for, and whether they fit it.
ParseOutcome quarantineTask(ScanOptions& options, const FlagsGiven& flags, std::string& error) {
    if (!options.items.empty() && !flags.restore) return error = "--item: only --restore takes items", ParseOutcome::usageError;
    const char* task = flags.restore ? "--restore" : flags.list ? "--list" : nullptr;
    if (task != nullptr) {
        const char* scanOnly = scanOnlyOption(options, flags);
        if (scanOnly != nullptr) return error = std::string(scanOnly) + ": only a scan takes it, not " + task, ParseOutcome::usageError;
#ifdef _WIN32
        const bool folderRefused = true; // items go back to their own paths
#else
        const bool folderRefused = flags.list;
#endif
        if (folderRefused && folderGiven(options))
            return error = std::string(task) + ": takes no folder to scan", ParseOutcome::usageError;
        return flags.restore ? ParseOutcome::restore : ParseOutcome::list;
    }
    if (flags.choice && options.choice == choiceQuarantine && !flags.quarantine)
        return error = "--choice quarantine: give the folder with --quarantine DIR", ParseOutcome::usageError;
    if (flags.quarantine && flags.choice && options.choice != choiceQuarantine)
        return error = "--quarantine: a detected file is quarantined; give no other --choice", ParseOutcome::usageError;
    if (flags.quarantine) options.choice = choiceQuarantine;
    return ParseOutcome::scan;
}

// The options after the command line has been read whole.
ParseOutcome checkTogether(ScanOptions& options, const FlagsGiven& flags, std::string& error) {
    if (flags.yes && flags.no) {
        error = "--yes and --no cannot be given together";
        return ParseOutcome::usageError;
    }
    if (!options.reportFile.empty() && options.reportFile == options.undoFile) {
        error = "--report and --undo: two files are needed, not one";
        return ParseOutcome::usageError;
    }
#ifndef _WIN32
    if (flags.offline && flags.noOffline) {
        error = "--offline and --no-offline cannot be given together";
        return ParseOutcome::usageError;
    }
    if (flags.noOffline && !options.backupFolder.empty()) {
        error = "--backup: with --no-offline no registry hive is changed";
        return ParseOutcome::usageError;
    }
#endif
    const ParseOutcome task = quarantineTask(options, flags, error);
#ifndef _WIN32
    if (task != ParseOutcome::list && task != ParseOutcome::usageError && options.drives.empty()) {
        error = "no folder to scan: give at least one DIR or --drive L=DIR";
        return ParseOutcome::usageError;
    }
#endif
    return task;
}

} // namespace

ParseOutcome parseOptions(int argc, char** argv, ScanOptions& options, std::string& error) {
    bool optionsEnded = false;
    FlagsGiven flags;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        bool matched = false;
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
            flags.yes = true;
        } else if (argument == "--no") {
            options.answers = Answers::no;
            flags.no = true;
        } else if (argument == "--quiet" || argument == "-q") {
            options.quiet = true;
#ifndef _WIN32
        } else if (parseOfflineFlag(argument, options, flags)) {
            // --offline or --no-offline, taken
#endif
        } else if (parseValueOption(argument, argc, argv, i, options, flags, error, matched) != ParseOutcome::scan) {
            return ParseOutcome::usageError;
        } else if (!matched) {
            error = argument + ": unknown option (see --help)";
            return ParseOutcome::usageError;
        }
    }
#ifndef _WIN32
    if (!assignLetters(options, error)) return ParseOutcome::usageError;
#endif
    return checkTogether(options, flags, error);
}
