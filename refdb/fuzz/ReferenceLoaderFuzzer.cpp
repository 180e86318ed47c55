// The whole loader on hostile markup: parsing, sections, macros, ":AllRoots:"
// and the indexes, with the ignore text taken from the input too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/tests/support/TestSystem.h"
#include "refdb/ReferenceDatabase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static testsupport::TestSystem* host = [] {
        auto* system = new testsupport::TestSystem();
        system->files().MapDrive('E', system->driveC().string(), platform::DriveType::kFixed);
        return system;
    }();
    std::string input(reinterpret_cast<const char*>(data), size);
    // The first line is the ignore text, the rest the markup.
    std::size_t newline = input.find('\n');
    std::string ignore = newline == std::string::npos ? std::string() : input.substr(0, newline);
    std::string markup = newline == std::string::npos ? input : input.substr(newline + 1);

    refdb::ReferenceDatabase db(host->system());
    if (db.LoadMarkup(markup, ignore)) {
        // Every index must point into the loaded entries.
        for (const refdb::ChecksumRef& ref : db.checksums()) {
            if (ref.md5().empty() || ref.entry == nullptr)
                __builtin_trap();
        }
        for (const refdb::CacheFileRef& ref : db.cacheFiles()) {
            if (ref.file->path.size() != 0)
                __builtin_trap();
        }
        for (const refdb::ExeRecord& exe : db.executables()) {
            if (exe.entry == nullptr)
                __builtin_trap();
        }
    } else if (!db.entries().empty()) {
        __builtin_trap();
    }
    return 0;
}
