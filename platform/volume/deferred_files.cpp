// Descriptors of files not opened on the host until their content is
// asked for; see deferred_files.h.
#include "deferred_files.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "sim_state.h"

namespace sim {

namespace {

// Far above any descriptor the host hands out, whose limit of open files
// lies well below it, so that the two never meet.
constexpr int firstDeferredDescriptor = 1 << 24;

// Who the process is, asked once: it does not change while it runs.
struct ProcessIdentity {
    uid_t user;
    gid_t group;
    std::vector<gid_t> groups;
};

ProcessIdentity askIdentity() {
    ProcessIdentity identity{geteuid(), getegid(), {}};
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        identity.groups.resize(static_cast<size_t>(count));
        const int got = getgroups(count, identity.groups.data());
        identity.groups.resize(got > 0 ? static_cast<size_t>(got) : 0);
    }
    return identity;
}

const ProcessIdentity& processIdentity() {
    static const ProcessIdentity identity = askIdentity();
    return identity;
}

} // namespace

bool permitsReading(const struct stat& info) {
    const ProcessIdentity& self = processIdentity();
    if (self.user == 0) return true;
    if (info.st_uid == self.user) return (info.st_mode & S_IRUSR) != 0;
    const bool inGroup = info.st_gid == self.group ||
                         std::find(self.groups.begin(), self.groups.end(), info.st_gid) != self.groups.end();
    return (info.st_mode & (inGroup ? S_IRGRP : S_IROTH)) != 0;
}

DeferredFile* DeferredFiles::find(int descriptor) {
    for (DeferredFile& file : files_) {
        if (file.descriptor == descriptor) return &file;
    }
    return nullptr;
}

int DeferredFiles::add(std::shared_ptr<const HostDescriptor> folder, const char* name, const struct stat& info) {
    int descriptor = firstDeferredDescriptor;
    while (find(descriptor) != nullptr) ++descriptor;
    DeferredFile file;
    file.descriptor = descriptor;
    file.folder = std::move(folder);
    file.name = name;
    file.device = info.st_dev;
    file.inode = info.st_ino;
    file.looked = info;
    files_.push_back(std::move(file));
    return descriptor;
}

const struct stat* DeferredFiles::looked(int descriptor) {
    const DeferredFile* file = find(descriptor);
    return file != nullptr ? &file->looked : nullptr;
}

int DeferredFiles::hostDescriptor(int descriptor) {
    DeferredFile* file = find(descriptor);
    if (file == nullptr) return descriptor;
    if (file->opened.get() >= 0) return file->opened.get();
    HostDescriptor opened(::openat(file->folder->get(), file->name.c_str(), hostReadFlags | O_NOFOLLOW));
    struct stat info {};
    if (opened.get() < 0 || fstat(opened.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_dev != file->device || info.st_ino != file->inode) {
        errno = EIO; // another file took its place since it was looked at
        return -1;
    }
    file->opened = std::move(opened);
    return file->opened.get();
}

bool DeferredFiles::close(int descriptor) {
    DeferredFile* file = find(descriptor);
    if (file == nullptr) return false;
    if (file != &files_.back()) *file = std::move(files_.back()); // closes what it had opened
    files_.pop_back();
    return true;
}

} // namespace sim
