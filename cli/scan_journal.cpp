// The scan's record for --report and --undo; see scan_journal.h.
#include "scan_journal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "ansi_text.h"
#include "change_journal.h"
#include "console_report.h"
#include "escape.h"
#include "program_version.h"
#include "quarantine_take.h"
#include "registry_clean.h"
#include "scan_state.h"
#include "scan_target.h"
#include "text_util.h"
#include "undo_file.h"
#include "version_probe.h"

namespace {

using Json = nlohmann::ordered_json;

const char* const programText = "quorvane-scan " QUORVANE_PROGRAM_VERSION;
const char* const ntQueue = "PendingFileRenameOperations";
const char* const nineXQueue = "wininit.ini";
const char* const newFileSuffix = ".quorvane-new";

struct Journal {
    std::string reportPath;
    UndoFile undo;
    Json volume = Json::array();
    Json actions = Json::array();
    Json notScanned = Json::array();
    bool undoFailed = false;
} journal;

// The outcome each file line stands for.
const char* outcomeOf(ResultLine line) {
    switch (line) {
    case lineRemoved: return "removed";
    case lineQuarantined: return "quarantined";
    case lineQuarantineFailed: return "could not be quarantined";
    case lineRenamed: return "renamed";
    case lineRenameFailed: return "rename failed";
    case lineUnableToRemove:
    case lineRemoveFailed: return "could not be removed";
    default: return "left as chosen";
    }
}

const char* choiceName(int32_t choice) {
    switch (choice) {
    case choiceDelete: return "delete";
    case choiceRename: return "rename";
    case choiceDeleteToo: return "delete";
    case choiceLeave: return "leave";
    case choiceQuarantine: return "quarantine";
    default: return "none";
    }
}

const char* typeName(DWORD type) {
    static const char* const names[] = {"REG_NONE",      "REG_SZ",        "REG_EXPAND_SZ",
                                        "REG_BINARY",    "REG_DWORD",     "REG_DWORD_BIG_ENDIAN",
                                        "REG_LINK",      "REG_MULTI_SZ",  "REG_RESOURCE_LIST",
                                        "REG_FULL_RESOURCE_DESCRIPTOR", "REG_RESOURCE_REQUIREMENTS_LIST",
                                        "REG_QWORD"};
    return type < sizeof names / sizeof names[0] ? names[type] : "unknown";
}

std::string hexText(const std::vector<unsigned char>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

// The data as a reader wants it: text for strings (a list for a list of
// strings), a number for a number; the exact bytes are beside it always.
Json readableData(const RegistryValueCopy& value) {
    const std::vector<unsigned char>& data = value.data;
    if (value.type == REG_DWORD && data.size() == sizeof(DWORD)) {
        return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
               static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
    }
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ && value.type != REG_MULTI_SZ) return nullptr;
    Json strings = Json::array();
    std::string current;
    for (unsigned char byte : data) {
        if (byte != 0) {
            current += static_cast<char>(byte);
            continue;
        }
        if (value.type != REG_MULTI_SZ) break;
        if (!current.empty()) strings.push_back(ansiToUtf8(current.c_str()));
        current.clear();
    }
    if (value.type != REG_MULTI_SZ) return ansiToUtf8(current.c_str());
    if (!current.empty()) strings.push_back(ansiToUtf8(current.c_str()));
    return strings;
}

Json valueEntry(const RegistryValueCopy& value) {
    return Json{{"name", ansiToUtf8(value.name.c_str())},
                {"type", typeName(value.type)},
                {"data", readableData(value)},
                {"bytes", hexText(value.data)}};
}

void onValueRemoved(HKEY root, const char* keyPath, const RegistryValueCopy& value) {
    Json entry{{"action", "registry value removed"}, {"key", registryKeyName(root, keyPath)}};
    entry.update(valueEntry(value));
    journal.actions.push_back(entry);
    journal.undo.addValue(root, keyPath, value);
}

void onKeyRemoved(HKEY root, const std::vector<RegistryKeyCopy>& tree) {
    for (const RegistryKeyCopy& key : tree) {
        Json values = Json::array();
        for (const RegistryValueCopy& value : key.values) values.push_back(valueEntry(value));
        journal.actions.push_back(
            Json{{"action", "registry key removed"}, {"key", registryKeyName(root, key.path)}, {"values", values}});
    }
    journal.undo.addKeys(root, tree);
}

bool isHostsFile(const char* path) {
    char hosts[MAX_PATH];
    return hostsFilePath(hosts) && sameTextNoCase(hosts, path);
}

bool isGoing(ResultLine line) {
    return line == lineRemoved || line == lineQuarantined || line == lineRenamed || line == lineUnableToRemove;
}

void onFileLine(ResultLine line, const char* path, const char* detectionName) {
    const int32_t choice = scanState.forcedChoice != 0 ? scanState.forcedChoice : scanState.userChoice;
    const bool hosts = isHostsFile(path);
    Json action{{"action", hosts ? "hosts file" : "file"},
                {"path", ansiToUtf8(path)},
                {"detection", ansiToUtf8(detectionName)},
                {"choice", choiceName(choice)},
                {"outcome", outcomeOf(line)}};
    // Taken into the quarantine now, whatever the delete gave.
    const bool taken = choice == choiceQuarantine && line != lineQuarantineFailed;
    const QuarantinedFile* kept = taken ? quarantinedFileAt(path) : nullptr;
    if (kept != nullptr) action["quarantineItem"] = kept->item;
    journal.actions.push_back(action);
    if (!hosts && isGoing(line)) afterDetectedFile(path);
}

// Offline the queue is that of the Windows on the volume, which nothing runs
// until that Windows starts: the user is told so, file by file.
void onRestartEntry(const char* path, bool queued) {
    if (!queued) {
        clearProgress();
        std::fprintf(stderr, "quorvane-scan: %s: cannot be deleted now nor queued for the next start: it is still there\n",
                     escapeControlBytes(path).c_str());
    } else if (!targetIsRunningSystem()) {
        clearProgress();
        std::fprintf(stderr, "quorvane-scan: %s: cannot be deleted now: queued, it is deleted at the next start of "
                             "the Windows on this volume\n",
                     escapeControlBytes(path).c_str());
    }
    journal.actions.push_back(Json{{"action", "restart entry"},
                                   {"path", ansiToUtf8(path)},
                                   {"queue", getWinVersionClass() == winVersion9x ? nineXQueue : ntQueue},
                                   {"queued", queued}});
}

// An undo file that could not be written holds no more than it did: the
// scan removes nothing more, so that nothing goes that it does not hold.
bool recordWhole() { return !journal.undo.hasFailed(); }

const ChangeJournal consoleJournal = {onValueRemoved, onKeyRemoved, onFileLine, onRestartEntry, recordWhole};

// The system whose registry and queues the scan used; null for a volume
// that holds no Windows installation.
Json systemFound() {
    TargetVersion version;
    if (!targetSystemVersion(version)) return nullptr;
    char folder[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(folder, sizeof folder);
    Json system{{"family", getWinVersionClass() == winVersion9x ? "9x" : "NT"},
                {"windowsFolder", length > 0 && length < sizeof folder ? ansiToUtf8(folder) : std::string()}};
    if (version.major != 0) {
        system["version"] = std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
                            std::to_string(version.build);
        system["servicePack"] = ansiToUtf8(version.servicePack.c_str());
    }
    system["registry"] = targetRegistryText();
    return system;
}

Json statistics() {
    return Json{{"filesScanned", scanState.filesScanned},
                {"filesInfected", scanState.filesInfected},
                {"filesRemoved", scanState.filesRemoved},
                {"itemsNotScanned", scanState.itemsNotScanned}};
}

// The folder and every item taken into it, or null without a quarantine.
Json quarantine() {
    if (quarantineFolder().empty()) return nullptr;
    Json items = Json::array();
    for (const QuarantinedFile& file : quarantinedFiles()) {
        items.push_back(Json{{"item", file.item},
                             {"path", ansiToUtf8(file.path.c_str())},
                             {"detection", ansiToUtf8(file.detection.c_str())},
                             {"sha256", file.sha256}});
    }
    return Json{{"folder", ansiToUtf8(quarantineFolder().c_str())}, {"items", items}};
}

Json report(const ScanEnd& end) {
    return Json{{"program", programText},
                {"volume", journal.volume},
                {"system", systemFound()},
                {"actions", journal.actions},
                {"statistics", statistics()},
                {"notScanned", journal.notScanned},
                {"quarantine", quarantine()},
                {"closingWord", ansiToUtf8(scanState.detectedPath)},
                {"drivesScanned", !end.programEnded},
                {"restartNeeded", scanState.restartNeeded != 0},
                {"registryComplete", end.registryComplete},
                {"undoFileComplete", !journal.undoFailed},
                {"exitStatus", end.exitStatus}};
}

void say(const std::string& text) { std::fprintf(stderr, "quorvane-scan: %s\n", text.c_str()); }

// Written beside the file and put in its place once whole.
bool writeReport(const Json& document) {
    const std::string fresh = journal.reportPath + newFileSuffix;
    std::FILE* file = std::fopen(fresh.c_str(), "wb");
    if (file == nullptr) {
        say("--report " + journal.reportPath + ": " + std::strerror(errno));
        return false;
    }
    const std::string text = document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(fresh.c_str(), journal.reportPath.c_str()) != 0) {
        say("--report " + journal.reportPath + ": the report could not be written: " + std::strerror(errno));
        std::remove(fresh.c_str());
        return false;
    }
    return true;
}

} // namespace

bool startJournal(const ScanOptions& options, std::string& error) {
    // Set whether or not a record is asked for: an offline scan follows a
    // detected file to its service registrations through it.
    changeJournal = &consoleJournal;
    journal.reportPath = options.reportFile;
    for (const DriveFolder& drive : options.drives)
        journal.volume.push_back(Json{{"drive", std::string(1, drive.letter) + ":"}, {"folder", drive.folder}});
    if (options.drives.empty())
        journal.volume.push_back(
            Json{{"folder", options.folder.empty() ? std::string("every fixed drive") : ansiToUtf8(options.folder.c_str())}});
    return options.undoFile.empty() || journal.undo.open(options.undoFile, error);
}

void journalNotScanned(const char* path, const char* reason) {
    if (!journal.reportPath.empty()) journal.notScanned.push_back(Json{{"path", ansiToUtf8(path)}, {"reason", reason}});
}

bool finishJournal(const ScanEnd& end) {
    if (changeJournal == nullptr) return true;
    changeJournal = nullptr;
    bool complete = true;
    if (journal.undo.isOpen() && !journal.undo.close()) {
        journal.undoFailed = true;
        say("--undo: the undo file could not be written whole: the scan removed no registry value or key after that");
        complete = false;
    }
    if (!journal.reportPath.empty()) complete = writeReport(report(end)) && complete;
    return complete;
}
