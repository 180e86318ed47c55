#pragma once
// `CSystemInfo`: what the program learns about the machine once at start.
// Of it, start-up only uses the version name (for the isXP flag); the rest
// is kept for the About box and support questions.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/System.h"

namespace app {

struct ProcessMemory {
    std::uint64_t workingSet = 0;
    std::uint64_t peakWorkingSet = 0;
    std::uint64_t pagefileUsage = 0;
};

class CSystemInfo {
  public:
    // Gathers everything, in the order listed below.
    void Gather(platform::System& system);

    std::string versionName;
    // Absent where "psapi.dll" does not offer GetProcessMemoryInfo.
    std::optional<ProcessMemory> memory;
    unsigned processorCount = 0;
    std::string processorIdentifier;
    std::string processorVendor;
    std::string processorName;
    std::uint32_t processorMhz = 0;
    // "SOFTWARE\Microsoft\Internet Explorer" "Version", as "%d.%d.%d.%d".
    int browserVersion[4] = {0, 0, 0, 0};
    std::string dataAccessVersion;
    bool isAdministrator = false;
    std::string userName;
    std::string executablePath;
};

}  // namespace app
