#pragma once
// What the registry conformance cases need from the implementation under
// test: the registry itself and, where it can do it, a way to deny rights.
#include <cstdint>
#include <string_view>

#include "platform/Registry.h"

namespace conformance {

platform::Registry& ConformanceRegistry();

// Whether ConformanceDenyAccess works for this implementation.
bool ConformanceCanDenyAccess();
// Makes an open of root\path asking for any right in `mask` fail with
// kErrorAccessDenied; a mask of 0 lifts it.
void ConformanceDenyAccess(platform::HKey root, std::string_view path, std::uint32_t mask);

}  // namespace conformance
