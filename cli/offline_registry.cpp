// The volume's own registry in an offline scan; see offline_registry.h.
#include "offline_registry.h"

#include <sys/stat.h>

#include <cstdio>
#include <vector>

#include "escape.h"
#include "machine.h"

namespace {

const char* const programName = "quorvane-scan";

bool registryIncomplete = false;
bool systemHiveLoaded = false;
const char* registryText = "none: the volume holds no Windows installation of the NT family";

void say(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", programName, escapeControlBytes(text.c_str()).c_str());
}

bool loadOne(sim::MachineHive which, const std::string& file) {
    std::string problem;
    if (sim::loadHive(which, file, problem)) return true;
    say(file + ": this registry hive is not cleaned: " + problem + "; nothing in it is changed");
    registryIncomplete = true;
    return false;
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void report(const sim::HiveOutcome& outcome) {
    const std::string kept = "the hive as it was is kept as " + outcome.backup;
    if (outcome.written) {
        say(outcome.file + ": the changes are written; " + kept);
    } else if (outcome.partly) {
        say(outcome.file + ": not every change is written: " + outcome.problem + "; " + kept);
    } else if (!outcome.problem.empty() && outcome.changed) {
        say(outcome.file + ": the changes are not written: " + outcome.problem + "; the hive is as it was");
    } else if (!outcome.problem.empty()) {
        say(outcome.file + ": " + outcome.problem + "; nothing in it is changed");
    }
}

} // namespace

bool loadOfflineRegistry(const ScanOptions& options, const sim::WindowsInstallation& found, std::string& error) {
    if (options.offline == OfflineRegistry::off) {
        registryText = "none: the volume's registry is left as it is (--no-offline)";
        return true;
    }
    if (!options.backupFolder.empty() && !isFolder(options.backupFolder)) {
        error = "--backup " + options.backupFolder + ": not a folder";
        return false;
    }
    sim::setHiveBackupFolder(options.backupFolder);
    const bool required = options.offline == OfflineRegistry::required;
    if (found.family == sim::SystemFamily::nt) {
        const bool software = loadOne(sim::MachineHive::software, found.softwareHive);
        const bool system = loadOne(sim::MachineHive::system, found.systemHive);
        systemHiveLoaded = system;
        registryText = software && system ? "the volume's hives SOFTWARE and SYSTEM"
                       : software         ? "the volume's hive SOFTWARE only"
                       : system           ? "the volume's hive SYSTEM only"
                                          : "none: the volume's hives cannot be used";
        if (software && system) {
            say("the registry of " + found.windowsFolder + " is cleaned as well");
        } else if (software || system) {
            say("of the registry of " + found.windowsFolder + " only the " + (software ? "SOFTWARE" : "SYSTEM") +
                " hive is cleaned");
        }
        return true;
    }
    if (found.family == sim::SystemFamily::nineX) {
        const std::string what = found.windowsFolder +
                                 " holds a Windows 95, 98 or ME registry (SYSTEM.DAT, USER.DAT), which is not "
                                 "cleaned offline";
        if (required) {
            error = "--offline: " + what;
            return false;
        }
        say(what + "; its files are scanned and cleaned");
        registryText = "none: a Windows 95, 98 or ME registry is not cleaned offline";
        return true;
    }
    if (required) {
        error = "--offline: drive C: holds no Windows installation of the NT family "
                "(a Windows folder with System32\\config\\SOFTWARE and SYSTEM)";
        return false;
    }
    return true;
}

const char* offlineRegistryText() { return registryText; }

bool offlineSystemHiveLoaded() { return systemHiveLoaded; }

bool saveOfflineRegistry() {
    for (const sim::HiveOutcome& outcome : sim::closeHives()) {
        report(outcome);
        if (!outcome.problem.empty()) registryIncomplete = true;
    }
    return !registryIncomplete;
}
