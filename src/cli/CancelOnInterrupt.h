#pragma once
// Ctrl+C (SIGINT) and SIGTERM during a kalvero-cli export or burn.
#include <atomic>
#include <csignal>

#ifndef _WIN32
#include <signal.h>
#endif

namespace cli {

// While it lives, Ctrl+C (SIGINT) and SIGTERM ask the export to stop at its
// next picture, which then removes what it wrote, as the window's Cancel
// does. The handler is taken away after the first signal, so that a second
// Ctrl+C ends the program at once.
class CancelOnInterrupt {
public:
    CancelOnInterrupt();
    ~CancelOnInterrupt();
    CancelOnInterrupt(const CancelOnInterrupt&) = delete;
    CancelOnInterrupt& operator=(const CancelOnInterrupt&) = delete;

    // Set by the first signal while the guard lives.
    const std::atomic<bool>* flag() const;
    bool cancelled() const { return flag()->load(); }

private:
#ifdef _WIN32
    void (*oldInt_)(int) = SIG_DFL;
    void (*oldTerm_)(int) = SIG_DFL;
#else
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
#endif
};

}  // namespace cli
