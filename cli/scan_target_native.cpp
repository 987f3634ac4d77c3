// Host folders as the fixed drives of the simulated machine.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "machine.h"
#include "not_scanned.h"
#include "offline_registry.h"
#include "offline_services.h"
#include "offline_system.h"
#include "scan_driver.h"
#include "scan_state.h"
#include "scan_target.h"
#include "text_util.h"

namespace {

// The drive an installation is looked for on, as the system starts from it.
constexpr char systemDrive = 'C';
constexpr unsigned long lowWord = 0xFFFF;

bool checkFolder(const std::string& folder, std::string& error) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) {
        error = folder + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = folder + ": not a folder";
        return false;
    }
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) {
        error = folder + ": cannot be listed: " + std::strerror(errno);
        return false;
    }
    closedir(listing);
    return true;
}

} // namespace

bool prepareScanTarget(const ScanOptions& options, std::string& error) {
    for (const DriveFolder& drive : options.drives) {
        if (!checkFolder(drive.folder, error)) return false;
    }
    sim::reset();
    for (const DriveFolder& drive : options.drives) {
        if (!sim::mapDrive(drive.letter, drive.folder)) {
            error = drive.folder + ": cannot be presented as drive " + drive.letter + ":";
            return false;
        }
    }
    const sim::WindowsInstallation found = sim::findWindowsInstallation(systemDrive);
    if (!loadOfflineRegistry(options, found, error)) return false;
    adoptVolumeSystem(found);
    // A file queued for the next start must land in a queue that start runs:
    // the volume's SYSTEM hive, or the wininit.ini of a 9x volume.
    sim::setRestartQueueWritable(offlineSystemHiveLoaded() || found.family == sim::SystemFamily::nineX);
    // What the machine leaves out of its listings (a link out of the drives,
    // say) was not scanned either.
    sim::setPassedOverHandler(noteNotScanned);
    copyText(scanState.scanTarget, pathTextSize, everyFixedDrive);
    return true;
}

bool finishScanTarget() { return saveOfflineRegistry(); }

void afterDetectedFile(const char* path) {
    if (offlineSystemHiveLoaded()) removeServicesOf(path);
}

const char* targetRegistryText() { return offlineRegistryText(); }

bool targetIsRunningSystem() { return false; }

bool targetSystemVersion(TargetVersion& version) {
    const VolumeSystem& system = volumeSystem();
    if (!system.present) return false;
    version = TargetVersion{system.version.major, system.version.minor, system.version.build & lowWord,
                            system.version.servicePack};
    return true;
}
