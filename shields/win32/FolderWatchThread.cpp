#include "shields/win32/FolderWatchThread.h"

#include "platform/win32/WideText.h"

namespace shields::win32 {

FolderWatchThread::FolderWatchThread(std::string folder, DWORD filter, UINT message, Target target,
                                     DWORD retryMs)
    : folder_(std::move(folder)),
      filter_(filter),
      message_(message),
      target_(std::move(target)),
      retryMs_(retryMs),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

FolderWatchThread::~FolderWatchThread() {
    RequestStop();
    Join();
}

bool FolderWatchThread::Start() {
    if (!stop_ || thread_.joinable())
        return false;
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void FolderWatchThread::RequestStop() {
    if (stop_)
        SetEvent(stop_.Get());
}

void FolderWatchThread::Join() {
    if (thread_.joinable())
        thread_.join();
}

void FolderWatchThread::Run() {
    const std::wstring path = platform::win32::Widen(folder_);
    for (;;) {
        HANDLE change = path.empty() ? INVALID_HANDLE_VALUE
                                     : FindFirstChangeNotificationW(path.c_str(), FALSE, filter_);
        ++armed_;
        if (change == INVALID_HANDLE_VALUE) {
            if (WaitForSingleObject(stop_.Get(), retryMs_) != WAIT_TIMEOUT)
                break;
            continue;
        }
        bool stop = false;
        for (;;) {
            HANDLE events[2] = {stop_.Get(), change};
            const DWORD woke = WaitForMultipleObjects(2, events, FALSE, INFINITE);
            if (woke != WAIT_OBJECT_0 + 1) {
                stop = true;
                break;
            }
            if (HWND window = target_ ? target_() : nullptr)
                SendMessageW(window, message_, 0, 0);
            // A folder that went away cannot be re-armed: start over after
            // the pause.
            if (!FindNextChangeNotification(change))
                break;
        }
        FindCloseChangeNotification(change);
        if (stop || WaitForSingleObject(stop_.Get(), retryMs_) != WAIT_TIMEOUT)
            break;
    }
    ended_ = true;
}

}  // namespace shields::win32
