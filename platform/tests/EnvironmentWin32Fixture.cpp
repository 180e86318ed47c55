// Under Windows (Wine) the environment cases run against the real shell and
// registry.
#include "platform/tests/EnvironmentFixture.h"
#include "platform/win32/Win32Environment.h"
#include "platform/win32/Win32Registry.h"

namespace conformance {

platform::Environment& ConformanceEnvironment() {
    static platform::win32::Win32Environment environment;
    return environment;
}

platform::Registry& ConformanceEnvironmentRegistry() {
    static platform::win32::Win32Registry registry;
    return registry;
}

}  // namespace conformance
