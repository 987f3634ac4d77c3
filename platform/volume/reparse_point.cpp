// Reparse data of a mounted NTFS volume, read from the bytes the mount
// gives and never trusted further than they have been checked.
#include "reparse_point.h"

#include <sys/xattr.h>

namespace sim {

namespace {

// Where ntfs-3g hands out an entry's reparse buffer.
const char reparseAttribute[] = "system.ntfs_reparse_data";
// The largest reparse buffer the system stores (MAXIMUM_REPARSE_DATA_BUFFER_SIZE).
constexpr size_t largestReparseBuffer = 16 * 1024;

// The system's tags for the two kinds of link.
constexpr uint32_t tagMountPoint = 0xA0000003; // IO_REPARSE_TAG_MOUNT_POINT: a junction
constexpr uint32_t tagSymlink = 0xA000000C;    // IO_REPARSE_TAG_SYMLINK
// A tag with this bit names another entry (a link of some kind) rather
// than holding the content itself in another form.
constexpr uint32_t nameSurrogateBit = 0x20000000;

// REPARSE_DATA_BUFFER: tag, data length, reserved; then, for both link
// tags, the substitute name's offset and length and the print name's
// (in bytes, from the path buffer), and for a symbolic link its flags.
constexpr size_t bufferHeaderSize = 8;
constexpr size_t mountPointHeaderSize = 8;
constexpr size_t symlinkHeaderSize = 12;
constexpr uint32_t symlinkRelativeFlag = 1; // SYMLINK_FLAG_RELATIVE

// "\??\" and the letter's "X:" that open a target on a drive letter.
const char16_t ntPrefix[] = u"\\??\\";
constexpr size_t ntPrefixLength = 4;

uint16_t le16(const unsigned char* bytes) { return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)); }

uint32_t le32(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

// The UTF-16 unit at `index` of a name of `units` units; 0 past its end.
char16_t unitAt(const unsigned char* name, size_t units, size_t index) {
    return index < units ? static_cast<char16_t>(le16(name + 2 * index)) : u'\0';
}

bool isLetter(char16_t unit) { return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z'); }

// Where an absolute NT target lies: "\??\X:" alone or followed by '\' is
// on drive X; "\??\Volume{...}", "\??\UNC\..." and the like are not.
ReparsePoint absoluteTarget(uint32_t tag, const unsigned char* name, size_t units) {
    ReparsePoint point{ReparseKind::linkElsewhere, tag, 0};
    for (size_t i = 0; i < ntPrefixLength; ++i) {
        if (unitAt(name, units, i) != ntPrefix[i]) return point;
    }
    const char16_t letter = unitAt(name, units, ntPrefixLength);
    const char16_t after = unitAt(name, units, ntPrefixLength + 2);
    if (!isLetter(letter) || unitAt(name, units, ntPrefixLength + 1) != u':' || (after != u'\0' && after != u'\\')) {
        return point;
    }
    point.kind = ReparseKind::linkToDrive;
    point.driveLetter = static_cast<char>(letter & ~0x20); // ASCII upper case
    return point;
}

// A link's data: its header, then the path buffer holding the substitute
// name. none when any of it lies outside the data.
ReparsePoint linkTarget(uint32_t tag, const unsigned char* data, size_t length) {
    const size_t header = tag == tagSymlink ? symlinkHeaderSize : mountPointHeaderSize;
    if (length < header) return ReparsePoint{ReparseKind::none, tag, 0};
    if (tag == tagSymlink && (le32(data + mountPointHeaderSize) & symlinkRelativeFlag)) {
        return ReparsePoint{ReparseKind::linkRelative, tag, 0};
    }
    const size_t offset = le16(data);
    const size_t bytes = le16(data + 2);
    const size_t room = length - header;
    if (offset > room || bytes > room - offset || bytes % 2 != 0) return ReparsePoint{ReparseKind::none, tag, 0};
    return absoluteTarget(tag, data + header + offset, bytes / 2);
}

} // namespace

ReparsePoint parseReparseData(const unsigned char* data, size_t length) {
    if (data == nullptr || length < bufferHeaderSize) return ReparsePoint{};
    const uint32_t tag = le32(data);
    if (tag == tagMountPoint || tag == tagSymlink) {
        const size_t dataLength = le16(data + 4);
        if (dataLength > length - bufferHeaderSize) return ReparsePoint{ReparseKind::none, tag, 0};
        return linkTarget(tag, data + bufferHeaderSize, dataLength);
    }
    // Another kind of link (a Linux subsystem's, say): the host's own link
    // says where it leads, if anywhere.
    if (tag & nameSurrogateBit) return ReparsePoint{ReparseKind::linkRelative, tag, 0};
    // Everything else holds the content itself in a form only the system's
    // own driver reads: compressed (WOF, 0x80000017), deduplicated, a cloud
    // placeholder (0x9000001A and its variants), or a kind not known here.
    return ReparsePoint{ReparseKind::storedAway, tag, 0};
}

ReparsePoint readReparsePoint(const std::string& host) {
    unsigned char buffer[largestReparseBuffer];
    const ssize_t got = lgetxattr(host.c_str(), reparseAttribute, buffer, sizeof buffer);
    if (got <= 0) return ReparsePoint{};
    return parseReparseData(buffer, static_cast<size_t>(got));
}

} // namespace sim
