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
const char* const ntSystemFolderName = "\\System32";
const char* const nineXSystemFolderName = "\\SYSTEM";
const char* const tempFolderName = "\\TEMP";

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

// A folder in the Windows folder, spelled as on the disk when it is there.
std::string folderIn(char drive, const std::string& folder, const char* name) {
    const std::string path = folder + name;
    return kindAt(path) == EntryKind::folder ? spelledAsOnDisk(drive, path) : path;
}

void nameFolders(char drive, const std::string& folder, const char* systemName, WindowsInstallation& found) {
    found.windowsFolder = spelledAsOnDisk(drive, folder);
    found.systemFolder = folderIn(drive, found.windowsFolder, systemName);
    found.tempFolder = folderIn(drive, found.windowsFolder, tempFolderName) + "\\";
}

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
            nameFolders(letter, folder, ntSystemFolderName, found);
            found.softwareHive = spelledAsOnDisk(letter, software);
            found.systemHive = spelledAsOnDisk(letter, system);
            return found;
        }
        for (const char* registryFile : nineXRegistryFiles) {
            if (!isFileAt(folder + registryFile)) continue;
            found.family = SystemFamily::nineX;
            nameFolders(letter, folder, nineXSystemFolderName, found);
            return found;
        }
    }
    return found;
}

} // namespace sim
