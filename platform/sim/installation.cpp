// Finding the Windows installation on a drive of the simulated machine.
#include <vector>

#include "names.h"
#include "sim_state.h"

namespace sim {

namespace {

const char* const windowsFolderNames[] = {"WINDOWS", "WINNT"};
const char* const softwareHivePath = "\\System32\\config\\SOFTWARE";
const char* const systemHivePath = "\\System32\\config\\SYSTEM";
const char* const nineXRegistryFiles[] = {"\\SYSTEM.DAT", "\\USER.DAT"};

EntryKind kindAt(const std::string& windowsPath) {
    const std::string host = hostPathOf(windowsPath);
    return host.empty() ? EntryKind::missing : examineEntry(host).kind;
}

// The Windows path of an existing entry on drive (an upper-case letter),
// spelled with the names the disk gives its folders and files, as a
// listing shows them.
std::string spelledAsOnDisk(char drive, const std::string& windowsPath) {
    const std::string host = hostPathOf(windowsPath);
    const std::string& root = machine().drives[drive - 'A'].hostRoot;
    if (root.empty() || host.compare(0, root.size(), root) != 0) return windowsPath;
    std::string spelled = windowsPath.substr(0, 2);
    std::string name;
    for (size_t at = root.size() + 1; at <= host.size(); ++at) {
        if (at < host.size() && host[at] != '/') {
            name += host[at];
            continue;
        }
        if (!name.empty()) spelled += "\\" + presentedName(name);
        name.clear();
    }
    return spelled;
}

bool isFileAt(const std::string& windowsPath) { return kindAt(windowsPath) == EntryKind::file; }

} // namespace

WindowsInstallation findWindowsInstallation(char drive) {
    WindowsInstallation found;
    const char letter = upperCase(std::string(1, drive))[0];
    if (letter < 'A' || letter > 'Z' || machine().drives[letter - 'A'].hostRoot.empty()) return found;
    for (const char* folderName : windowsFolderNames) {
        const std::string folder = std::string(1, letter) + ":\\" + folderName;
        if (kindAt(folder) != EntryKind::folder) continue;
        const std::string software = folder + softwareHivePath;
        const std::string system = folder + systemHivePath;
        if (isFileAt(software) && isFileAt(system)) {
            found.family = SystemFamily::nt;
            found.windowsFolder = spelledAsOnDisk(letter, folder);
            found.softwareHive = spelledAsOnDisk(letter, software);
            found.systemHive = spelledAsOnDisk(letter, system);
            return found;
        }
        for (const char* registryFile : nineXRegistryFiles) {
            if (!isFileAt(folder + registryFile)) continue;
            found.family = SystemFamily::nineX;
            found.windowsFolder = spelledAsOnDisk(letter, folder);
            return found;
        }
    }
    return found;
}

} // namespace sim
