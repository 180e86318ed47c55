#include "schedule/win32/ScheduleWaiter.h"

#include <memory>

#include "settings/Messages.h"

namespace schedule {

namespace {

// What the waiting thread is given; it lives in the waiter, which outlives
// the thread (Cancel waits for it).
struct WaitContext {
    HANDLE timer;
    HANDLE stop;
    HWND target;
    unsigned wait;
    std::atomic<unsigned>* sending;
};

// 100-nanosecond steps; a negative due time is relative to now.
constexpr std::int64_t kStepsPerSecond = 10000000;

}  // namespace

CScheduleWaiter::~CScheduleWaiter() {
    Cancel();
}

CScheduleWaiter::Result CScheduleWaiter::Start(HWND target, std::int64_t delaySeconds) {
    Cancel();
    if (!timer_)
        timer_.Reset(CreateWaitableTimerW(nullptr, FALSE, kTimerName));
    if (!stop_)
        stop_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!timer_ || !stop_)
        return Result::kTimerFailed;
    LARGE_INTEGER due{};
    due.QuadPart = -(delaySeconds > 0 ? delaySeconds : 0) * kStepsPerSecond;
    if (!SetWaitableTimer(timer_.Get(), &due, 0, nullptr, nullptr, FALSE))
        return Result::kTimerFailed;

    ++wait_;
    auto context = std::make_unique<WaitContext>(
        WaitContext{timer_.Get(), stop_.Get(), target, wait_, &sending_});
    thread_.Reset(CreateThread(nullptr, 0, &CScheduleWaiter::Wait, context.get(), 0, nullptr));
    if (!thread_) {
        CancelWaitableTimer(timer_.Get());
        return Result::kThreadFailed;
    }
    // The thread owns it now.
    context.release();
    SetThreadPriority(thread_.Get(), THREAD_PRIORITY_TIME_CRITICAL);
    return Result::kArmed;
}

DWORD WINAPI CScheduleWaiter::Wait(void* parameter) {
    const std::unique_ptr<WaitContext> context(static_cast<WaitContext*>(parameter));
    const HANDLE handles[] = {context->timer, context->stop};
    if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0) {
        context->sending->store(context->wait);
        SendMessageW(context->target, app::WM_START_SCHEDULED_SCAN, 0, 0);
        context->sending->store(0);
    }
    return 0;
}

void CScheduleWaiter::Cancel() {
    if (timer_)
        CancelWaitableTimer(timer_.Get());
    if (!thread_)
        return;
    // From here on a message of the wait being ended is stale.
    ++wait_;
    SetEvent(stop_.Get());
    const HANDLE thread = thread_.Get();
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) ==
           WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    thread_.Reset();
    ResetEvent(stop_.Get());
}

bool CScheduleWaiter::armed() const {
    return thread_ && WaitForSingleObject(thread_.Get(), 0) == WAIT_TIMEOUT && sending_.load() == 0;
}

bool CScheduleWaiter::IsStale() const {
    const unsigned sending = sending_.load();
    return sending != 0 && sending != wait_;
}

}  // namespace schedule
