// The launch query decoder over arbitrary bytes: whatever it accepts must
// encode back to the same message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "realtime/LaunchMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto query = realtime::DecodeLaunchMessage(data, size);
    if (!query)
        return 0;
    if (query->caller.size() > realtime::kLaunchTextMax ||
        query->executable.size() > realtime::kLaunchTextMax) {
        std::abort();
    }
    realtime::LaunchMessageBytes bytes;
    if (!realtime::EncodeLaunchMessage(query->caller, query->executable, &bytes))
        std::abort();
    auto again = realtime::DecodeLaunchMessage(bytes.data(), bytes.size());
    if (!again || again->caller != query->caller || again->executable != query->executable)
        std::abort();
    return 0;
}
