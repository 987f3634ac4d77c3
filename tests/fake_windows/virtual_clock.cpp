// The running system's clock: a wait costs no time, it only moves the clock
// on, so that tests run at once and can read how long the engine waited.
#include "fake_state.h"

namespace sim {

uint64_t sleptMilliseconds() { return fake().clockMilliseconds; }

} // namespace sim

void Sleep(DWORD milliseconds) { sim::fake().clockMilliseconds += milliseconds; }
