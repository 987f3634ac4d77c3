// The simulated machine's service control manager: services that stop at
// once, after a while, never or not at all, the rights of its handles, and
// the 9x family without it.
#include <gtest/gtest.h>

#include <string>

#include "fake_windows.h"

namespace {

constexpr DWORD processAborted = 1067; // ERROR_PROCESS_ABORTED

class SimServices : public ::testing::Test {
protected:
    SimServices() { sim::reset(); }
    ~SimServices() override {
        if (service != nullptr) CloseServiceHandle(service);
        if (manager != nullptr) CloseServiceHandle(manager);
        sim::reset();
    }

    static sim::ServiceSetup setup(int stopPendingPolls = 0) {
        sim::ServiceSetup made;
        made.name = "QvTestSvc";
        made.stopPendingPolls = stopPendingPolls;
        return made;
    }

    // Opens the test service with every right; false when it cannot be.
    bool open(DWORD access = SERVICE_ALL_ACCESS) {
        manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (manager == nullptr) return false;
        service = OpenServiceA(manager, "qvtestsvc", access);
        return service != nullptr;
    }

    // The state a stop request leaves, or 0 when it failed.
    DWORD stop() {
        status = SERVICE_STATUS{};
        return ControlService(service, SERVICE_CONTROL_STOP, &status) ? status.dwCurrentState : 0;
    }

    DWORD query() {
        status = SERVICE_STATUS{};
        return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
    }

    SC_HANDLE manager = nullptr;
    SC_HANDLE service = nullptr;
    SERVICE_STATUS status{};
};

TEST_F(SimServices, AServiceThatStopsAtOnceAnswersStoppedAndItsProcessEnds) {
    sim::ProcessSetup host;
    host.imagePath = "C:\\svc\\host.exe";
    sim::ServiceSetup described = setup();
    described.processId = sim::startProcess(host);
    sim::addService(described);
    ASSERT_TRUE(open());
    EXPECT_EQ(query(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(status.dwControlsAccepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP));
    EXPECT_EQ(stop(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(sim::serviceState("QVTESTSVC"), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_FALSE(sim::processRunning(described.processId));
    EXPECT_EQ(sim::serviceCallCounts("qvtestsvc").stopRequests, 1u);
    EXPECT_EQ(sim::serviceCallCounts("qvtestsvc").statusQueries, 1u);
}

TEST_F(SimServices, AServiceThatTakesAWhileAnswersPendingForItsPolls) {
    sim::ProcessSetup host;
    sim::ServiceSetup described = setup(2);
    described.processId = sim::startProcess(host);
    sim::addService(described);
    ASSERT_TRUE(open());
    EXPECT_EQ(stop(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    const DWORD firstCheckPoint = status.dwCheckPoint;
    EXPECT_EQ(query(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_GT(status.dwCheckPoint, firstCheckPoint) << "a pending service shows its progress";
    EXPECT_NE(status.dwWaitHint, 0u);
    EXPECT_EQ(query(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_TRUE(sim::processRunning(described.processId));
    EXPECT_EQ(query(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_FALSE(sim::processRunning(described.processId));
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
}

TEST_F(SimServices, AServiceThatNeverStopsStaysPendingAndTakesNoSecondStop) {
    sim::addService(setup(-1));
    ASSERT_TRUE(open());
    EXPECT_EQ(stop(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    for (int i = 0; i < 50; ++i) ASSERT_EQ(query(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(stop(), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING)) << "a refused control still tells";
}

TEST_F(SimServices, AServiceCanRefuseTheStopOrComeBackRunning) {
    sim::ServiceSetup refusing = setup();
    refusing.acceptsStop = false;
    sim::addService(refusing);
    ASSERT_TRUE(open());
    EXPECT_EQ(stop(), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(status.dwControlsAccepted, 0u);
    sim::ServiceSetup comingBack = setup(1);
    comingBack.stateAfterStop = SERVICE_PAUSED;
    sim::addService(comingBack);
    EXPECT_EQ(stop(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(query(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(query(), static_cast<DWORD>(SERVICE_PAUSED));
    EXPECT_EQ(sim::serviceCallCounts("QvTestSvc").stopRequests, 2u) << "counts survive a new set-up";
}

TEST_F(SimServices, AStoppedServiceIsNotActiveAndAnUnknownOneDoesNotExist) {
    sim::ServiceSetup stopped = setup();
    stopped.state = SERVICE_STOPPED;
    sim::addService(stopped);
    ASSERT_TRUE(open());
    EXPECT_EQ(stop(), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(OpenServiceA(manager, "NoSuchService", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_EQ(OpenServiceA(manager, "", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(sim::serviceState("NoSuchService"), 0u);
}

TEST_F(SimServices, WithoutAdministratorRightsNoStopCanBeAskedFor) {
    sim::addService(setup());
    sim::setServiceManagerAccess(false);
    EXPECT_FALSE(open());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(OpenServiceA(manager, "QvTestSvc", SERVICE_STOP), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    service = OpenServiceA(manager, "QvTestSvc", SERVICE_QUERY_STATUS);
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(query(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(stop(), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(sim::serviceState("QvTestSvc"), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(SimServices, The9xFamilyHasNoServiceManager) {
    sim::setRelease(sim::Release::windows98);
    sim::addService(setup());
    EXPECT_EQ(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
}

TEST_F(SimServices, AServiceThatFailsItsQueriesGoesOnStopping) {
    sim::ServiceSetup failing = setup(1);
    failing.failQueries = true;
    sim::addService(failing);
    ASSERT_TRUE(open());
    EXPECT_EQ(stop(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(query(), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(query(), 0u);
    EXPECT_EQ(sim::serviceState("QvTestSvc"), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(SimServices, HandlesAreTheManagersOwnAndCloseOnce) {
    sim::addService(setup());
    ASSERT_TRUE(open());
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(service)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(OpenServiceA(reinterpret_cast<SC_HANDLE>(service), "QvTestSvc", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseServiceHandle(service));
    EXPECT_FALSE(CloseServiceHandle(service));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(query(), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    service = nullptr;
    EXPECT_EQ(OpenSCManagerA("\\\\elsewhere", nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
}

TEST_F(SimServices, AServiceWhoseProcessIsKilledHasStoppedWithAnAbortedProcess) {
    sim::ProcessSetup host;
    sim::ServiceSetup described = setup();
    described.processId = sim::startProcess(host);
    sim::addService(described);
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, described.processId);
    ASSERT_TRUE(TerminateProcess(process, 1));
    CloseHandle(process);
    ASSERT_TRUE(open());
    EXPECT_EQ(query(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwWin32ExitCode, processAborted);
    EXPECT_EQ(sim::serviceCallCounts("QvTestSvc").stopRequests, 0u);
}

} // namespace
