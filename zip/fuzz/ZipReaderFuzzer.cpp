// Opens arbitrary bytes as an archive, lists it and extracts every member
// into memory, once without and once with a password.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "zip/ZipNames.h"
#include "zip/ZipReader.h"
#include "zip/ZipWriter.h"

namespace {

constexpr std::uint64_t kMemberCap = 1u << 20;

void ExtractEverything(std::string_view bytes, std::string_view password) {
    zip::MemorySource source(bytes);
    zip::Reader reader;
    if (!reader.Open(source, password).Ok())
        return;
    std::string data;
    for (std::size_t i = 0; i < reader.Count(); ++i) {
        const zip::Member& member = reader.At(i);
        (void)zip::IsSafeMemberName(member.utf8Name);
        (void)reader.Find(member.name, true);
        if (reader.ExtractToMemory(i, &data, kMemberCap).Ok() && data.size() != member.size)
            __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ExtractEverything(bytes, {});
    ExtractEverything(bytes, "tindrake_7_vlts");
    // Copying members unchanged must not trip over what the reader accepted.
    zip::MemorySource source(bytes);
    std::string copy;
    zip::StringSink sink(copy, 8u << 20);
    if (zip::RewriteKeeping(
            source, [](const zip::Member&) { return true; }, sink)
            .Ok()) {
        zip::MemorySource copied(copy);
        zip::Reader reader;
        if (!reader.Open(copied).Ok())
            __builtin_trap();
    }
    return 0;
}
