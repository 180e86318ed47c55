// The described machine's shell folders: the order in which the registry's
// two Explorer keys and the defaults are consulted, as the shell does.
#include <gtest/gtest.h>

#include <string>

#include "platform/host/HostEnvironment.h"
#include "platform/host/MemoryRegistry.h"

namespace {

using namespace platform;

class HostShellFolders : public ::testing::Test {
  protected:
    host::MemoryRegistry reg;
    host::HostEnvironment env;

    void SetUp() override {
        reg.LinkCurrentUser(env.UserSid());
        env.ReadShellFoldersFrom(&reg);
    }

    void Set(HKey root, const char* keyName, const char* name, std::uint32_t type,
             std::string data) {
        HKey key = kNullKey;
        std::string path =
            std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\") + keyName;
        ASSERT_EQ(reg.CreateKey(root, path, kRegOptionNonVolatile, kKeyAllAccess, &key, nullptr),
                  kSuccess);
        ASSERT_EQ(
            reg.SetValue(key, name, type, data.data(), static_cast<std::uint32_t>(data.size())),
            kSuccess);
        reg.CloseKey(key);
    }
};

TEST_F(HostShellFolders, UserShellFoldersThenShellFoldersThenTheDefault) {
    EXPECT_EQ(env.CookiesFolder(),
              "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Cookies");
    // The expanded copy alone is used when the user's value is missing.
    Set(kHkeyCurrentUser, "Shell Folders", "Cookies", kRegSz, std::string("D:\\Old Cookies\0", 15));
    EXPECT_EQ(env.CookiesFolder(), "D:\\Old Cookies");
    // The user's value wins and is expanded with this machine's variables.
    env.SetVariable("USERPROFILE", "E:\\Profiles\\ann");
    Set(kHkeyCurrentUser, "User Shell Folders", "Cookies", kRegExpandSz,
        std::string("%USERPROFILE%\\Cookies\\\0", 22));
    EXPECT_EQ(env.CookiesFolder(), "E:\\Profiles\\ann\\Cookies");
    // A folder set on the machine itself wins over both.
    env.SetCookiesFolder("F:\\Pinned");
    EXPECT_EQ(env.CookiesFolder(), "F:\\Pinned");
    // Without the registry the variables' default is back.
    env.SetCookiesFolder("");
    env.ReadShellFoldersFrom(nullptr);
    EXPECT_EQ(env.CookiesFolder(),
              "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Cookies");
}

TEST_F(HostShellFolders, UnusableValuesFallThrough) {
    Set(kHkeyCurrentUser, "Shell Folders", "AppData", kRegSz, "D:\\Roaming");
    // Empty, zero-only and non-string values are skipped, not taken as "".
    Set(kHkeyCurrentUser, "User Shell Folders", "AppData", kRegSz, "");
    EXPECT_EQ(env.ShellFolderPath(ShellFolder::kAppData), "D:\\Roaming");
    Set(kHkeyCurrentUser, "User Shell Folders", "AppData", kRegExpandSz, std::string(2, '\0'));
    EXPECT_EQ(env.ShellFolderPath(ShellFolder::kAppData), "D:\\Roaming");
    Set(kHkeyCurrentUser, "User Shell Folders", "AppData", kRegDword, std::string(4, '\x01'));
    EXPECT_EQ(env.ShellFolderPath(ShellFolder::kAppData), "D:\\Roaming");
    // A plain string is not expanded.
    Set(kHkeyCurrentUser, "User Shell Folders", "Local AppData", kRegSz, "%NOPE%\\Local");
    EXPECT_EQ(env.ShellFolderPath(ShellFolder::kLocalAppData), "%NOPE%\\Local");
}

TEST_F(HostShellFolders, AllUsersFoldersComeFromTheMachine) {
    // The user's key does not move an all-users folder; the machine's does.
    Set(kHkeyCurrentUser, "User Shell Folders", "Common Startup", kRegSz, "D:\\Wrong");
    EXPECT_EQ(env.ShellFolderPath(ShellFolder::kCommonStartup),
              "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup");
    Set(kHkeyLocalMachine, "User Shell Folders", "Common Startup", kRegExpandSz,
        "%SystemDrive%\\All\\Startup");
    EXPECT_EQ(env.ShellFolderPath(ShellFolder::kCommonStartup), "C:\\All\\Startup");
    Set(kHkeyCurrentUser, "User Shell Folders", "Startup", kRegSz, "D:\\Mine\\Startup");
    EXPECT_EQ(env.ShellFolderPath(ShellFolder::kStartup), "D:\\Mine\\Startup");
    // The profile is no shell-folder value: it follows USERPROFILE.
    EXPECT_EQ(env.ShellFolderPath(ShellFolder::kProfile), "C:\\Users\\user");
}

}  // namespace
