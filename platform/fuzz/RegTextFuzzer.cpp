// .reg text from a user or a backup is outside input: importing any bytes
// must fail cleanly or load, and what loaded must export and import again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/host/MemoryRegistry.h"
#include "platform/host/RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    platform::host::MemoryRegistry registry;
    std::string error;
    if (platform::host::ImportRegText(registry, bytes, &error) != platform::kSuccess) {
        if (error.empty())
            __builtin_trap();
        return 0;
    }
    for (auto format :
         {platform::host::RegFormat::kRegedit4, platform::host::RegFormat::kVersion5}) {
        std::string text;
        if (platform::host::SaveAll(registry, format, &text) != platform::kSuccess)
            __builtin_trap();
        platform::host::MemoryRegistry copy;
        if (platform::host::ImportRegText(copy, text, &error) != platform::kSuccess)
            __builtin_trap();
    }
    return 0;
}
