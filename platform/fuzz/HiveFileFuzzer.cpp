// A hive file from a disk is outside input: any bytes must be refused with a
// message or load, and what loaded must take a change and be written back.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/host/HiveFile.h"
#include "platform/host/MemoryRegistry.h"

namespace {

const std::string& ScratchFile() {
    static const std::string path = [] {
        char name[] = "/tmp/bx-hive-fuzz-XXXXXX";
        int fd = mkstemp(name);
        if (fd >= 0)
            close(fd);
        return std::string(name);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& file = ScratchFile();
    std::remove((file + std::string(platform::host::kHiveBackupSuffix)).c_str());
    if (FILE* out = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    } else {
        return 0;
    }
    platform::host::MemoryRegistry registry;
    platform::host::MountedHive hive;
    std::string error;
    if (!hive.Open(file, &error) ||
        !hive.Load(registry, platform::kHkeyLocalMachine, "SOFTWARE", {}, &error)) {
        if (error.empty())
            __builtin_trap();
        return 0;
    }
    platform::HKey key = platform::kNullKey;
    if (registry.CreateKey(platform::kHkeyLocalMachine, "SOFTWARE\\BrindlexFuzz", 0,
                           platform::kKeyAllAccess, &key, nullptr) != platform::kSuccess)
        __builtin_trap();
    const char text[] = "x";
    registry.SetValue(key, "v", platform::kRegSz, text, sizeof(text));
    registry.CloseKey(key);
    bool changed = false;
    if (!hive.Save(registry, &changed, &error) && error.empty())
        __builtin_trap();
    return 0;
}
