// Ctrl+C and Ctrl+Break for bxcli.exe. The console calls the handler on a
// thread of its own.
#include "cli/Interrupt.h"

#include <atomic>

#include "platform/win32/Windows.h"

namespace cli {

namespace {

std::atomic<bool> interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    interrupted.store(true);
    return TRUE;  // handled: the process goes on and stops its work itself
}

}  // namespace

InterruptGuard::InterruptGuard() {
    interrupted.store(false);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

InterruptGuard::~InterruptGuard() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

bool InterruptGuard::Interrupted() const {
    return interrupted.load();
}

}  // namespace cli
