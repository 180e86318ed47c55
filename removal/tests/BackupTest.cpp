#include "removal/Backup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include "removal/Restore.h"
#include "removal/tests/BackupFixture.h"
#include "zip/ZipReader.h"
#include "zip/ZipStreams.h"

namespace removal {
namespace {

using testing::BackupFixture;
using testing::kArchive;
using testing::kScratch;

class BackupTest : public BackupFixture {
  protected:
    // Member name -> contents, decrypted with the backup password.
    std::map<std::string, std::string> ArchiveMembers(std::string_view path) {
        std::map<std::string, std::string> members;
        const std::string bytes = ReadFile(path);
        zip::MemorySource source(bytes);
        zip::Reader reader;
        EXPECT_TRUE(reader.Open(source, kBackupPassword).Ok());
        for (std::size_t i = 0; i < reader.Count(); ++i) {
            EXPECT_TRUE(reader.At(i).IsEncrypted()) << reader.At(i).name;
            std::string contents;
            EXPECT_TRUE(reader.ExtractToMemory(i, &contents, 1 << 20).Ok()) << reader.At(i).name;
            members[reader.At(i).name] = contents;
        }
        return members;
    }

    BackupOptions Ticks() {
        BackupOptions options;
        options.tickCount = [this] { return tick_; };
        return options;
    }

    // An entry with one detection of every kind the backup saves.
    refdb::SpywareEntry FullEntry() {
        refdb::SpywareEntry entry;
        entry.name = "Pest Toolbar";
        entry.detected = true;
        entry.regKeys.push_back({platform::kHkeyLocalMachine, "Software\\Pest", true});
        entry.regKeys.push_back({platform::kHkeyLocalMachine, "Software\\NotFound", false});
        entry.regValues.push_back({platform::kHkeyCurrentUser, "Software\\Run", "pest", true});
        refdb::RegDataItem data;
        data.root = platform::kHkeyCurrentUser;
        data.keyPath = "Software\\Home";
        data.valueName = "Start";
        data.detected = true;
        entry.regData.push_back(data);
        // Two files of one name in two folders, the second as a further copy.
        refdb::FileItem first = DetectedFile("pest.dll", "C:\\One\\");
        first.copies.push_back(DetectedFile("pest.dll", "C:\\Two"));
        refdb::FileItem notDetected = DetectedFile("skip.dll", "C:\\Two");
        notDetected.detected = false;
        first.copies.push_back(notDetected);
        entry.files.push_back(first);
        // Two members of one archive: saved once.
        entry.files.push_back(DetectedFile("pack.zip?a.exe", "C:\\Zips"));
        entry.files.push_back(DetectedFile("PACK.ZIP?b.exe", "C:\\Zips"));
        entry.files.push_back(DetectedFile(".hidden", "C:\\One"));
        refdb::CookieItem cookie;
        cookie.name = "user@pest";
        cookie.detected = true;
        cookie.foundPath = "C:\\Cookies\\user@pest[1].txt";
        entry.cookies.push_back(cookie);
        return entry;
    }

    void LayOutFullEntry() {
        ImportReg(
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Pest]\r\n\"Mode\"=\"on\"\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Pest\\Sub]\r\n\"Deep\"=dword:00000007\r\n"
            "[HKEY_CURRENT_USER\\Software\\Run]\r\n\"pest\"=\"C:\\\\One\\\\pest.exe\"\r\n"
            "\"other\"=\"keep\"\r\n"
            "[HKEY_CURRENT_USER\\Software\\Home]\r\n\"Start\"=\"http://pest\"\r\n");
        WriteFile("C:\\One\\pest.dll", "first copy");
        WriteFile("C:\\Two\\pest.dll", "second copy");
        WriteFile("C:\\Two\\skip.dll", "not detected");
        WriteFile("C:\\Zips\\pack.zip", "archive bytes");
        WriteFile("C:\\One\\.hidden", "dot file");
        WriteFile("C:\\Cookies\\user@pest[1].txt", "cookie");
    }

    std::uint32_t tick_ = 1000;
};

TEST_F(BackupTest, NamesTheFoldersAndTheArchiveFromProgramTempAndClock) {
    EXPECT_EQ(BackupFolder(system()), "C:\\Program Files\\Brindlex\\BrindlexBackup");
    EXPECT_EQ(BackupScratchFolder(system().files), kScratch);
    platform::LocalTime time{2031, 12, 31, 23, 0, 9};
    EXPECT_EQ(BackupArchivePath("D:\\B", time), "D:\\B\\12,31,2031_23,0,9.zip");
}

TEST_F(BackupTest, SavesEveryDetectedItemWithItsManifestRecord) {
    LayOutFullEntry();
    std::deque<refdb::SpywareEntry> entries;
    entries.push_back(FullEntry());
    refdb::SpywareEntry other = FullEntry();
    other.name = "Not Found Entry";
    other.detected = false;
    entries.push_back(other);
    // Leftovers of an interrupted backup are discarded.
    WriteFile(std::string(kScratch) + "\\stale.txt", "old");

    std::string archivePath;
    BackupOptions options = Ticks();
    options.archivePath = &archivePath;
    int busyCalls = 0;
    options.busy = [&](bool) { ++busyCalls; };
    ASSERT_TRUE(CreateBackup(system(), entries, options));
    EXPECT_EQ(archivePath, kArchive);
    EXPECT_EQ(busyCalls, 2);
    EXPECT_FALSE(Exists(kScratch));

    const std::string manifest =
        "[TYPE:REG]\r\n[NAME:HKEY_LOCAL_MACHINE\\Software\\Pest]\r\n"
        "[FILE_NAME:RegKeyBackup1000.reg]\r\n"
        "[TYPE:REG]\r\n[NAME:HKEY_CURRENT_USER\\Software\\Run]\r\n"
        "[FILE_NAME:RegKeyValueBackup1001.reg]\r\n"
        "[TYPE:REG]\r\n[NAME:HKEY_CURRENT_USER\\Software\\Home]\r\n"
        "[FILE_NAME:RegKeyValueDataBackup1002.reg]\r\n"
        "[TYPE:FILE]\r\n[NAME:Pest Toolbar]\r\n[FILE_NAME:pest.dll]\r\n[DEST_PATH:C:\\One\\]\r\n"
        "[TYPE:FILE]\r\n[NAME:Pest Toolbar]\r\n[FILE_NAME:pest.dll]\r\n[DEST_PATH:C:\\Two]\r\n"
        "[TYPE:FILE]\r\n[NAME:Pest Toolbar]\r\n[FILE_NAME:pack.zip]\r\n[DEST_PATH:C:\\Zips]\r\n"
        "[TYPE:FILE]\r\n[NAME:Pest Toolbar]\r\n[FILE_NAME:.hidden]\r\n[DEST_PATH:C:\\One]\r\n"
        "[TYPE:COOKIE]\r\n[NAME:Pest Toolbar]\r\n[COOKIE_NAME:user@pest]\r\n"
        "[DEST_PATH:C:\\Cookies\\user@pest[1].txt]\r\n";
    const std::map<std::string, std::string> members = ArchiveMembers(kArchive);
    std::set<std::string> names;
    for (const auto& [name, contents] : members)
        names.insert(name);
    EXPECT_EQ(names,
              (std::set<std::string>{"Config.ini", "RegKeyBackup1000.reg",
                                     "RegKeyValueBackup1001.reg", "RegKeyValueDataBackup1002.reg",
                                     "pest.dll", "pack.zip", "user@pest[1].txt"}));
    EXPECT_EQ(members.at("Config.ini"), manifest);
    // The later copy of a name replaces the earlier one in the scratch folder.
    EXPECT_EQ(members.at("pest.dll"), "second copy");
    EXPECT_EQ(members.at("pack.zip"), "archive bytes");
    EXPECT_EQ(members.at("user@pest[1].txt"), "cookie");

    const std::vector<std::string>& runs = processes().StartedPrograms();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0],
              "regedit.exe /e \"C:\\Windows\\Temp\\BrindlexBkupTemp\\RegKeyBackup1000.reg\" "
              "\"HKEY_LOCAL_MACHINE\\Software\\Pest\" ");

    // The exports are the editor's UTF-16 text of the whole key: importing
    // the value-data export brings back the other values of its key too.
    const std::string& valueExport = members.at("RegKeyValueBackup1001.reg");
    ASSERT_GE(valueExport.size(), 2u);
    EXPECT_EQ(valueExport.substr(0, 2), std::string("\xFF\xFE"));
    const std::string before = ExportReg(platform::kHkeyLocalMachine, "Software\\Pest");
    ASSERT_FALSE(before.empty());
    ImportReg("REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\Software\\Pest]\r\n");
    ASSERT_TRUE(ExportReg(platform::kHkeyLocalMachine, "Software\\Pest").empty());
    ImportReg(members.at("RegKeyBackup1000.reg"));
    EXPECT_EQ(ExportReg(platform::kHkeyLocalMachine, "Software\\Pest"), before);
}

TEST_F(BackupTest, WrongPasswordDoesNotOpenTheMembers) {
    LayOutFullEntry();
    std::deque<refdb::SpywareEntry> entries{FullEntry()};
    ASSERT_TRUE(CreateBackup(system(), entries, Ticks()));
    const std::string bytes = ReadFile(kArchive);
    zip::MemorySource source(bytes);
    zip::Reader reader;
    ASSERT_TRUE(reader.Open(source, "not the password").Ok());
    std::string contents;
    const auto index = reader.Find("Config.ini");
    ASSERT_TRUE(index.has_value());
    EXPECT_FALSE(reader.ExtractToMemory(*index, &contents, 1 << 20).Ok());
}

TEST_F(BackupTest, MissingSourcesStillGetTheirRecords) {
    refdb::SpywareEntry entry;
    entry.name = "Gone";
    entry.detected = true;
    entry.regKeys.push_back({platform::kHkeyLocalMachine, "Software\\Missing", true});
    entry.files.push_back(DetectedFile("gone.exe", "C:\\Nowhere"));
    std::deque<refdb::SpywareEntry> entries{entry};
    ASSERT_TRUE(CreateBackup(system(), entries, Ticks()));
    const std::map<std::string, std::string> members = ArchiveMembers(kArchive);
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members.at("Config.ini"),
              "[TYPE:REG]\r\n[NAME:HKEY_LOCAL_MACHINE\\Software\\Missing]\r\n"
              "[FILE_NAME:RegKeyBackup1000.reg]\r\n"
              "[TYPE:FILE]\r\n[NAME:Gone]\r\n[FILE_NAME:gone.exe]\r\n[DEST_PATH:C:\\Nowhere]\r\n");
}

TEST_F(BackupTest, FailsWhenTheBackupFolderCannotBeMade) {
    // A file where the folder should be.
    WriteFile("C:\\Program Files\\Brindlex\\BrindlexBackup", "in the way");
    refdb::SpywareEntry entry;
    entry.detected = true;
    entry.files.push_back(DetectedFile("x.dll", "C:\\One"));
    WriteFile("C:\\One\\x.dll", "x");
    std::deque<refdb::SpywareEntry> entries{entry};
    EXPECT_FALSE(CreateBackup(system(), entries, Ticks()));
    // Left for the next backup to empty.
    EXPECT_TRUE(Exists(kScratch));

    // The next backup starts from an empty scratch folder.
    std::filesystem::remove(test().HostPath("C:\\Program Files\\Brindlex\\BrindlexBackup"));
    std::deque<refdb::SpywareEntry> none;
    ASSERT_TRUE(CreateBackup(system(), none, Ticks()));
    EXPECT_TRUE(ArchiveMembers(kArchive).empty());
}

TEST_F(BackupTest, SavesEveryNumberedFileOfACookie) {
    // The removal deletes all of them, so all of them must be in the backup.
    WriteFile("C:\\Cookies\\user@pest[1].txt", "one");
    WriteFile("C:\\Cookies\\user@pest[2].txt", "two");
    WriteFile("C:\\Cookies\\user@pester[1].txt", "another cookie");
    refdb::SpywareEntry entry;
    entry.name = "Pest";
    entry.detected = true;
    refdb::CookieItem cookie;
    cookie.name = "pest";
    cookie.detected = true;
    cookie.foundPath = "C:\\Cookies\\user@pest[2].txt";
    entry.cookies.push_back(cookie);
    std::deque<refdb::SpywareEntry> entries{entry};
    ASSERT_TRUE(CreateBackup(system(), entries, Ticks()));
    const std::map<std::string, std::string> members = ArchiveMembers(kArchive);
    EXPECT_EQ(members.at("user@pest[1].txt"), "one");
    EXPECT_EQ(members.at("user@pest[2].txt"), "two");
    EXPECT_EQ(members.count("user@pester[1].txt"), 0u);
    const std::string& manifest = members.at("Config.ini");
    EXPECT_NE(manifest.find("[DEST_PATH:C:\\Cookies\\user@pest[1].txt]"), std::string::npos);
    EXPECT_NE(manifest.find("[DEST_PATH:C:\\Cookies\\user@pest[2].txt]"), std::string::npos);
}

TEST_F(BackupTest, SavesTheLocationsTheRemovalDeletesAndNoPlacelessRecord) {
    // A checksum-only record has no place of its own; its hits are further
    // locations, saved whether or not the record itself is marked.
    WriteFile("C:\\Hits\\a.exe", "hit a");
    WriteFile("C:\\Hits\\b.exe", "hit b");
    refdb::SpywareEntry entry;
    entry.name = "Pest";
    entry.detected = true;
    refdb::FileItem marked;
    marked.detected = true;
    marked.copies.push_back(DetectedFile("a.exe", "C:\\Hits"));
    refdb::FileItem unmarked;
    unmarked.copies.push_back(DetectedFile("b.exe", "C:\\Hits"));
    entry.files.push_back(marked);
    entry.files.push_back(unmarked);
    std::deque<refdb::SpywareEntry> entries{entry};
    ASSERT_TRUE(CreateBackup(system(), entries, Ticks()));
    const std::map<std::string, std::string> members = ArchiveMembers(kArchive);
    EXPECT_EQ(members.at("a.exe"), "hit a");
    EXPECT_EQ(members.at("b.exe"), "hit b");
    const std::vector<BackupItem> items = ReadManifest(members.at("Config.ini"));
    ASSERT_EQ(items.size(), 2u);
    for (const BackupItem& item : items) {
        EXPECT_FALSE(item.name.empty());
        EXPECT_EQ(item.path, "C:\\Hits");
    }
}

TEST_F(BackupTest, FailsWithoutAScratchFolderAndWritesNoArchive) {
    WriteFile(kScratch, "a file where the scratch folder goes");
    refdb::SpywareEntry entry;
    entry.detected = true;
    entry.files.push_back(DetectedFile("x.dll", "C:\\One"));
    WriteFile("C:\\One\\x.dll", "x");
    std::deque<refdb::SpywareEntry> entries{entry};
    EXPECT_FALSE(CreateBackup(system(), entries, Ticks()));
    EXPECT_FALSE(Exists(kArchive));
    EXPECT_EQ(ReadFile("C:\\One\\x.dll"), "x");
}

// Other zip tools must open what the backup writes, with the same password.
class BackupInteropTest : public BackupTest {
  protected:
    void SetUp() override {
        LayOutFullEntry();
        std::deque<refdb::SpywareEntry> entries{FullEntry()};
        ASSERT_TRUE(CreateBackup(system(), entries, Ticks()));
        archive_ = test().HostPath(kArchive).string();
    }
    static bool HasTool(const char* name) {
        return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
    }
    static int Run(const std::string& command, std::string* output) {
        FILE* pipe = popen((command + " 2>&1").c_str(), "r");
        if (pipe == nullptr)
            return -1;
        char buffer[4096];
        std::size_t got = 0;
        while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
            output->append(buffer, got);
        return pclose(pipe);
    }
    std::string archive_;
};

TEST_F(BackupInteropTest, InfoZipUnzipTestsEveryMember) {
    if (!HasTool("unzip"))
        GTEST_SKIP() << "unzip is not installed";
    std::string output;
    EXPECT_EQ(Run("unzip -P tindrake_7_vlts -t '" + archive_ + "'", &output), 0) << output;
    EXPECT_NE(output.find("No errors detected"), std::string::npos) << output;
    output.clear();
    EXPECT_EQ(Run("unzip -P tindrake_7_vlts -l '" + archive_ + "'", &output), 0) << output;
    EXPECT_NE(output.find("RegKeyValueDataBackup1002.reg"), std::string::npos) << output;
    EXPECT_NE(output.find("7 files"), std::string::npos) << output;
    // A wrong password fails the test of the members.
    output.clear();
    EXPECT_NE(Run("unzip -P wrong -t '" + archive_ + "'", &output), 0) << output;
}

TEST_F(BackupInteropTest, SevenZipListsAndTestsEveryMember) {
    if (!HasTool("7z"))
        GTEST_SKIP() << "7z is not installed";
    std::string output;
    EXPECT_EQ(Run("7z l -slt -ptindrake_7_vlts '" + archive_ + "'", &output), 0) << output;
    EXPECT_NE(output.find("Path = user@pest[1].txt"), std::string::npos) << output;
    EXPECT_NE(output.find("Method = ZipCrypto"), std::string::npos) << output;
    output.clear();
    EXPECT_EQ(Run("7z t -ptindrake_7_vlts '" + archive_ + "'", &output), 0) << output;
    EXPECT_NE(output.find("Everything is Ok"), std::string::npos) << output;
}

}  // namespace
}  // namespace removal
