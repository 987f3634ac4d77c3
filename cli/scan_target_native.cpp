// Host folders as the fixed drives of the simulated machine.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
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
#include "volume_state.h"

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

bool volumeLeftUnchanged = false;

// Said once, before the walk: why nothing is changed, and what to do.
void tellWhyUnchanged(VolumeState state, const std::string& folder) {
    if (state == VolumeState::readOnly) {
        std::fprintf(stderr, "quorvane-scan: %s: mounted read-only: nothing can be removed; mount it read-write\n",
                     folder.c_str());
    } else if (state == VolumeState::hibernated) {
        std::fprintf(stderr,
                     "quorvane-scan: %s: the Windows on this volume is hibernated (a Fast Startup shut-down is "
                     "one): what is changed now is lost or clashes when it resumes, so nothing is changed; start "
                     "that Windows and shut it down fully (hold Shift while choosing Shut down, or run "
                     "shutdown /s /t 0), then scan again\n",
                     folder.c_str());
    }
}

bool mapDrives(const ScanOptions& options, std::string& error) {
    for (const DriveFolder& drive : options.drives) {
        if (!checkFolder(drive.folder, error)) return false;
    }
    sim::reset();
    // Text as Windows 10 can keep it: the volume's registry names and strings
    // reach the engine, the report and the undo file exactly, and match the
    // host's UTF-8 names of files.
    sim::setAnsiCodePage(sim::AnsiCodePage::utf8);
    for (const DriveFolder& drive : options.drives) {
        if (!sim::mapDrive(drive.letter, drive.folder)) {
            error = drive.folder + ": cannot be presented as drive " + drive.letter + ":";
            return false;
        }
    }
    return true;
}

} // namespace

bool prepareRestoreTarget(const ScanOptions& options, std::string& error) {
    std::string folder;
    const VolumeState state = volumeStateOf(options.drives, folder);
    tellWhyUnchanged(state, folder);
    if (state != VolumeState::changeable) {
        error = "--restore: nothing was restored";
        return false;
    }
    return mapDrives(options, error);
}

bool prepareScanTarget(const ScanOptions& given, std::string& error) {
    std::string folder;
    const VolumeState state = volumeStateOf(given.drives, folder);
    volumeLeftUnchanged = state != VolumeState::changeable;
    tellWhyUnchanged(state, folder);
    // A volume that may not change has its registry left as it is.
    ScanOptions options = given;
    if (volumeLeftUnchanged) options.offline = OfflineRegistry::off;
    if (!mapDrives(options, error)) return false;
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

bool targetLeftUnchanged() { return volumeLeftUnchanged; }

bool targetSystemVersion(TargetVersion& version) {
    const VolumeSystem& system = volumeSystem();
    if (!system.present) return false;
    version = TargetVersion{system.version.major, system.version.minor, system.version.build & lowWord,
                            system.version.servicePack};
    return true;
}
