#pragma once
// The real operating system as the logic sees it: one object holding the
// Win32 implementations and the platform::System bundle over them.
#include "platform/System.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32Environment.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Network.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Registry.h"

namespace app {

struct Win32Platform {
    platform::win32::Win32Registry registry;
    platform::win32::Win32FileSystem files;
    platform::win32::Win32Processes processes;
    platform::win32::Win32Environment environment;
    platform::win32::Win32Clock clock;
    platform::win32::Win32Network network;
    platform::System system{registry, files, processes, environment, clock, network};

    Win32Platform() = default;
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;
};

}  // namespace app
