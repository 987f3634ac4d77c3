// The attributes a host entry shows on the simulated machine. Read-only and
// folder come from the host itself; hidden, system and archive, which a host
// file system cannot hold, are kept beside it by the machine.
#include "sim_state.h"

namespace sim {

namespace {

// A folder's or a regular file's attributes; readOnly is the host's
// permission, where it was looked at.
DWORD attributesFrom(const std::string& host, bool folder, bool readOnly) {
    const Machine& m = machine();
    const auto stored = m.attributeBits.empty() ? m.attributeBits.end() : m.attributeBits.find(host);
    const bool hasStored = stored != m.attributeBits.end();
    if (folder) return FILE_ATTRIBUTE_DIRECTORY | (hasStored ? stored->second : 0);
    DWORD attributes = hasStored ? stored->second : FILE_ATTRIBUTE_ARCHIVE;
    if (readOnly) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

} // namespace

DWORD attributesOf(const std::string& host) {
    struct stat info {};
    if (stat(host.c_str(), &info) != 0) return INVALID_FILE_ATTRIBUTES;
    return attributesOf(host, info);
}

DWORD attributesOf(const std::string& host, const struct stat& info) {
    // Pipes, sockets and devices have no Windows counterpart: they are not
    // there for the machine, and so can never block a reader.
    if (!(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))) return INVALID_FILE_ATTRIBUTES;
    return attributesFrom(host, S_ISDIR(info.st_mode), S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0);
}

DWORD attributesOf(const std::string& host, const HostEntry& entry) {
    if (entry.looked) return attributesOf(host, entry.info);
    if (entry.kind != EntryKind::file && entry.kind != EntryKind::folder) return INVALID_FILE_ATTRIBUTES;
    return attributesFrom(host, entry.kind == EntryKind::folder, false);
}

} // namespace sim
