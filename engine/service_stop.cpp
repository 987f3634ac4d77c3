// Stopping a service through the service control manager.
#include "service_stop.h"

#include <string.h>

#include "win32api.h"

namespace {

constexpr DWORD stopPollPause = 1000; // ms between two status queries

// Asks the service how it is at once, and again after each pause while it
// says it is stopping, at most the poll limit of pauses; status keeps the
// last answer received (the stop request's own when no query succeeds).
void pollWhileStopping(SC_HANDLE service, SERVICE_STATUS& status) {
    for (int pause = 0;; ++pause) {
        SERVICE_STATUS answer;
        memset(&answer, 0, sizeof answer);
        if (!QueryServiceStatus(service, &answer)) return;
        status = answer;
        if (status.dwCurrentState != SERVICE_STOP_PENDING || pause == serviceStopPollLimit) return;
        Sleep(stopPollPause);
    }
}

int32_t stopOpenService(SC_HANDLE service) {
    SERVICE_STATUS status;
    memset(&status, 0, sizeof status);
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) return 0;
    pollWhileStopping(service, status);
    return status.dwCurrentState == SERVICE_STOPPED ? 1 : 0;
}

} // namespace

int32_t stopService(const char* name, bool stop) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) return 0;
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_ALL_ACCESS);
    if (service == nullptr) {
        CloseServiceHandle(manager);
        return 0;
    }
    const int32_t result = stop ? stopOpenService(service) : 1;
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return result;
}
