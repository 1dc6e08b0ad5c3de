#include "cli/CancelOnInterrupt.h"

namespace cli {

namespace {

// The cancel flag of the running export, set by SIGINT and SIGTERM. A store
// to a lock-free atomic is safe in a signal handler.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int) { interrupted.store(true); }

}  // namespace

CancelOnInterrupt::CancelOnInterrupt() {
    interrupted.store(false);
#ifdef _WIN32
    oldInt_ = std::signal(SIGINT, onInterrupt);
    oldTerm_ = std::signal(SIGTERM, onInterrupt);
#else
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    // Restarted calls: a write under way goes on instead of failing
    // with EINTR, and the run stops at its next picture.
    sa.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &sa, &oldInt_);
    sigaction(SIGTERM, &sa, &oldTerm_);
#endif
}
CancelOnInterrupt::~CancelOnInterrupt() {
#ifdef _WIN32
    std::signal(SIGINT, oldInt_);
    std::signal(SIGTERM, oldTerm_);
#else
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
#endif
}

const std::atomic<bool>* CancelOnInterrupt::flag() const { return &interrupted; }

}  // namespace cli
