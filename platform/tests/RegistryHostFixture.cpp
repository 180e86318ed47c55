// The conformance cases run natively against the in-memory registry.
#include "platform/host/MemoryRegistry.h"
#include "platform/tests/RegistryFixture.h"

namespace conformance {

namespace {
platform::host::MemoryRegistry& Host() {
    static platform::host::MemoryRegistry registry;
    return registry;
}
}  // namespace

platform::Registry& ConformanceRegistry() {
    return Host();
}

bool ConformanceCanDenyAccess() {
    return true;
}

void ConformanceDenyAccess(platform::HKey root, std::string_view path, std::uint32_t mask) {
    Host().DenyAccess(root, path, mask);
}

}  // namespace conformance
