// butils.dll: loaded into a process, it guards that process's launches until
// it is unloaded again.
#include "butils/LaunchGuard.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            ::DisableThreadLibraryCalls(instance);
            butils::InstallLaunchGuard(instance);
            break;
        case DLL_PROCESS_DETACH:
            // A non-null `reserved` means the process is ending.
            butils::RemoveLaunchGuard(reserved != nullptr);
            break;
        default:
            break;
    }
    return TRUE;
}
