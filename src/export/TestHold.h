#pragma once
#include <atomic>

// Test hook: with KALVERO_TEST_HOLD_AFTER_SETS=N in the environment, an
// export about to draw set N (counted from 0) or a later one waits there
// until it is cancelled, for at most two minutes. A test can then cancel a
// run that is surely still under way, however fast the machine is. Without
// the variable nothing waits.
void holdForTestsBeforeSet(int set, const std::atomic<bool>* cancel);
