// The environment cases run natively against the described machine over the
// in-memory registry.
#include "platform/host/HostEnvironment.h"
#include "platform/host/MemoryRegistry.h"
#include "platform/tests/EnvironmentFixture.h"

namespace conformance {

namespace {
struct Host {
    platform::host::MemoryRegistry registry;
    platform::host::HostEnvironment environment;
    Host() {
        registry.LinkCurrentUser(environment.UserSid());
        environment.ReadShellFoldersFrom(&registry);
    }
};
Host& TheHost() {
    static Host host;
    return host;
}
}  // namespace

platform::Environment& ConformanceEnvironment() {
    return TheHost().environment;
}

platform::Registry& ConformanceEnvironmentRegistry() {
    return TheHost().registry;
}

}  // namespace conformance
