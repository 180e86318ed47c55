#pragma once
// `FolderWatchThread`: one thread per watched folder, blocked in a change
// notification; each change is sent to the program's main window as the
// watch's message, and the notification is re-armed once it was handled.
// A folder that cannot be watched (missing, vanished, no access) is tried
// again every few seconds: the thread never spins and never sends for it.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Windows.h"

namespace shields::win32 {

class FolderWatchThread {
  public:
    // The window to tell, asked at each change (the main window of the
    // moment); null sends nothing.
    using Target = std::function<HWND()>;

    FolderWatchThread(std::string folder, DWORD filter, UINT message, Target target,
                      DWORD retryMs = 5000);
    ~FolderWatchThread();
    FolderWatchThread(const FolderWatchThread&) = delete;
    FolderWatchThread& operator=(const FolderWatchThread&) = delete;

    bool Start();
    // Asks the thread to end; Ended() tells when it has.
    void RequestStop();
    bool Ended() const { return ended_.load(); }
    void Join();

    const std::string& folder() const { return folder_; }
    // Notifications created so far (the first and every retry).
    int armCount() const { return armed_.load(); }

  private:
    void Run();

    std::string folder_;
    DWORD filter_;
    UINT message_;
    Target target_;
    DWORD retryMs_;
    platform::win32::UniqueKernelHandle stop_;
    std::atomic<bool> ended_{false};
    std::atomic<int> armed_{0};
    std::thread thread_;
};

}  // namespace shields::win32
