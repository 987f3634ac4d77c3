// The fixture of the engine tests: a fresh scan record, a folder on drive C:
// and a window that records every report.
#ifndef QUORVANE_TESTS_SUPPORT_ENGINE_TEST_H
#define QUORVANE_TESTS_SUPPORT_ENGINE_TEST_H

#include <gtest/gtest.h>

#include "scan_state.h"
#include "test_machine.h"

// Constructed first, so that the members below find a clean record.
struct FreshScanState {
    FreshScanState() {
        resetScanState();
        resetQuestions();
    }
};

class EngineTest : public ::testing::Test, protected FreshScanState {
protected:
    EngineTest() {
        drainMessages();
        scanState.probeOnly = false; // a drive walk, not a probe of one process image
    }

    TestFolder folder;
    ReportWindow window;
};

#endif // QUORVANE_TESTS_SUPPORT_ENGINE_TEST_H
