// The attributes a host entry shows on the simulated machine. Read-only and
// folder come from the host itself; hidden, system and archive, which a host
// file system cannot hold, are kept beside it by the machine.
#include "sim_state.h"

namespace sim {

DWORD attributesOf(const std::string& host) {
    struct stat info {};
    if (stat(host.c_str(), &info) != 0) return INVALID_FILE_ATTRIBUTES;
    return attributesOf(host, info);
}

DWORD attributesOf(const std::string& host, const struct stat& info) {
    // Pipes, sockets and devices have no Windows counterpart: they are not
    // there for the machine, and so can never block a reader.
    if (!(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))) return INVALID_FILE_ATTRIBUTES;
    const Machine& m = machine();
    const auto stored = m.attributeBits.find(host);
    DWORD attributes = 0;
    if (S_ISDIR(info.st_mode)) {
        attributes = FILE_ATTRIBUTE_DIRECTORY;
        if (stored != m.attributeBits.end()) attributes |= stored->second;
        return attributes;
    }
    attributes = stored != m.attributeBits.end() ? stored->second : FILE_ATTRIBUTE_ARCHIVE;
    if ((info.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

} // namespace sim
