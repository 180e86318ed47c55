#pragma once
// The shell's change notifications for the Favorites folder and its
// subfolders, delivered to a window as one message.
#include "platform/win32/Windows.h"

#include <string>

namespace shields::win32 {

// Rename item, create, make folder, update folder, update item, rename
// folder.
inline constexpr LONG kFavoritesEvents = 0x2300B;

// Registers `window` for `message` about changes in the current user's
// Favorites folder and below. 0 when the folder has no item identifier list
// or the shell refuses the registration.
ULONG RegisterFavoritesNotifications(HWND window, UINT message);
void UnregisterFavoritesNotifications(ULONG registration);

}  // namespace shields::win32
