#pragma once
#include <atomic>
#include <functional>

// Test hook: with KALVERO_TEST_HOLD_AFTER_SETS=N in the environment, an
// export about to draw set N (counted from 0) or a later one waits there
// until it is cancelled, for at most two minutes. A test can then cancel a
// run that is surely still under way, however fast the machine is. Without
// the variable nothing waits. `idle` (when given) runs while it waits, so a
// window running the export on its own thread still sees the Cancel.
void holdForTestsBeforeSet(int set, const std::atomic<bool>* cancel, const std::function<void()>& idle = {});
