#pragma once
// Everything the logic may ask of the operating system, passed in explicitly.
// Each platform builds one of these over its own implementations; tests build
// their own.
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Network.h"
#include "platform/Processes.h"
#include "platform/Registry.h"

namespace platform {

struct System {
    Registry& registry;
    FileSystem& files;
    Processes& processes;
    Environment& environment;
    Clock& clock;
    Network& network;
};

}  // namespace platform
