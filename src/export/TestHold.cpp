#include "export/TestHold.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

int holdFrom() {
    static const int n = [] {
        const char* v = std::getenv("KALVERO_TEST_HOLD_AFTER_SETS");
        if (!v || !*v) return -1;
        char* end = nullptr;
        const long n = std::strtol(v, &end, 10);
        return (*end == '\0' && n >= 0 && n < 1000000) ? int(n) : -1;
    }();
    return n;
}

}  // namespace

void holdForTestsBeforeSet(int set, const std::atomic<bool>* cancel, const std::function<void()>& idle) {
    const int from = holdFrom();
    if (from < 0 || set < from || !cancel) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!cancel->load() && std::chrono::steady_clock::now() < until) {
        if (idle) idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}
