// Folder identity through a handle opened with backup semantics.
#include "folder_identity.h"

#include <string.h>

#include "text_util.h"

namespace {
constexpr size_t driveRootLength = 3; // "C:"
}

bool getFolderIdentity(const char* path, FolderIdentity& identity) {
    // The folder itself, not "folder": a drive root keeps its backslash.
    char folderPath[MAX_PATH];
    if (!copyText(folderPath, sizeof folderPath, path)) return false;
    const size_t length = strlen(folderPath);
    if (length > driveRootLength && (folderPath[length - 1] == '\\' || folderPath[length - 1] == '/')) {
        folderPath[length - 1] = '\0';
    }
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE folder = CreateFileA(folderPath, 0, shareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const BOOL known = GetFileInformationByHandle(folder, &info);
    CloseHandle(folder);
    if (!known) return false;
    identity.volume = info.dwVolumeSerialNumber;
    identity.indexHigh = info.nFileIndexHigh;
    identity.indexLow = info.nFileIndexLow;
    return true;
}

bool sameFolder(const FolderIdentity& a, const FolderIdentity& b) {
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}
