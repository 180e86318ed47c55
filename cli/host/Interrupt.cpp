// SIGINT for the native bxcli.
#include "cli/Interrupt.h"

#include <atomic>
#include <csignal>

namespace cli {

namespace {

// Lock-free, so the handler may set it.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

struct sigaction previous;

extern "C" void OnInterrupt(int) {
    interrupted.store(true);
}

}  // namespace

InterruptGuard::InterruptGuard() {
    interrupted.store(false);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous);
}

InterruptGuard::~InterruptGuard() {
    sigaction(SIGINT, &previous, nullptr);
}

bool InterruptGuard::Interrupted() const {
    return interrupted.load();
}

}  // namespace cli
