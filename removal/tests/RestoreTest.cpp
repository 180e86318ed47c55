#include "removal/Restore.h"

#include <gtest/gtest.h>

#include "platform/host/HostClock.h"
#include "removal/Backup.h"
#include "removal/tests/BackupFixture.h"
#include "zip/ZipStreams.h"
#include "zip/ZipWriter.h"

namespace removal {
namespace {

using testing::BackupFixture;

constexpr const char* kBackupFolder = "C:\\Program Files\\Brindlex\\BrindlexBackup";
constexpr const char* kTemp = "C:\\Program Files\\Brindlex\\BrindlexBackup\\Temp";

TEST(GetManifestFieldTest, TakesTheValueUpToTheLastBracket) {
    EXPECT_EQ(GetManifestField("[FILE_NAME:a.dll]", "FILE_NAME"), "a.dll");
    EXPECT_EQ(GetManifestField("[NAME:HKEY_USERS\\S-1\\[x]]", "NAME"), "HKEY_USERS\\S-1\\[x]");
    EXPECT_EQ(GetManifestField("[NAME:no bracket", "NAME"), "no bracket");
    // The key is looked for anywhere, case-sensitively; missing: the line as is.
    EXPECT_EQ(GetManifestField("[type:FILE]", "TYPE"), "[type:FILE]");
    EXPECT_EQ(GetManifestField("[COOKIE_NAME:c]", "NAME"), "c");
    // A key at the very end leaves nothing.
    EXPECT_EQ(GetManifestField("[NAME", "NAME"), "");
    EXPECT_EQ(GetManifestField("[NAME:", "NAME"), "");
}

TEST(ReadManifestTest, ReadsEveryKindAndStopsAtARecordCutShort) {
    const std::string manifest =
        "[TYPE:REG]\r\n[NAME:HKEY_LOCAL_MACHINE\\Software\\X]\r\n[FILE_NAME:RegKeyBackup5.reg]\r\n"
        "garbage line\r\n"
        "[TYPE:file]\r\n[NAME:Entry]\r\n[FILE_NAME:a.dll]\r\n[DEST_PATH:C:\\One]\r\n"
        "[TYPE:COOKIE]\r\n[NAME:Entry]\r\n[COOKIE_NAME:u@x]\r\n[DEST_PATH:C:\\C\\u@x[1].txt]\r\n"
        "[TYPE:DIRECTORY]\r\n[NAME:Pest]\r\n[PATH:C:\\Program Files]\n"
        "[TYPE:FILE]\r\n[NAME:Entry]\r\n[FILE_NAME:cut.dll]\r\n";
    const std::vector<BackupItem> items = ReadManifest(manifest);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].kind, "REG");
    EXPECT_EQ(items[0].name, "HKEY_LOCAL_MACHINE\\Software\\X");
    EXPECT_EQ(items[0].path, "RegKeyBackup5.reg");
    EXPECT_EQ(items[1].kind, "file");
    EXPECT_EQ(items[1].name, "a.dll");
    EXPECT_EQ(items[1].path, "C:\\One");
    EXPECT_EQ(items[2].kind, "COOKIE");
    EXPECT_EQ(items[2].name, "u@x");
    EXPECT_EQ(items[2].path, "C:\\C\\u@x[1].txt");
    EXPECT_EQ(items[3].kind, "DIRECTORY");
    EXPECT_EQ(items[3].name, "Pest");
    EXPECT_EQ(items[3].path, "C:\\Program Files");

    EXPECT_TRUE(ReadManifest("").empty());
    EXPECT_TRUE(ReadManifest("[TYPE:REG]").empty());
    // The last line need not end with a line break.
    EXPECT_EQ(ReadManifest("[TYPE:REG]\r\n[NAME:K]\r\n[FILE_NAME:f.reg]").size(), 1u);
}

TEST(BackupNameTest, ParsesTheDateOutOfTheName) {
    const platform::LocalTime date = ParseBackupName("12,31,2031_23,0,9.zip");
    EXPECT_EQ(date.month, 12);
    EXPECT_EQ(date.day, 31);
    EXPECT_EQ(date.year, 2031);
    EXPECT_EQ(date.hour, 23);
    EXPECT_EQ(date.minute, 0);
    EXPECT_EQ(date.second, 9);
    const platform::LocalTime junk = ParseBackupName("holiday-pictures.zip");
    EXPECT_EQ(junk.month, 0);
    EXPECT_EQ(junk.year, 0);
    EXPECT_EQ(junk.second, 0);
    EXPECT_EQ(BackupRowText("7/4/2007", "9:05:30 AM"), "Backup on 7/4/2007 - 9:05:30 AM");
    // Without a locale of its own the clock writes as the default one does,
    // with 12 for the hour after midnight and noon.
    platform::host::HostClock clock;
    EXPECT_EQ(BackupRowText(clock, ParseBackupName("7,4,2007_9,5,30.zip")),
              "Backup on 7/4/2007 - 9:05:30 AM");
    EXPECT_EQ(BackupRowText(clock, ParseBackupName("1,1,2030_0,0,0.zip")),
              "Backup on 1/1/2030 - 12:00:00 AM");
    EXPECT_EQ(BackupRowText(clock, ParseBackupName("12,31,2031_12,59,9.zip")),
              "Backup on 12/31/2031 - 12:59:09 PM");
    EXPECT_EQ(BackupRowText(clock, ParseBackupName("12,31,2031_23,0,9.zip")),
              "Backup on 12/31/2031 - 11:00:09 PM");
    EXPECT_EQ(RestoreResultMessage(0), "Not all selected items could be restored");
    EXPECT_EQ(RestoreResultMessage(2), "Selected Items Restored");
}

class RestoreTest : public BackupFixture {
  protected:
    // Backs up one entry with a file, a cookie and a registry key.
    void MakeBackup() {
        ImportReg(
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Pest]\r\n\"A\"=\"1\"\r\n"
            "\"B\"=dword:00000002\r\n");
        WriteFile("C:\\Apps\\pest.exe", "program");
        WriteFile("C:\\Cookies\\u@pest[2].txt", "cookie");
        refdb::SpywareEntry entry;
        entry.name = "Pest";
        entry.detected = true;
        entry.regKeys.push_back({platform::kHkeyCurrentUser, "Software\\Pest", true});
        entry.files.push_back(DetectedFile("pest.exe", "C:\\Apps"));
        refdb::CookieItem cookie;
        cookie.name = "u@pest";
        cookie.detected = true;
        cookie.foundPath = "C:\\Cookies\\u@pest[2].txt";
        entry.cookies.push_back(cookie);
        std::deque<refdb::SpywareEntry> entries{entry};
        ASSERT_TRUE(CreateBackup(system(), entries));
        registryBefore_ = ExportReg(platform::kHkeyCurrentUser, "Software\\Pest");
    }

    // What a removal does to those items.
    void RemoveItems() {
        ImportReg("REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Pest]\r\n");
        std::filesystem::remove(test().HostPath("C:\\Apps\\pest.exe"));
        std::filesystem::remove(test().HostPath("C:\\Cookies\\u@pest[2].txt"));
    }

    std::string registryBefore_;
};

TEST_F(RestoreTest, ListsBackupsAndPassesOverShortNames) {
    WriteFile(std::string(kBackupFolder) + "\\7,4,2007_9,5,30.zip", "a");
    WriteFile(std::string(kBackupFolder) + "\\backup.zip", "b");
    WriteFile(std::string(kBackupFolder) + "\\12345678901.zip", "c");
    WriteFile(std::string(kBackupFolder) + "\\holiday-pictures.zip", "d");
    std::vector<BackupArchive> archives = ListBackups(system());
    std::sort(archives.begin(), archives.end(), [](const BackupArchive& a, const BackupArchive& b) {
        return a.fileName < b.fileName;
    });
    ASSERT_EQ(archives.size(), 2u);
    EXPECT_EQ(archives[0].fileName, "7,4,2007_9,5,30.zip");
    EXPECT_EQ(archives[0].date.year, 2007);
    EXPECT_EQ(archives[0].date.hour, 9);
    EXPECT_EQ(archives[1].fileName, "holiday-pictures.zip");

    EXPECT_TRUE(DeleteBackup(system(), "7,4,2007_9,5,30.zip"));
    EXPECT_FALSE(DeleteBackup(system(), "7,4,2007_9,5,30.zip"));
    ASSERT_EQ(ListBackups(system()).size(), 1u);
}

TEST_F(RestoreTest, BringsBackFilesCookiesAndRegistryKeys) {
    MakeBackup();
    RemoveItems();
    ASSERT_TRUE(ExportReg(platform::kHkeyCurrentUser, "Software\\Pest").empty());

    UnpackResult unpacked = UnpackBackup(system(), "7,4,2007_9,5,30.zip");
    ASSERT_TRUE(unpacked.manifestRead);
    EXPECT_EQ(unpacked.scratchFolder, kTemp);
    ASSERT_EQ(unpacked.items.size(), 3u);
    EXPECT_EQ(unpacked.items[0].kind, "REG");
    EXPECT_EQ(unpacked.items[0].name, "HKEY_CURRENT_USER\\Software\\Pest");
    EXPECT_EQ(unpacked.items[1].kind, "FILE");
    EXPECT_EQ(unpacked.items[2].kind, "COOKIE");

    EXPECT_EQ(RestoreItems(system(), unpacked.scratchFolder, unpacked.items), 3);
    RemoveFolderTree(system().files, unpacked.scratchFolder);
    EXPECT_FALSE(Exists(kTemp));
    EXPECT_EQ(ReadFile("C:\\Apps\\pest.exe"), "program");
    EXPECT_EQ(ReadFile("C:\\Cookies\\u@pest[2].txt"), "cookie");
    EXPECT_EQ(ExportReg(platform::kHkeyCurrentUser, "Software\\Pest"), registryBefore_);
    const std::vector<std::string>& runs = processes().StartedPrograms();
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.back(),
              "regedit.exe /S \"" + std::string(kTemp) + "\\" + unpacked.items[0].path + "\"");

    // A second restore overwrites what the first brought back.
    WriteFile("C:\\Apps\\pest.exe", "changed since");
    unpacked = UnpackBackup(system(), "7,4,2007_9,5,30.zip");
    EXPECT_EQ(RestoreItems(system(), unpacked.scratchFolder, {unpacked.items[1]}), 1);
    EXPECT_EQ(ReadFile("C:\\Apps\\pest.exe"), "program");
}

TEST_F(RestoreTest, CountsOnlyWhatSucceeded) {
    MakeBackup();
    UnpackResult unpacked = UnpackBackup(system(), "7,4,2007_9,5,30.zip");
    ASSERT_TRUE(unpacked.manifestRead);
    std::vector<BackupItem> items;
    // Folders are not made for FILE records.
    items.push_back({"FILE", "pest.exe", "C:\\Gone\\Folder"});
    // A name that is not a member of the flat archive.
    items.push_back({"FILE", "..\\..\\Apps\\pest.exe", "C:\\Elsewhere"});
    items.push_back({"COOKIE", "u", "C:\\Cookies\\not-in-archive.txt"});
    items.push_back({"UNKNOWN", "x", "C:\\x"});
    EXPECT_EQ(RestoreItems(system(), unpacked.scratchFolder, items), 0);
    EXPECT_FALSE(Exists("C:\\Elsewhere"));

    // A DIRECTORY record makes its folder; one that exists already fails.
    WriteFile("C:\\Base\\keep.txt", "");
    EXPECT_EQ(RestoreItems(system(), unpacked.scratchFolder, {{"directory", "Made", "C:\\Base"}}),
              1);
    EXPECT_TRUE(std::filesystem::is_directory(test().HostPath("C:\\Base\\Made")));
    EXPECT_EQ(RestoreItems(system(), unpacked.scratchFolder, {{"DIRECTORY", "Made", "C:\\Base"}}),
              0);
}

TEST_F(RestoreTest, AnArchiveWithoutManifestReadsNothing) {
    WriteFile(std::string(kBackupFolder) + "\\1,1,2020_1,1,1.zip", "not a zip archive");
    const UnpackResult unpacked = UnpackBackup(system(), "1,1,2020_1,1,1.zip");
    EXPECT_FALSE(unpacked.manifestRead);
    EXPECT_TRUE(unpacked.items.empty());
    EXPECT_TRUE(std::filesystem::is_directory(test().HostPath(kTemp)));
    EXPECT_FALSE(UnpackBackup(system(), "missing,archive.zip").manifestRead);
}

// Replaces every occurrence of `from` with `to` (same length) in `bytes`.
void Patch(std::string& bytes, std::string_view from, std::string_view to) {
    ASSERT_EQ(from.size(), to.size());
    int replaced = 0;
    for (std::size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at)) {
        bytes.replace(at, from.size(), to);
        ++replaced;
    }
    // Local header and central directory.
    ASSERT_EQ(replaced, 2);
}

TEST_F(RestoreTest, UnpackingNeverWritesOutsideTheScratchFolder) {
    std::string bytes;
    {
        zip::StringSink sink(bytes);
        zip::Writer writer(sink);
        zip::MemberOptions options;
        options.password = std::string(kBackupPassword);
        ASSERT_TRUE(writer
                        .AddFromMemory("Config.ini",
                                       "[TYPE:FILE]\r\n[NAME:E]\r\n[FILE_NAME:ok.txt]\r\n"
                                       "[DEST_PATH:C:\\Out]\r\n",
                                       options)
                        .Ok());
        ASSERT_TRUE(writer.AddFromMemory("ok.txt", "fine", options).Ok());
        ASSERT_TRUE(writer.AddFromMemory("aa/up.txt", "escaped", options).Ok());
        ASSERT_TRUE(writer.AddFromMemory("Xdrive.txt", "escaped", options).Ok());
        ASSERT_TRUE(writer.AddFromMemory("Yroot.txt", "escaped", options).Ok());
        ASSERT_TRUE(writer.Finish().Ok());
    }
    Patch(bytes, "aa/up.txt", "../up.txt");
    Patch(bytes, "Xdrive.txt", "C:rive.txt");
    Patch(bytes, "Yroot.txt", "\\root.txt");
    WriteFile(std::string(kBackupFolder) + "\\2,2,2022_2,2,2.zip", bytes);

    const UnpackResult unpacked = UnpackBackup(system(), "2,2,2022_2,2,2.zip");
    ASSERT_TRUE(unpacked.manifestRead);
    ASSERT_EQ(unpacked.items.size(), 1u);
    EXPECT_EQ(ReadFile(std::string(kTemp) + "\\ok.txt"), "fine");
    EXPECT_FALSE(Exists(std::string(kBackupFolder) + "\\up.txt"));
    EXPECT_FALSE(Exists("C:\\root.txt"));
    EXPECT_FALSE(Exists("C:\\rive.txt"));
    std::size_t inScratch = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::recursive_directory_iterator(test().HostPath(kTemp)))
        ++inScratch;
    EXPECT_EQ(inScratch, 2u);
}

}  // namespace
}  // namespace removal
