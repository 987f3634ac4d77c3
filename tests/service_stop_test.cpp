// Stopping a service: the answers of the service control manager, the
// one-second waits while a service is stopping, and the bound on them.
#include <gtest/gtest.h>

#include "engine_test.h"
#include "fake_windows.h"
#include "service_stop.h"

namespace {

const char* const serviceName = "karsvc";
constexpr uint64_t pollPause = 1000; // ms between two status queries

class ServiceStop : public EngineTest {
protected:
    void addService(int pendingPolls, DWORD stateAfterStop = SERVICE_STOPPED, const char* name = serviceName) {
        sim::ServiceSetup setup;
        setup.name = name;
        setup.stopPendingPolls = pendingPolls;
        setup.stateAfterStop = stateAfterStop;
        sim::addService(setup);
    }
};

TEST_F(ServiceStop, ServiceStoppedInItsAnswerIsAskedOnceAndNotWaitedFor) {
    addService(0);
    EXPECT_EQ(stopService(serviceName, true), 1);
    EXPECT_EQ(sim::serviceState(serviceName), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(sim::sleptMilliseconds(), 0u);
    EXPECT_EQ(sim::serviceCallCounts(serviceName).statusQueries, 1u);
}

// The status is asked at once after the stop request, before any pause.
TEST_F(ServiceStop, ServiceStillStoppingWhenAskedIsWaitedForOnceAPoll) {
    addService(1); // the stop request's answer and the first query say stopping
    EXPECT_EQ(stopService(serviceName, true), 1);
    EXPECT_EQ(sim::sleptMilliseconds(), pollPause);
    EXPECT_EQ(sim::serviceCallCounts(serviceName).statusQueries, 2u);

    addService(2, SERVICE_STOPPED, "karsvc2"); // two queries say stopping: two pauses more
    EXPECT_EQ(stopService("karsvc2", true), 1);
    EXPECT_EQ(sim::sleptMilliseconds(), 3 * pollPause);
    EXPECT_EQ(sim::serviceCallCounts("karsvc2").statusQueries, 3u);
    EXPECT_EQ(sim::serviceState("karsvc2"), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ServiceStop, ServiceThatNeverFinishesStoppingIsGivenUpOnAfterTheBound) {
    addService(-1);
    EXPECT_EQ(stopService(serviceName, true), 0);
    EXPECT_EQ(sim::serviceCallCounts(serviceName).statusQueries, static_cast<unsigned>(serviceStopPollLimit + 1));
    EXPECT_EQ(sim::sleptMilliseconds(), serviceStopPollLimit * pollPause);
}

TEST_F(ServiceStop, ServiceEndingInAnotherStateIsNotStopped) {
    for (DWORD state : {static_cast<DWORD>(SERVICE_RUNNING), static_cast<DWORD>(SERVICE_PAUSED)}) {
        addService(1, state);
        EXPECT_EQ(stopService(serviceName, true), 0) << state;
    }
}

TEST_F(ServiceStop, FailingQueryEndsTheWaitWithTheLastStatus) {
    sim::ServiceSetup setup;
    setup.name = serviceName;
    setup.stopPendingPolls = 3;
    setup.failQueries = true;
    sim::addService(setup);
    EXPECT_EQ(stopService(serviceName, true), 0); // last heard of: still stopping
    EXPECT_EQ(sim::serviceCallCounts(serviceName).statusQueries, 1u);
}

TEST_F(ServiceStop, RefusedOrNeedlessStopIsNotAStop) {
    sim::ServiceSetup refusing;
    refusing.name = serviceName;
    refusing.acceptsStop = false;
    sim::addService(refusing);
    EXPECT_EQ(stopService(serviceName, true), 0);
    EXPECT_EQ(sim::serviceState(serviceName), static_cast<DWORD>(SERVICE_RUNNING));

    sim::ServiceSetup stopped;
    stopped.name = "idle";
    stopped.state = SERVICE_STOPPED;
    sim::addService(stopped);
    EXPECT_EQ(stopService("idle", true), 0);
}

TEST_F(ServiceStop, UnknownServiceIsNeverAskedToStop) {
    EXPECT_EQ(stopService(serviceName, true), 0);
    EXPECT_EQ(sim::serviceCallCounts(serviceName).stopRequests, 0u);
}

TEST_F(ServiceStop, UserWithoutManagerRightsStopsNothing) {
    addService(0);
    sim::setServiceManagerAccess(false);
    EXPECT_EQ(stopService(serviceName, true), 0);
    EXPECT_EQ(stopService(serviceName, false), 0);
    EXPECT_EQ(sim::serviceState(serviceName), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(ServiceStop, WithoutStopItOnlyTellsWhetherTheServiceCanBeOpened) {
    addService(0);
    EXPECT_EQ(stopService(serviceName, false), 1);
    EXPECT_EQ(stopService("absent", false), 0);
    EXPECT_EQ(sim::serviceState(serviceName), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(sim::serviceCallCounts(serviceName).stopRequests, 0u);
}

TEST_F(ServiceStop, NineXFamilyHasNoServiceManager) {
    sim::setRelease(sim::Release::windows98);
    addService(0);
    EXPECT_EQ(stopService(serviceName, true), 0);
}

} // namespace
