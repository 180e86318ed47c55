// The manifest of a backup archive comes from a file anyone could have
// replaced: reading it must never crash, and every record read must come
// from a "[TYPE:" line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "removal/Restore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view manifest(reinterpret_cast<const char*>(data), size);
    const std::vector<removal::BackupItem> items = removal::ReadManifest(manifest);
    // Each record takes at least three lines, one of them with "TYPE".
    if (items.size() > manifest.size() / 3 + 1)
        std::abort();
    for (const removal::BackupItem& item : items) {
        if (item.kind.size() > size || item.name.size() > size || item.path.size() > size)
            std::abort();
    }
    removal::GetManifestField(manifest, "DEST_PATH");
    return 0;
}
