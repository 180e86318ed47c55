#pragma once
// The shields' watcher threads in the Windows program: the registry monitor
// and the folder watchers, all reporting to the main window with
// SendMessage, so that every shield decision runs on the window's thread.
#include <memory>
#include <vector>

#include "platform/Registry.h"
#include "platform/win32/Windows.h"
#include "shields/RegistryChangeMonitor.h"
#include "shields/Shield.h"
#include "shields/win32/FolderWatchThread.h"

namespace shields::win32 {

class ShieldWatchers : public WatchRequests {
  public:
    // `owner` receives WM_SHIELD_KEY_CHANGED and the folder messages.
    ShieldWatchers(platform::Registry& registry, HWND owner);
    ~ShieldWatchers() override;

    void WatchKey(const KeyWatch& watch) override;
    void WatchFolder(const FolderWatch& watch) override;

    // Ends every thread. Runs on the owner's thread, which goes on taking
    // the messages the threads are sending meanwhile (their handlers are
    // expected to ignore them by now).
    void StopAll();
    // Threads still running.
    std::size_t Running() const;

  private:
    HWND owner_;
    CRegistryChangeMonitor monitor_;
    std::vector<std::unique_ptr<FolderWatchThread>> folders_;
};

// Takes the messages sent to this thread for up to `ms` milliseconds.
void TakeSentMessages(DWORD ms);

}  // namespace shields::win32
