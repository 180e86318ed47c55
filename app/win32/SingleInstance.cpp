#include "app/win32/SingleInstance.h"

#include "platform/win32/WideText.h"
#include "settings/Messages.h"

namespace app {

using platform::win32::UniqueKernelHandle;
using platform::win32::Widen;

bool CSingleInstance::Acquire() {
    mutex_.Reset(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    const DWORD error = GetLastError();
    if (!mutex_) {
        // Without the mutex (a name taken by another kind of object, no
        // memory) the windows are the only sign of a running copy.
        return FindWindowW(nullptr, Widen(kTrayWindowTitle).c_str()) == nullptr;
    }
    if (error == ERROR_ALREADY_EXISTS)
        return false;
    // Auto-reset: each request is taken once.
    comeForward_.Reset(CreateEventW(nullptr, FALSE, FALSE, kComeForwardEventName));
    return true;
}

void ActivateRunningInstance() {
    // Read by the running copy at the end of its start; a request that
    // arrives later reaches its tray window below.
    if (UniqueKernelHandle event{OpenEventW(EVENT_MODIFY_STATE, FALSE, kComeForwardEventName)})
        SetEvent(event.Get());

    // Posted, not sent: the running copy's thread may be busy loading the
    // Reference file for seconds, and a sent message would wait for it.
    const UINT maximize = RegisterWindowMessageW(Widen(kMaximizeFromTrayMessage).c_str());
    if (HWND tray = FindWindowW(nullptr, Widen(kTrayWindowTitle).c_str())) {
        DWORD process = 0;
        GetWindowThreadProcessId(tray, &process);
        AllowSetForegroundWindow(process);
        PostMessageW(tray, maximize, 0, 0);
        return;
    }
    // A main window without its tray window. While it starts it is not yet
    // visible and the request above brings it forward; ShowWindow on another
    // thread's window would wait for that thread, ShowWindowAsync does not.
    HWND main = FindWindowW(nullptr, Widen(kMainWindowTitle).c_str());
    if (main == nullptr || !IsWindowVisible(main))
        return;
    ShowWindowAsync(main, IsIconic(main) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(main);
}

bool TakeComeForwardRequest() {
    UniqueKernelHandle event{OpenEventW(SYNCHRONIZE, FALSE, kComeForwardEventName)};
    return event && WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0;
}

}  // namespace app
