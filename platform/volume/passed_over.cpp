// What the volume tells its user about entries it leaves out.
#include "sim_state.h"

namespace sim {

const char* const reasonLinkOut = "link leads out of the drives";
const char* const reasonLinkNowhere = "link leads nowhere";
const char* const reasonNameTooLong = "name too long";
const char* const reasonStoredAway = "stored in a form this system cannot read";

void setPassedOverHandler(PassedOverHandler handler) { machine().passedOverHandler = handler; }

// A walk lists every folder twice (files, then subfolders); the user hears
// of each entry once.
void reportPassedOver(const std::string& host, const std::string& windowsPath, const char* reason) {
    Machine& m = machine();
    if (m.passedOverHandler == nullptr || !m.passedOverReported.insert(host).second) return;
    m.passedOverHandler(windowsPath.c_str(), reason);
}

} // namespace sim
