#include "app/win32/ScannerApp.h"

#include "platform/win32/Windows.h"

#include <commctrl.h>
#include <objbase.h>

#include "app/Messages.h"
#include "app/Startup.h"
#include "app/SystemInfo.h"
#include "app/win32/MainDialog.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32System.h"
#include "refdb/ReferenceDatabase.h"
#include "scan/ResultRows.h"
#include "ui/MessageBoxPrompts.h"

namespace app {

using platform::win32::Narrow;
using platform::win32::Widen;

void ActivateRunningInstance() {
    const UINT maximize = RegisterWindowMessageW(Widen(kMaximizeFromTrayMessage).c_str());
    if (HWND tray = FindWindowW(nullptr, Widen(kTrayWindowTitle).c_str())) {
        SendMessageW(tray, maximize, 0, 0);
        return;
    }
    HWND main = FindWindowW(nullptr, Widen(kMainWindowTitle).c_str());
    if (main == nullptr)
        return;
    ShowWindow(main, IsIconic(main) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(main);
}

int CScannerApp::InitInstance() {
    // 1. Common controls and COM for the shell dialogs.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    // 2. A second instance only brings the first forward.
    if (FindWindowW(nullptr, Widen(kTrayWindowTitle).c_str()) != nullptr) {
        ActivateRunningInstance();
        if (SUCCEEDED(com))
            CoUninitialize();
        return 0;
    }

    platform::win32::Win32System windows;
    // 3. The machine; the bitmap dialogs paint their texts over the part of
    // their bitmap under each text on every system, which also covers what
    // the isXP flag asks for.
    systemInfo.Gather(windows.system);
    isXP = IsXP(systemInfo.versionName);

    // 5. and 6. First run and command line.
    settings::SettingsStore settings(windows.system);
    LaunchOptions options = PrepareLaunch(settings, Narrow(GetCommandLineW()));

    // 7. The main window, modal for the whole run.
    refdb::ReferenceDatabase database(windows.system);
    scan::ResultRows rows;
    AppContext context{windows.system, database, rows, windows.processes.ModuleFileName()};
    ui::MessageBoxPrompts prompts;
    {
        CMainDialog main(context, options, prompts, prompts);
        main.DoModal();
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return 0;
}

}  // namespace app
