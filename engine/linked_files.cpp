// The hard-linked files found clean during a scan; see linked_files.h.
#include "linked_files.h"

#include <stdint.h>

#include <set>
#include <utility>

namespace {

// Volume serial, and the 64-bit file index.
using FileKey = std::pair<DWORD, uint64_t>;
std::set<FileKey> filesFoundClean;

FileKey keyOf(const LinkedFile& file) {
    return FileKey{file.volume, (static_cast<uint64_t>(file.indexHigh) << 32) | file.indexLow};
}

} // namespace

LinkedFile linkedFileOf(int fd) {
    LinkedFile file;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) return file;
    file.linked = info.nNumberOfLinks > 1;
    file.volume = info.dwVolumeSerialNumber;
    file.indexHigh = info.nFileIndexHigh;
    file.indexLow = info.nFileIndexLow;
    return file;
}

bool wasFoundClean(const LinkedFile& file) { return file.linked && filesFoundClean.count(keyOf(file)) != 0; }

void noteFoundClean(const LinkedFile& file) {
    if (file.linked) filesFoundClean.insert(keyOf(file));
}

void forgetFilesFoundClean() { filesFoundClean.clear(); }
