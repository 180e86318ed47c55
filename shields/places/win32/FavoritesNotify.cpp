#include "shields/places/win32/FavoritesNotify.h"

#include <shlobj.h>

namespace shields::win32 {

ULONG RegisterFavoritesNotifications(HWND window, UINT message) {
    PIDLIST_ABSOLUTE folder = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(window, CSIDL_FAVORITES, &folder)) || folder == nullptr)
        return 0;
    SHChangeNotifyEntry entry{};
    entry.pidl = folder;
    entry.fRecursive = TRUE;
    const ULONG registration = SHChangeNotifyRegister(
        window, SHCNRF_InterruptLevel | SHCNRF_ShellLevel, kFavoritesEvents, message, 1, &entry);
    CoTaskMemFree(folder);
    return registration;
}

void UnregisterFavoritesNotifications(ULONG registration) {
    if (registration != 0)
        SHChangeNotifyDeregister(registration);
}

}  // namespace shields::win32
