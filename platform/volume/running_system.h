// What a running Windows adds to the files of its volume: files that a
// program holds open or runs from, handles of its own (tokens, processes),
// and a look at every file call. Offline nothing runs, so the offline
// program sets none and the volume's calls behave as on a disk nobody
// uses; the stand-ins of a running system (tests/fake_windows) set one.
#ifndef QUORVANE_PLATFORM_VOLUME_RUNNING_SYSTEM_H
#define QUORVANE_PLATFORM_VOLUME_RUNNING_SYSTEM_H

#include <cstdint>
#include <string>

#include "win32api.h"

namespace sim {

// The file calls a running system may want to count.
enum class FileCall { open, lengthQuery, seek, read, write, close, folderRead, entryLook };

class RunningSystem {
public:
    virtual ~RunningSystem() = default;
    // The volume went back to power-on: so does the running system.
    virtual void reset() = 0;
    // Held open without sharing: opening, deleting and renaming fail.
    virtual bool heldOpen(const std::string& host) const = 0;
    // The image of a running program: readable, but not to be changed.
    virtual bool runningImage(const std::string& host) const = 0;
    // A host path is about to be opened, once its name is resolved.
    virtual void aboutToOpen(const std::string& host) = 0;
    // A descriptor was opened on a host path, or closed; whether reading it fails.
    virtual void descriptorOpened(int fd, const std::string& host) = 0;
    virtual void descriptorClosed(int fd) = 0;
    virtual bool readFails(int fd) const = 0;
    virtual void called(FileCall call) = 0;
    // Closes a handle the running system gave out; false when it gave none of that value.
    virtual bool closeHandle(uintptr_t handle) = 0;
    // RegQueryValueExA of HKEY_PERFORMANCE_DATA.
    virtual LONG queryPerformanceData(LPCSTR valueName, LPDWORD type, LPBYTE data, LPDWORD dataSize) = 0;
};

// The running system beside the volume; null when nothing runs.
RunningSystem* runningSystem();
void setRunningSystem(RunningSystem* system);

// The questions the volume's calls ask of it, answered for a volume that
// nobody uses when nothing runs.
bool isInUse(const std::string& host);
bool isRunningImage(const std::string& host);
void beforeOpening(const std::string& host);
void countCall(FileCall call);

} // namespace sim

#endif // QUORVANE_PLATFORM_VOLUME_RUNNING_SYSTEM_H
