// The service control manager of the simulated machine: its services, the
// rights its handles carry, and the way a service stops. The 9x family has
// no manager: every call there is not implemented.
#include "fake_state.h"

namespace sim {

namespace {

constexpr DWORD genericRead = 0x80000000;
constexpr DWORD genericWrite = 0x40000000;
constexpr DWORD genericExecute = 0x20000000;
constexpr DWORD genericAll = 0x10000000;
constexpr DWORD readControl = 0x00020000;

// What the generic rights stand for, as the manager maps them.
struct GenericMapping {
    DWORD read;
    DWORD write;
    DWORD execute;
    DWORD all;
};
constexpr GenericMapping managerMapping = {0x00020014, 0x00020022, 0x00020009, SC_MANAGER_ALL_ACCESS};
constexpr GenericMapping serviceMapping = {0x0002008D, 0x00020002, 0x00020170, SERVICE_ALL_ACCESS};

// What a user without administrator rights is given.
constexpr DWORD userManagerRights =
    SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS | readControl;
constexpr DWORD userServiceRights = serviceMapping.read;

const char* const activeDatabase = "ServicesActive";
constexpr size_t longestServiceName = 256;
constexpr DWORD stopWaitHint = 3000; // ms a stopping service asks its controller to wait
constexpr DWORD processAborted = 1067; // ERROR_PROCESS_ABORTED: the service's process ended under it

DWORD mappedRights(DWORD desired, const GenericMapping& mapping) {
    DWORD rights = desired & ~(genericRead | genericWrite | genericExecute | genericAll);
    if (desired & genericRead) rights |= mapping.read;
    if (desired & genericWrite) rights |= mapping.write;
    if (desired & genericExecute) rights |= mapping.execute;
    if (desired & genericAll) rights |= mapping.all;
    return rights;
}

SC_HANDLE failHandle(DWORD error) {
    SetLastError(error);
    return nullptr;
}

BOOL failWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

SimService* serviceNamed(const std::string& name) {
    const std::string wanted = upperCase(name);
    for (SimService& service : fake().services) {
        if (upperCase(service.setup.name) == wanted) return &service;
    }
    return nullptr;
}

SC_HANDLE newServiceHandle(const ServiceHandle& record) {
    const uintptr_t handle = newHandleValue();
    fake().serviceHandles[handle] = record;
    return reinterpret_cast<SC_HANDLE>(handle);
}

// The service behind an open service handle; null for any other handle.
SimService* serviceOfHandle(SC_HANDLE handle, DWORD& access) {
    FakeWindows& m = fake();
    const auto open = m.serviceHandles.find(reinterpret_cast<uintptr_t>(handle));
    if (open == m.serviceHandles.end() || open->second.manager) return nullptr;
    access = open->second.access;
    return &m.services[open->second.service];
}

bool acceptsControls(const SimService& service) {
    const DWORD state = service.setup.state;
    return state == SERVICE_RUNNING || state == SERVICE_PAUSED;
}

void fillStatus(const SimService& service, LPSERVICE_STATUS status) {
    const bool pending = service.setup.state == SERVICE_STOP_PENDING;
    status->dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status->dwCurrentState = service.setup.state;
    status->dwControlsAccepted = acceptsControls(service) && service.setup.acceptsStop ? SERVICE_ACCEPT_STOP : 0;
    status->dwWin32ExitCode = service.exitCode;
    status->dwServiceSpecificExitCode = 0;
    status->dwCheckPoint = pending ? service.checkPoint : 0;
    status->dwWaitHint = pending ? stopWaitHint : 0;
}

// The stop is over: the service is where it ends up, and when it has
// stopped, the process it lives in ends with it.
void settle(SimService& service) {
    service.setup.state = service.setup.stateAfterStop;
    service.pendingPollsLeft = 0;
    service.checkPoint = 0;
    if (service.setup.state == SERVICE_STOPPED && service.setup.processId != 0) endProcess(service.setup.processId);
}

// A stop request: ERROR_SUCCESS when it was taken.
DWORD requestStop(SimService& service) {
    const DWORD state = service.setup.state;
    if (state == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
    if (!acceptsControls(service)) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    if (!service.setup.acceptsStop) return ERROR_INVALID_SERVICE_CONTROL;
    if (service.setup.stopPendingPolls == 0) {
        settle(service);
    } else {
        service.setup.state = SERVICE_STOP_PENDING;
        service.pendingPollsLeft = service.setup.stopPendingPolls;
        service.checkPoint = 1;
    }
    return ERROR_SUCCESS;
}

// One status query's worth of progress of a pending stop.
void progress(SimService& service) {
    if (service.setup.state != SERVICE_STOP_PENDING) return;
    if (service.pendingPollsLeft == 0) {
        settle(service);
    } else if (service.pendingPollsLeft > 0) {
        --service.pendingPollsLeft;
        ++service.checkPoint;
    }
}

// What one control asks of the handle, and whether the control is one the
// machine's services know at all.
bool controlRight(DWORD control, DWORD& right) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        right = SERVICE_STOP;
        return true;
    case SERVICE_CONTROL_INTERROGATE:
        right = SERVICE_INTERROGATE;
        return true;
    default:
        return false;
    }
}

bool validServiceName(LPCSTR name) {
    const std::string text = name;
    return !text.empty() && text.size() <= longestServiceName && text.find_first_of("\\/") == std::string::npos;
}

} // namespace

void addService(const ServiceSetup& setup) {
    SimService* existing = serviceNamed(setup.name);
    SimService service;
    service.setup = setup;
    if (existing != nullptr) {
        service.calls = existing->calls;
        *existing = service;
    } else {
        fake().services.push_back(service);
    }
}

DWORD serviceState(const std::string& name) {
    const SimService* service = serviceNamed(name);
    return service == nullptr ? 0 : service->setup.state;
}

void setServiceManagerAccess(bool granted) { fake().serviceManagerAccess = granted; }

ServiceCallCounts serviceCallCounts(const std::string& name) {
    const SimService* service = serviceNamed(name);
    return service == nullptr ? ServiceCallCounts{} : service->calls;
}

void serviceProcessEnded(DWORD id) {
    for (SimService& service : fake().services) {
        if (service.setup.processId != id || service.setup.state == SERVICE_STOPPED) continue;
        const bool stopping = service.setup.state == SERVICE_STOP_PENDING;
        service.setup.state = SERVICE_STOPPED;
        service.pendingPollsLeft = 0;
        service.checkPoint = 0;
        if (!stopping) service.exitCode = processAborted;
    }
}

} // namespace sim

// Only the local machine's active database is there; another machine
// cannot be reached.
SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR databaseName, DWORD desiredAccess) {
    if (sim::isNineX()) return sim::failHandle(ERROR_CALL_NOT_IMPLEMENTED);
    if (machineName != nullptr && machineName[0] != '\0') return sim::failHandle(RPC_S_SERVER_UNAVAILABLE);
    if (databaseName != nullptr && sim::upperCase(databaseName) != sim::upperCase(sim::activeDatabase)) {
        return sim::failHandle(ERROR_DATABASE_DOES_NOT_EXIST);
    }
    const DWORD rights = sim::mappedRights(desiredAccess, sim::managerMapping) | SC_MANAGER_CONNECT;
    if (!sim::fake().serviceManagerAccess && (rights & ~sim::userManagerRights) != 0) {
        return sim::failHandle(ERROR_ACCESS_DENIED);
    }
    return sim::newServiceHandle(sim::ServiceHandle{true, 0, rights});
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD desiredAccess) {
    if (sim::isNineX()) return sim::failHandle(ERROR_CALL_NOT_IMPLEMENTED);
    const auto& handles = sim::fake().serviceHandles;
    const auto open = handles.find(reinterpret_cast<uintptr_t>(manager));
    if (open == handles.end() || !open->second.manager) return sim::failHandle(ERROR_INVALID_HANDLE);
    if (serviceName == nullptr) return sim::failHandle(ERROR_INVALID_ADDRESS);
    if (!sim::validServiceName(serviceName)) return sim::failHandle(ERROR_INVALID_NAME);
    sim::SimService* service = sim::serviceNamed(serviceName);
    if (service == nullptr) return sim::failHandle(ERROR_SERVICE_DOES_NOT_EXIST);
    ++service->calls.opens;
    const DWORD rights = sim::mappedRights(desiredAccess, sim::serviceMapping);
    if (!(open->second.access & SC_MANAGER_CONNECT)) return sim::failHandle(ERROR_ACCESS_DENIED);
    if (!sim::fake().serviceManagerAccess && (rights & ~sim::userServiceRights) != 0) {
        return sim::failHandle(ERROR_ACCESS_DENIED);
    }
    const size_t index = static_cast<size_t>(service - sim::fake().services.data());
    return sim::newServiceHandle(sim::ServiceHandle{false, index, rights});
}

// A control the service cannot take now (it is stopped, or pending) or
// never takes still gives its status, as the manager does.
BOOL ControlService(SC_HANDLE serviceHandle, DWORD control, LPSERVICE_STATUS status) {
    if (sim::isNineX()) return sim::failWith(ERROR_CALL_NOT_IMPLEMENTED);
    DWORD access = 0;
    sim::SimService* service = sim::serviceOfHandle(serviceHandle, access);
    if (service == nullptr) return sim::failWith(ERROR_INVALID_HANDLE);
    if (control == SERVICE_CONTROL_STOP) ++service->calls.stopRequests;
    if (status == nullptr) return sim::failWith(ERROR_INVALID_ADDRESS);
    DWORD right = 0;
    DWORD error = ERROR_INVALID_SERVICE_CONTROL;
    if (sim::controlRight(control, right)) {
        if (!(access & right)) return sim::failWith(ERROR_ACCESS_DENIED);
        if (control == SERVICE_CONTROL_STOP) {
            error = sim::requestStop(*service);
        } else {
            error = service->setup.state == SERVICE_STOPPED ? ERROR_SERVICE_NOT_ACTIVE : ERROR_SUCCESS;
        }
    }
    sim::fillStatus(*service, status);
    return error == ERROR_SUCCESS ? TRUE : sim::failWith(error);
}

// Each query is a moment in which a stopping service gets on; one that
// fails its queries gets on all the same.
BOOL QueryServiceStatus(SC_HANDLE serviceHandle, LPSERVICE_STATUS status) {
    if (sim::isNineX()) return sim::failWith(ERROR_CALL_NOT_IMPLEMENTED);
    DWORD access = 0;
    sim::SimService* service = sim::serviceOfHandle(serviceHandle, access);
    if (service == nullptr) return sim::failWith(ERROR_INVALID_HANDLE);
    ++service->calls.statusQueries;
    if (!(access & SERVICE_QUERY_STATUS)) return sim::failWith(ERROR_ACCESS_DENIED);
    if (status == nullptr) return sim::failWith(ERROR_INVALID_ADDRESS);
    sim::progress(*service);
    if (service->setup.failQueries) return sim::failWith(ERROR_ACCESS_DENIED);
    sim::fillStatus(*service, status);
    return TRUE;
}

BOOL CloseServiceHandle(SC_HANDLE object) {
    if (sim::isNineX()) return sim::failWith(ERROR_CALL_NOT_IMPLEMENTED);
    if (sim::fake().serviceHandles.erase(reinterpret_cast<uintptr_t>(object)) == 0) {
        return sim::failWith(ERROR_INVALID_HANDLE);
    }
    return TRUE;
}
