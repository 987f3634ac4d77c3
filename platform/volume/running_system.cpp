// The volume's one link to a running system, when there is one.
#include "running_system.h"

namespace sim {

namespace {
RunningSystem* current = nullptr;
} // namespace

RunningSystem* runningSystem() { return current; }

void setRunningSystem(RunningSystem* system) { current = system; }

bool isInUse(const std::string& host) { return current != nullptr && current->heldOpen(host); }

bool isRunningImage(const std::string& host) { return current != nullptr && current->runningImage(host); }

void beforeOpening(const std::string& host) {
    if (current != nullptr) current->aboutToOpen(host);
}

void countCall(FileCall call) {
    if (current != nullptr) current->called(call);
}

} // namespace sim
