// Under Windows (Wine) the conformance cases run against the real registry.
#include "platform/tests/RegistryFixture.h"
#include "platform/win32/Win32Registry.h"

namespace conformance {

platform::Registry& ConformanceRegistry() {
    static platform::win32::Win32Registry registry;
    return registry;
}

// Denying rights would take security descriptors, which Wine does not
// enforce on keys.
bool ConformanceCanDenyAccess() {
    return false;
}

void ConformanceDenyAccess(platform::HKey, std::string_view, std::uint32_t) {}

}  // namespace conformance
