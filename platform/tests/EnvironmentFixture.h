#pragma once
// What the environment conformance cases need from the implementation under
// test: the environment and the registry it takes the user's folders from.
#include "platform/Environment.h"
#include "platform/Registry.h"

namespace conformance {

platform::Environment& ConformanceEnvironment();
platform::Registry& ConformanceEnvironmentRegistry();

}  // namespace conformance
