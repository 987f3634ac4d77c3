// Files held by programs of the running system, and the hooks through which
// tests change the host between two calls or read how much work was done.
#include "fake_state.h"

namespace sim {

void markHostPath(std::set<std::string>& marked, const std::string& windowsPath, bool mark) {
    const std::string host = hostPathOf(windowsPath);
    if (host.empty()) return;
    if (mark) {
        marked.insert(host);
    } else {
        marked.erase(host);
    }
}

void setFileInUse(const std::string& windowsPath, bool inUse) { markHostPath(fake().filesInUse, windowsPath, inUse); }

void setRunningImage(const std::string& windowsPath, bool running) {
    markHostPath(fake().runningImages, windowsPath, running);
}

void setBeforeOpenHook(std::function<void(const std::string& hostPath)> hook) { fake().beforeOpen = std::move(hook); }

void setUnreadable(const std::string& windowsPath, bool unreadable) {
    markHostPath(fake().unreadableFiles, windowsPath, unreadable);
}

FileCallCounts fileCallCounts() { return fake().fileCalls; }

} // namespace sim
