// What an NTFS reparse point says, as a mount of the volume hands it out in
// the extended attribute system.ntfs_reparse_data: whether an entry is a
// junction or symbolic link (and where to), or content stored in a form
// the mount cannot give (compressed by the system, a cloud placeholder).
//
// The bytes come from the disk being cleaned, which may be hostile: every
// length and offset is checked against the buffer before it is used.
#ifndef QUORVANE_PLATFORM_SIM_REPARSE_POINT_H
#define QUORVANE_PLATFORM_SIM_REPARSE_POINT_H

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace sim {

enum class ReparseKind {
    none,         // no reparse data, or none that could be read
    linkToDrive,  // a junction or symbolic link to an absolute path on a drive letter
    linkElsewhere, // one to a volume by its name, a network share, or anything not on a letter
    linkRelative, // a symbolic link relative to where it stands: the host's link says where
    storedAway,   // content the mount cannot give: compressed, a placeholder, or of a kind unknown
};

struct ReparsePoint {
    ReparseKind kind = ReparseKind::none;
    uint32_t tag = 0;
    char driveLetter = 0; // upper case, for linkToDrive
};

// Reads a reparse buffer (REPARSE_DATA_BUFFER: tag, data length, reserved,
// then the tag's own data).
ReparsePoint parseReparseData(const unsigned char* data, size_t length);

// Reads the reparse data of a host entry itself (never of what a link
// leads to); kind none when the host keeps none or cannot say.
ReparsePoint readReparsePoint(const std::string& host);

} // namespace sim

#endif // QUORVANE_PLATFORM_SIM_REPARSE_POINT_H
