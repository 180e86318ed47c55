// Runs under Wine: the hosts rewrite over the real file system, where a
// read-only file refuses to be replaced and an open file may refuse to be
// moved over.
#include <gtest/gtest.h>

#include "platform/win32/Windows.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32FileSystem.h"
#include "shields/places/Hosts.h"

namespace {

using platform::win32::Narrow;
using platform::win32::Widen;

class HostsRewriteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
        folder = Narrow(temp) + "bx-hosts-" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(Widen(folder).c_str(), nullptr));
        path = folder + "\\hosts";
    }
    void TearDown() override {
        SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(Widen(folder)), ignored);
    }
    void Write(std::string_view contents) {
        std::ofstream(Widen(path).c_str(), std::ios::binary | std::ios::trunc) << contents;
    }
    std::string Contents() {
        std::ifstream in(Widen(path).c_str(), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    bool Refuse(shields::HostsShield& shield) {
        return shield.CheckHostsFile([](const std::string&) { return true; }) ==
               shields::HostsShield::Outcome::kRemoved;
    }

    std::string folder;
    std::string path;
    platform::win32::Win32FileSystem files;
};

TEST_F(HostsRewriteTest, ReadOnlyHostsFileIsReplacedAndStaysReadOnly) {
    Write("# hosts\r\n127.0.0.1 localhost\r\n");
    shields::HostsShield shield(files);
    ASSERT_TRUE(shield.TakeHostsSnapshot(path));
    Write("# hosts\r\n127.0.0.1 localhost\r\n6.6.6.6 bank.example\r\n");
    ASSERT_TRUE(SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_READONLY));

    EXPECT_TRUE(Refuse(shield));
    EXPECT_EQ(Contents(), "# hosts\r\n127.0.0.1 localhost\r\n");
    EXPECT_NE(GetFileAttributesW(Widen(path).c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(GetFileAttributesW(Widen(shields::HostsRewritePath(path)).c_str()),
              INVALID_FILE_ATTRIBUTES);
}

TEST_F(HostsRewriteTest, FileHeldOpenByAnotherProgramIsLeftAsItWas) {
    const std::string original = "127.0.0.1 localhost\r\n6.6.6.6 bank.example\r\n";
    Write("127.0.0.1 localhost\r\n");
    shields::HostsShield shield(files);
    ASSERT_TRUE(shield.TakeHostsSnapshot(path));
    Write(original);
    // Open for reading without FILE_SHARE_DELETE: the file cannot be
    // replaced while this handle lives.
    HANDLE held = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_NE(shield.RemoveUnknownLines(), platform::kSuccess);
    CloseHandle(held);
    EXPECT_EQ(Contents(), original);
    EXPECT_EQ(GetFileAttributesW(Widen(shields::HostsRewritePath(path)).c_str()),
              INVALID_FILE_ATTRIBUTES);
    // Once it is let go the refusal goes through.
    EXPECT_EQ(shield.RemoveUnknownLines(), platform::kSuccess);
    EXPECT_EQ(Contents(), "127.0.0.1 localhost\r\n");
}

}  // namespace
