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

namespace platform::win32 {

struct Win32System {
    Win32Registry registry;
    Win32FileSystem files;
    Win32Processes processes;
    Win32Environment environment;
    Win32Clock clock;
    Win32Network network;
    System system{registry, files, processes, environment, clock, network};

    Win32System() = default;
    Win32System(const Win32System&) = delete;
    Win32System& operator=(const Win32System&) = delete;
};

}  // namespace platform::win32
