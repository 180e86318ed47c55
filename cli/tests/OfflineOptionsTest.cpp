#include "cli/host/OfflineOptions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

TEST(OfflineOptionsTest, DriveMappings) {
    char letter = 0;
    std::string folder;
    ASSERT_TRUE(cli::ParseDriveMapping("c=/mnt/win", &letter, &folder));
    EXPECT_EQ(letter, 'C');
    EXPECT_EQ(folder, "/mnt/win");
    ASSERT_TRUE(cli::ParseDriveMapping("D:=/data=x", &letter, &folder));
    EXPECT_EQ(letter, 'D');
    EXPECT_EQ(folder, "/data=x");
    for (const char* bad : {"", "C", "C=", "=/x", "CD=/x", "1=/x", "C;=/x"}) {
        EXPECT_FALSE(cli::ParseDriveMapping(bad, &letter, &folder)) << bad;
    }
    EXPECT_EQ(cli::HostPathToWindows("/opt/bx/bxcli"), "Z:\\opt\\bx\\bxcli");
}

class OfflineSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("bx-offline-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_ / "disk" / "Windows");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
};

TEST_F(OfflineSystemTest, MapsDrivesAndDescribesTheMachine) {
    cli::OfflineOptions options;
    options.drives = {"C=" + (dir_ / "disk").string()};
    options.env = {"SystemRoot=C:\\WINNT", "ProgramFiles=D:\\Apps"};
    options.sid = "S-1-5-21-7-8-9-1001";
    cli::OfflineSystem offline((dir_ / "bin" / "bxcli").string());
    std::string error;
    ASSERT_TRUE(offline.Prepare(options, &error)) << error;

    platform::System& system = offline.system();
    EXPECT_TRUE(system.files.IsDirectory("c:\\WINDOWS"));
    auto drives = system.files.LogicalDrives();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].root, "C:\\");
    EXPECT_EQ(drives[0].type, platform::DriveType::kFixed);
    // The program's own drive is not a fixed drive, so scans stay off the host.
    EXPECT_EQ(drives[1].root, "Z:\\");
    EXPECT_EQ(drives[1].type, platform::DriveType::kRemote);
    EXPECT_EQ(system.processes.ModuleFileName(), cli::HostPathToWindows((dir_ / "bin" / "bxcli").string()));
    EXPECT_EQ(system.environment.WindowsFolder(), "C:\\WINNT");
    EXPECT_EQ(system.environment.SystemFolder(), "C:\\WINNT\\System32");
    EXPECT_EQ(system.environment.ProgramFilesFolder(), "D:\\Apps");
    EXPECT_EQ(system.environment.UserSid(), "S-1-5-21-7-8-9-1001");
    std::string expanded;
    ASSERT_TRUE(system.environment.ExpandEnvironmentStrings("%windir%\\x %nope%", &expanded));
    EXPECT_EQ(expanded, "C:\\WINNT\\x %nope%");
}

TEST_F(OfflineSystemTest, RegistryRoundTripThroughRegText) {
    std::string regPath = (dir_ / "s.reg").string();
    {
        std::ofstream out(regPath, std::ios::binary);
        out << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n\"Name\"=\"Value\"\r\n"
               "\"Number\"=dword:0000002a\r\n";
    }
    cli::OfflineOptions options;
    options.registryFile = regPath;
    options.saveRegistryFile = regPath;
    {
        cli::OfflineSystem offline("/bin/bxcli");
        std::string error;
        ASSERT_TRUE(offline.Prepare(options, &error)) << error;
        platform::HKey key = platform::kNullKey;
        ASSERT_EQ(offline.registry().CreateKey(platform::kHkeyCurrentUser, "Software\\Test\\New",
                                               0, platform::kKeyAllAccess, &key, nullptr),
                  platform::kSuccess);
        offline.registry().CloseKey(key);
        ASSERT_TRUE(offline.Finish(options, &error)) << error;
    }
    cli::OfflineSystem reloaded("/bin/bxcli");
    std::string error;
    ASSERT_TRUE(reloaded.Prepare(options, &error)) << error;
    platform::HKey key = platform::kNullKey;
    ASSERT_EQ(reloaded.registry().OpenKey(platform::kHkeyCurrentUser, "software\\test\\new",
                                          platform::kKeyRead, &key),
              platform::kSuccess);
    reloaded.registry().CloseKey(key);
    ASSERT_EQ(reloaded.registry().OpenKey(platform::kHkeyCurrentUser, "Software\\Test",
                                          platform::kKeyRead, &key),
              platform::kSuccess);
    char data[16] = {};
    std::uint32_t size = sizeof(data);
    std::uint32_t type = 0;
    ASSERT_EQ(reloaded.registry().QueryValue(key, "Number", &type, data, &size), platform::kSuccess);
    EXPECT_EQ(type, platform::kRegDword);
    EXPECT_EQ(data[0], 42);
    reloaded.registry().CloseKey(key);
}

TEST_F(OfflineSystemTest, BadOptionsAreClearErrors) {
    cli::OfflineSystem offline("/bin/bxcli");
    std::string error;
    cli::OfflineOptions badDrive;
    badDrive.drives = {"C"};
    EXPECT_FALSE(offline.Prepare(badDrive, &error));
    EXPECT_NE(error.find("X=DIR"), std::string::npos);

    cli::OfflineOptions badEnv;
    badEnv.env = {"=x"};
    EXPECT_FALSE(offline.Prepare(badEnv, &error));
    EXPECT_NE(error.find("NAME=VALUE"), std::string::npos);

    cli::OfflineOptions missing;
    missing.registryFile = (dir_ / "absent.reg").string();
    EXPECT_FALSE(offline.Prepare(missing, &error));
    EXPECT_NE(error.find("absent.reg"), std::string::npos);

    cli::OfflineOptions broken;
    broken.registryFile = (dir_ / "broken.reg").string();
    std::ofstream(broken.registryFile) << "not a registry file\n";
    EXPECT_FALSE(offline.Prepare(broken, &error));
    EXPECT_NE(error.find("broken.reg"), std::string::npos);
}

}  // namespace

namespace {

TEST(OfflineOptionsTest, CommandLinePathsReachTheHostThroughZ) {
    EXPECT_EQ(cli::ResolveCommandLinePath("C:\\data\\ref.bx"), "C:\\data\\ref.bx");
    EXPECT_EQ(cli::ResolveCommandLinePath("/tmp/x/../ref.bx"), "Z:\\tmp\\ref.bx");
    std::string relative = cli::ResolveCommandLinePath("ref.bx");
    EXPECT_EQ(relative.rfind("Z:\\", 0), 0u);
    EXPECT_TRUE(text::EndsWithNoCase(relative, "\\ref.bx"));
}

}  // namespace
