// The same shell-folder cases against the described machine (natively) and
// the real shell (under Wine): a folder the user moved is found where the
// registry says, not at its default place.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/Environment.h"
#include "platform/Registry.h"
#include "platform/tests/EnvironmentFixture.h"

namespace {

using namespace platform;

constexpr const char* kUserShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

struct StoredValue {
    std::uint32_t type = kRegNone;
    std::string data;
};

// Sets one "User Shell Folders" value for a case and puts back what was there
// (or removes it) afterwards, so the prefix is left as it was found.
class ShellFolderOverride {
  public:
    ShellFolderOverride(Registry& reg, std::string name, std::uint32_t type, std::string data)
        : reg_(reg), name_(std::move(name)) {
        EXPECT_EQ(reg_.CreateKey(kHkeyCurrentUser, kUserShellFolders, kRegOptionNonVolatile,
                                 kKeyAllAccess, &key_, nullptr),
                  kSuccess);
        std::uint32_t size = 0;
        StoredValue old;
        if (reg_.QueryValue(key_, name_, &old.type, nullptr, &size) == kSuccess) {
            old.data.resize(size);
            if (reg_.QueryValue(key_, name_, &old.type, old.data.data(), &size) == kSuccess) {
                old.data.resize(size);
                old_ = std::move(old);
            }
        }
        data.push_back('\0');
        EXPECT_EQ(
            reg_.SetValue(key_, name_, type, data.data(), static_cast<std::uint32_t>(data.size())),
            kSuccess);
    }
    ~ShellFolderOverride() {
        if (old_) {
            reg_.SetValue(key_, name_, old_->type, old_->data.data(),
                          static_cast<std::uint32_t>(old_->data.size()));
        } else {
            reg_.DeleteValue(key_, name_);
        }
        reg_.CloseKey(key_);
    }
    ShellFolderOverride(const ShellFolderOverride&) = delete;
    ShellFolderOverride& operator=(const ShellFolderOverride&) = delete;

  private:
    Registry& reg_;
    std::string name_;
    HKey key_ = kNullKey;
    std::optional<StoredValue> old_;
};

class EnvironmentConformance : public ::testing::Test {
  protected:
    Environment& env = conformance::ConformanceEnvironment();
    Registry& reg = conformance::ConformanceEnvironmentRegistry();

    std::string Expand(const char* text) {
        std::string expanded;
        EXPECT_TRUE(env.ExpandEnvironmentStrings(text, &expanded));
        return expanded;
    }
};

TEST_F(EnvironmentConformance, MovedUserFoldersAreFoundWhereTheRegistrySays) {
    const std::string profile = Expand("%USERPROFILE%");
    ASSERT_FALSE(profile.empty());
    ASSERT_NE(profile, "%USERPROFILE%");
    {
        // An expandable value is expanded with the user's environment. The
        // folders named exist: the shell may refuse one that does not.
        ShellFolderOverride cookies(reg, "Cookies", kRegExpandSz, "%USERPROFILE%");
        EXPECT_EQ(env.CookiesFolder(), profile);
        // A plain string is taken as written, without its trailing backslash.
        ShellFolderOverride favorites(reg, "Favorites", kRegSz, profile + "\\");
        EXPECT_EQ(env.ShellFolderPath(ShellFolder::kFavorites), profile);
        // The other folders stay where they were.
        EXPECT_NE(env.ShellFolderPath(ShellFolder::kAppData).find(profile), std::string::npos);
    }
    // Once the values are back, so are the folders.
    EXPECT_NE(env.CookiesFolder(), profile);
    EXPECT_NE(env.ShellFolderPath(ShellFolder::kFavorites), profile);
}

}  // namespace
