// The stand-in running system, put beside the volume as the test program
// starts, so that the volume's file calls see the files its programs hold
// and the hooks and counters of the tests.
#include "fake_state.h"

namespace sim {

namespace {

void countInto(FileCallCounts& counts, FileCall call) {
    switch (call) {
    case FileCall::open: ++counts.opens; break;
    case FileCall::lengthQuery: ++counts.lengthQueries; break;
    case FileCall::seek: ++counts.seeks; break;
    case FileCall::read: ++counts.reads; break;
    case FileCall::write: ++counts.writes; break;
    case FileCall::close: ++counts.closes; break;
    case FileCall::folderRead: ++counts.folderReads; break;
    case FileCall::entryLook: ++counts.entryLooks; break;
    }
}

class FakeRunningSystem final : public RunningSystem {
public:
    FakeRunningSystem() { setRunningSystem(this); }
    void reset() override { fake() = FakeWindows{}; }
    bool heldOpen(const std::string& host) const override { return fake().filesInUse.count(host) != 0; }
    bool runningImage(const std::string& host) const override { return fake().runningImages.count(host) != 0; }
    void aboutToOpen(const std::string& host) override {
        if (fake().beforeOpen) fake().beforeOpen(host);
    }
    void descriptorOpened(int fd, const std::string& host) override {
        if (fake().unreadableFiles.count(host)) fake().unreadableDescriptors.insert(fd);
    }
    void descriptorClosed(int fd) override { fake().unreadableDescriptors.erase(fd); }
    bool readFails(int fd) const override { return fake().unreadableDescriptors.count(fd) != 0; }
    void called(FileCall call) override { countInto(fake().fileCalls, call); }
    bool closeHandle(uintptr_t handle) override {
        return fake().tokens.erase(handle) != 0 || closeProcessObject(handle);
    }
    LONG queryPerformanceData(LPCSTR valueName, LPDWORD type, LPBYTE data, LPDWORD dataSize) override {
        return sim::queryPerformanceData(valueName, type, data, dataSize);
    }
};

// Constructed with the program, before any test runs.
FakeRunningSystem runningSystemInstance;

} // namespace

FakeWindows& fake() {
    static FakeWindows state;
    return state;
}

} // namespace sim
