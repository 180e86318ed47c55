// The conformance cases against a registry whose current user comes from a
// hive file: the cases run, every change is written back into the hive, and
// the hive must then read back and hold what the registry holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/host/HiveFile.h"
#include "platform/host/MemoryRegistry.h"
#include "platform/host/RegFile.h"
#include "platform/tests/RegistryFixture.h"

namespace conformance {

namespace {

struct HiveHost {
    std::filesystem::path dir;
    std::string file;
    platform::host::MemoryRegistry registry;
    platform::host::MountedHive hive;

    HiveHost() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "bxhiveconf.XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        dir = pattern;
        file = (dir / "NTUSER.DAT").string();
        std::string error;
        if (!platform::host::WriteEmptyHive(file, &error) || !hive.Open(file, &error) ||
            !hive.Load(registry, platform::kHkeyCurrentUser, "", {}, &error)) {
            ADD_FAILURE() << error;
        }
    }
    ~HiveHost() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

HiveHost& Host() {
    static HiveHost host;
    return host;
}

std::string Export(platform::Registry& registry) {
    std::string text;
    EXPECT_EQ(platform::host::ExportRegText(registry, platform::kHkeyCurrentUser, "",
                                            platform::host::RegFormat::kRegedit4, &text),
              platform::kSuccess);
    return text;
}

// After the cases: what they left behind is written, and reads back the same.
class WriteBack : public ::testing::Environment {
  public:
    void TearDown() override {
        HiveHost& host = Host();
        // Something of their own, so that there is always a change to write.
        platform::HKey key = platform::kNullKey;
        ASSERT_EQ(host.registry.CreateKey(platform::kHkeyCurrentUser, "Software\\Left Behind",
                                          platform::kRegOptionNonVolatile, platform::kKeyAllAccess,
                                          &key, nullptr),
                  platform::kSuccess);
        ASSERT_EQ(host.registry.SetValue(key, "v", platform::kRegSz, "x", 2), platform::kSuccess);
        host.registry.CloseKey(key);
        std::string error;
        bool changed = false;
        ASSERT_TRUE(host.hive.Save(host.registry, &changed, &error)) << error;
        EXPECT_TRUE(changed);
        platform::host::MemoryRegistry again;
        platform::host::MountedHive reread;
        ASSERT_TRUE(reread.Open(host.file, &error) &&
                    reread.Load(again, platform::kHkeyCurrentUser, "", {}, &error))
            << error;
        EXPECT_EQ(Export(again), Export(host.registry));
    }
};

const auto* const kWriteBack = ::testing::AddGlobalTestEnvironment(new WriteBack);

}  // namespace

platform::Registry& ConformanceRegistry() {
    return Host().registry;
}

bool ConformanceCanDenyAccess() {
    return true;
}

void ConformanceDenyAccess(platform::HKey root, std::string_view path, std::uint32_t mask) {
    Host().registry.DenyAccess(root, path, mask);
}

}  // namespace conformance
