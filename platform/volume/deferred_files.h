// Files opened for reading only through the folder a listing holds, which
// the C runtime hands out descriptors for before the host opens them.
//
// What the scan asks of most files is their length, which a look at the
// file tells; the host opens a file only when its content is asked for,
// by name in the folder that was listed, following no link, and only when
// it is still the file that was looked at. Until then a descriptor costs
// the host nothing, and closing it costs nothing either.
#ifndef QUORVANE_PLATFORM_SIM_DEFERRED_FILES_H
#define QUORVANE_PLATFORM_SIM_DEFERRED_FILES_H

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "listed_folder.h"

namespace sim {

struct DeferredFile {
    int descriptor = -1; // the runtime's number for it
    std::shared_ptr<const HostDescriptor> folder;
    std::string name; // in that folder
    dev_t device = 0; // what was looked at
    ino_t inode = 0;
    struct stat looked {}; // all of that look, for the handle's facts
    HostDescriptor opened; // once its content was asked for
};

// The few deferred files open at a time.
class DeferredFiles {
public:
    // A descriptor for the regular file `name` of `folder`, as `info` found it.
    int add(std::shared_ptr<const HostDescriptor> folder, const char* name, const struct stat& info);
    // The host descriptor behind `descriptor`: opened now if need be, -1
    // when it cannot be or the name no longer leads to the file looked at;
    // `descriptor` itself when it is not a deferred one.
    int hostDescriptor(int descriptor);
    // False when `descriptor` is not a deferred one.
    bool close(int descriptor);
    // The facts the file was opened with; null when `descriptor` is not a deferred one.
    const struct stat* looked(int descriptor);

private:
    DeferredFile* find(int descriptor);
    std::vector<DeferredFile> files_;
};

// Whether the host lets this process open a file of this status for
// reading, as its permission bits tell: the superuser reads every file;
// anyone else what the owner's, the group's or the others' bits allow,
// as the process owns the file, is in its group, or neither.
bool permitsReading(const struct stat& info);

} // namespace sim

#endif // QUORVANE_PLATFORM_SIM_DEFERRED_FILES_H
