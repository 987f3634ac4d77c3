// Stopping a service through the service control manager.
#include "service_stop.h"

#include <string.h>

#include "win32api.h"

namespace {

constexpr DWORD stopPollPause = 1000; // ms between two status queries

// Waits while the service reports that it is stopping, at most the poll
// limit; status keeps the last answer received.
void waitWhileStopping(SC_HANDLE service, SERVICE_STATUS& status) {
    for (int poll = 0; poll < serviceStopPollLimit && status.dwCurrentState == SERVICE_STOP_PENDING; ++poll) {
        Sleep(stopPollPause);
        SERVICE_STATUS answer;
        memset(&answer, 0, sizeof answer);
        if (!QueryServiceStatus(service, &answer)) return;
        status = answer;
    }
}

int32_t stopOpenService(SC_HANDLE service) {
    SERVICE_STATUS status;
    memset(&status, 0, sizeof status);
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) return 0;
    waitWhileStopping(service, status);
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
