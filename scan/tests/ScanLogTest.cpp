#include "scan/ScanLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/ScopedKey.h"
#include "platform/tests/support/TestSystem.h"
#include "settings/SettingsStore.h"

namespace {

class ScanLogTest : public ::testing::Test {
  protected:
    ScanLogTest() {
        EXPECT_TRUE(settings.WriteDefaultSettings());
        EXPECT_TRUE(settings.SetSetting("lfp", "C:\\Logs"));
        EXPECT_TRUE(settings.SetSetting("rfp", "C:\\Program Files\\Brindlex\\brindlex4_010907.bx"));
        platform::LocalTime time{2024, 3, 7, 9, 5, 2};
        host.clock().SetFixed(time);

        entry.name = "Zindle Dialer";
        entry.dangerLevel = 2;
        listed.path = "C:\\Windows";
        listed.name = "zindial.exe";
        listed.md5 = "79DB5AF62207CF6A01DA3BB92E3E7CDD";
        plain.path = "C:\\Windows";
        plain.name = "zindle.log";
        key.root = platform::kHkeyLocalMachine;
        key.keyPath = "SOFTWARE\\Zindle";
    }

    std::string Read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    testsupport::TestSystem host;
    settings::SettingsStore settings{host.system()};
    refdb::SpywareEntry entry;
    refdb::FileItem listed;
    refdb::FileItem plain;
    refdb::RegKeyItem key;
};

TEST_F(ScanLogTest, NamesTheFileByDateAndTimeWithoutLeadingZeros) {
    platform::LocalTime time{2005, 12, 31, 23, 59, 0};
    EXPECT_EQ(scan::TimeStampedLogName(time), "Date(31-12-2005) Time(23-59-0).txt");
}

TEST_F(ScanLogTest, WritesHeaderAndOneRecordPerRowInRowOrder) {
    scan::ResultRows rows;
    ASSERT_TRUE(rows.AddRegKey(entry, key));
    ASSERT_TRUE(rows.AddFile(entry, listed));
    ASSERT_TRUE(rows.AddFile(entry, plain));
    rows.rows()[1].checked = false;  // unchecked rows are reported too

    std::string path = scan::WriteScanLog(host.system(), rows);
    EXPECT_EQ(path, "C:\\Logs\\ScanLogs\\ScanLogDate(7-3-2024) Time(9-5-2).txt");
    std::string expected =
        "Brindlex v5.0 --------------------------\r\n"
        "Reference File = C:\\Program Files\\Brindlex\\brindlex4_010907.bx\r\n"
        "---------------------------\r\n"
        "\r\n"
        "Spyware Name = Zindle Dialer\r\n"
        "Location = HKEY_LOCAL_MACHINE\\SOFTWARE\\Zindle\r\n"
        "Type = RegKey\r\n"
        "Spyware Name = Zindle Dialer\r\n"
        "Location = C:\\Windows\\zindial.exe\r\n"
        "Type = File\r\n"
        " MD5=79DB5AF62207CF6A01DA3BB92E3E7CDD\r\n"
        "Spyware Name = Zindle Dialer\r\n"
        "Location = C:\\Windows\\zindle.log\r\n"
        "Type = File\r\n";
    EXPECT_EQ(Read(host.HostPath("C:\\Logs\\ScanLogs\\ScanLogDate(7-3-2024) Time(9-5-2).txt")),
              expected);
}

TEST_F(ScanLogTest, ALogOfTheSameSecondReplacesTheFirst) {
    scan::ResultRows many;
    many.AddRegKey(entry, key);
    many.AddFile(entry, listed);
    std::string first = scan::WriteScanLog(host.system(), many);
    ASSERT_FALSE(first.empty());

    scan::ResultRows one;
    one.AddFile(entry, plain);
    EXPECT_EQ(scan::WriteScanLog(host.system(), one), first);
    std::string text = Read(host.HostPath(first));
    EXPECT_EQ(text.find("zindial.exe"), std::string::npos);
    EXPECT_NE(text.find("Location = C:\\Windows\\zindle.log\r\nType = File\r\n"),
              std::string::npos);
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(host.HostPath("C:\\Logs\\ScanLogs")),
                      std::filesystem::directory_iterator()),
        1);
}

TEST_F(ScanLogTest, CreatesTheLogFolderAndScanLogsBelowIt) {
    scan::ResultRows rows;
    rows.AddFile(entry, plain);
    // Trailing backslashes of the setting are dropped; a missing log folder
    // is created, one level only.
    ASSERT_TRUE(settings.SetSetting("lfp", "C:\\Fresh\\\\"));
    ASSERT_FALSE(std::filesystem::exists(host.HostPath("C:\\Fresh")));
    EXPECT_EQ(scan::WriteScanLog(host.system(), rows),
              "C:\\Fresh\\ScanLogs\\ScanLogDate(7-3-2024) Time(9-5-2).txt");
    EXPECT_TRUE(std::filesystem::is_regular_file(
        host.HostPath("C:\\Fresh\\ScanLogs\\ScanLogDate(7-3-2024) Time(9-5-2).txt")));

    // Without "rfp" the header names the default file beside the program.
    platform::ScopedKey settingsKey;
    ASSERT_EQ(
        platform::ScopedKey::Open(host.registry(), platform::kHkeyCurrentUser,
                                  "Software\\Brindlex5", platform::kKeyAllAccess, &settingsKey),
        platform::kSuccess);
    ASSERT_EQ(host.registry().DeleteValue(settingsKey.get(), "rfp"), platform::kSuccess);
    std::string path = scan::WriteScanLog(host.system(), rows);
    EXPECT_NE(Read(host.HostPath(path))
                  .find("Reference File = C:\\Program Files\\Brindlex\\brindlex4_010907.bx\r\n"),
              std::string::npos);
}

TEST_F(ScanLogTest, WritesNothingWhenTheLogCannotBeMade) {
    scan::ResultRows rows;
    rows.AddFile(entry, listed);

    // A log folder two levels deep that does not exist.
    ASSERT_TRUE(settings.SetSetting("lfp", "C:\\No\\Such"));
    EXPECT_EQ(scan::WriteScanLog(host.system(), rows), "");
    EXPECT_FALSE(std::filesystem::exists(host.HostPath("C:\\No")));

    // A file where the ScanLogs folder should be.
    std::filesystem::create_directories(host.HostPath("C:\\Blocked"));
    std::ofstream(host.HostPath("C:\\Blocked\\ScanLogs")) << "x";
    ASSERT_TRUE(settings.SetSetting("lfp", "C:\\Blocked"));
    EXPECT_EQ(scan::WriteScanLog(host.system(), rows), "");

    // No log folder setting at all.
    platform::ScopedKey settingsKey;
    ASSERT_EQ(
        platform::ScopedKey::Open(host.registry(), platform::kHkeyCurrentUser,
                                  "Software\\Brindlex5", platform::kKeyAllAccess, &settingsKey),
        platform::kSuccess);
    ASSERT_EQ(host.registry().DeleteValue(settingsKey.get(), "lfp"), platform::kSuccess);
    EXPECT_EQ(scan::WriteScanLog(host.system(), rows), "");
    EXPECT_FALSE(std::filesystem::exists(host.HostPath("C:\\Logs\\ScanLogs")));
}

TEST_F(ScanLogTest, IgnoredEntriesNeverReachTheLog) {
    refdb::SpywareEntry quiet;
    quiet.name = "Quiet Entry";
    quiet.ignored = true;
    refdb::FileItem quietFile = plain;
    scan::ResultRows rows;
    rows.AddFile(quiet, quietFile);
    rows.AddRegKey(entry, key);
    std::string path = scan::WriteScanLog(host.system(), rows);
    std::string text = Read(host.HostPath(path));
    EXPECT_EQ(text.find("Quiet Entry"), std::string::npos);
    EXPECT_NE(text.find("Spyware Name = Zindle Dialer\r\n"), std::string::npos);
}

}  // namespace
