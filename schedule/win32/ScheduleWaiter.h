#pragma once
// The schedule waiter: a thread that sleeps on the auto-reset waitable timer
// "UPDATION_TIMER" and, when it fires, sends WM_START_SCHEDULED_SCAN to the
// main window. Arming again, or switching the schedule off, cancels the wait
// armed before: a stale timer would start scans nobody scheduled.
#include <atomic>
#include <cstdint>

#include "platform/win32/UniqueHandle.h"

namespace schedule {

inline constexpr const wchar_t* kTimerName = L"UPDATION_TIMER";
inline constexpr const char* kTimerFailedText = "Error Occured, Scheduled Scan will not work";
inline constexpr const char* kThreadFailedText = "Failed to Set Scheduled Scan";

class CScheduleWaiter {
  public:
    CScheduleWaiter() = default;
    ~CScheduleWaiter();
    CScheduleWaiter(const CScheduleWaiter&) = delete;
    CScheduleWaiter& operator=(const CScheduleWaiter&) = delete;

    enum class Result { kArmed, kTimerFailed, kThreadFailed };
    // `StartScheduleTimer`: cancels any earlier wait, sets the timer to fire
    // `delaySeconds` from now and starts the waiting thread at time-critical
    // priority, which then sends the message to `target` and ends.
    Result Start(HWND target, std::int64_t delaySeconds);
    // Ends the wait, if any, and stops the timer. Runs the messages sent to
    // this thread meanwhile, so that a waiter caught sending is not
    // deadlocked (IsStale() tells its message apart).
    void Cancel();

    // A thread is waiting for the timer.
    bool armed() const;
    // While WM_START_SCHEDULED_SCAN is handled: true when it comes from a
    // wait that was cancelled after its timer fired, so no scan may start.
    bool IsStale() const;

  private:
    static DWORD WINAPI Wait(void* parameter);

    platform::win32::UniqueKernelHandle timer_;
    platform::win32::UniqueKernelHandle stop_;
    platform::win32::UniqueKernelHandle thread_;
    // Each wait has its number; 0 is none.
    unsigned wait_ = 0;
    std::atomic<unsigned> sending_{0};
};

}  // namespace schedule
