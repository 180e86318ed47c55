#pragma once
// One running copy of the program per session. The first copy takes a
// named mutex before anything else, so a second start is recognised even
// while the first is still loading its Reference file and has none of the
// windows by which it is found later. The second copy asks the first to
// come forward without ever waiting for it: it sets a named event (read by
// the first once its main window is initialised) and posts, never sends,
// to the windows that exist.
#include "platform/win32/UniqueHandle.h"

namespace app {

// Names of the kernel objects; the installer looks for the mutex too.
inline constexpr const wchar_t* kInstanceMutexName = L"Local\\Brindlex5.Instance";
inline constexpr const wchar_t* kComeForwardEventName = L"Local\\Brindlex5.ComeForward";

class CSingleInstance {
  public:
    // Takes the instance mutex and creates the come-forward event; false
    // when another copy already runs.
    bool Acquire();

  private:
    platform::win32::UniqueKernelHandle mutex_;
    platform::win32::UniqueKernelHandle comeForward_;
};

// The second copy's side: brings the running copy forward (its tray window
// restores the main window, or else a visible main window is shown and made
// the foreground window), or asks it to come forward once it has started.
// Returns at once whatever the running copy is doing.
void ActivateRunningInstance();

// The running copy's side: true once when a second start asked for the
// window since the last call.
bool TakeComeForwardRequest();

}  // namespace app
