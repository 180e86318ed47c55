#include "app/win32/ScannerApp.h"

#include "platform/win32/Windows.h"

#include <commctrl.h>
#include <objbase.h>

#include "app/Startup.h"
#include "app/SystemInfo.h"
#include "app/win32/MainDialog.h"
#include "app/win32/SingleInstance.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32System.h"
#include "refdb/ReferenceDatabase.h"
#include "scan/ResultRows.h"
#include "ui/MessageBoxPrompts.h"

namespace app {

using platform::win32::Narrow;

int CScannerApp::InitInstance() {
    // 2. A second instance only brings the first forward. Checked before
    // anything else, and through a mutex rather than the tray window
    // "Brindlex5", which the first copy makes only once its Reference file
    // is loaded.
    CSingleInstance instance;
    if (!instance.Acquire()) {
        ActivateRunningInstance();
        return 0;
    }

    // 1. Common controls and COM for the shell dialogs.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

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
