#include "removal/RemovalPass.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/tests/support/TestSystem.h"
#include "registry/RegistryHelper.h"
#include "registry/RegistryKey.h"
#include "removal/LspRepair.h"
#include "scan/ScanLog.h"
#include "settings/SettingsStore.h"

namespace {

using platform::kHkeyCurrentUser;

class CountingProgress : public removal::RemovalProgress {
  public:
    void Step() override { ++steps; }
    int steps = 0;
};

class RemovalPassTest : public ::testing::Test {
  protected:
    RemovalPassTest() {
        EXPECT_TRUE(settings.WriteDefaultSettings());
        EXPECT_TRUE(settings.SetSetting("lfp", "C:\\Logs\\"));
        platform::LocalTime time{2024, 11, 30, 23, 59, 58};
        host.clock().SetFixed(time);
        files().CreateDirectory("C:\\Work");
        entry.name = "Zindle";
        entry.detected = true;
    }

    platform::FileSystem& files() { return host.system().files; }

    std::string Log() {
        std::string text;
        files().ReadFile("C:\\Logs\\" + scan::TimeStampedLogName(host.clock().Now()), &text);
        return text;
    }

    bool Run() {
        entries.push_back(entry);
        return removal::RunRemovalPass(host.system(), entries, &progress);
    }

    static constexpr const char* kHeader = "Brindlex 5.0\r\n---------------------\r\n\r\n";

    testsupport::TestSystem host;
    settings::SettingsStore settings{host.system()};
    CRegistryHelper helper{host.system().registry};
    refdb::SpywareEntry entry;
    std::deque<refdb::SpywareEntry> entries;
    CountingProgress progress;
};

TEST_F(RemovalPassTest, RegistryKeysAndValuesInOrderWithTheirLogLines) {
    ASSERT_TRUE(helper.SetString(kHkeyCurrentUser, "Software\\Zindle\\Sub", "a", "1"));
    ASSERT_TRUE(helper.SetString(kHkeyCurrentUser, "Software\\Run", "zin", "z.exe"));
    ASSERT_TRUE(helper.SetString(kHkeyCurrentUser, "Software\\Run", "other", "o.exe"));
    entry.regKeys.push_back({kHkeyCurrentUser, "Software\\Zindle", true});
    entry.regKeys.push_back({kHkeyCurrentUser, "Software\\Unchecked", false});
    entry.regValues.push_back({kHkeyCurrentUser, "Software\\Run", "zin", true});
    // A key that is not there is still reported as deleted.
    entry.regValues.push_back({kHkeyCurrentUser, "Software\\Gone", "v", true});
    refdb::SpywareEntry clean;
    clean.name = "Clean";
    entries.push_back(clean);

    EXPECT_FALSE(Run());
    EXPECT_FALSE(helper.OpenKey(kHkeyCurrentUser, "Software\\Zindle", platform::kKeyRead));
    EXPECT_EQ(helper.QueryString(kHkeyCurrentUser, "Software\\Run", "zin", "none"), "none");
    EXPECT_EQ(helper.QueryString(kHkeyCurrentUser, "Software\\Run", "other", "none"), "o.exe");
    EXPECT_EQ(progress.steps, 3);
    EXPECT_EQ(Log(), std::string(kHeader) +
                         "Removing Spyware Zindle...\r\n"
                         "Removing Registry Zindle...\r\n"
                         "\r\n[Deleting Key...]\r\nKey : HKEY_CURRENT_USER\\Software\\Zindle\r\n"
                         "\r\n[Key Deleted]\r\nKey : HKEY_CURRENT_USER\\Software\\Zindle\r\n"
                         "Removing RegValues Zindle...\r\n"
                         "\r\n[Deleting Value...]\r\nKey : HKEY_CURRENT_USER\\Software\\Run\r\n"
                         "Value : zin\r\n"
                         "\r\n[Value Deleted]\r\nKey : HKEY_CURRENT_USER\\Software\\Run\r\n"
                         "Value : zin\r\n"
                         "\r\n[Deleting Value...]\r\nKey : HKEY_CURRENT_USER\\Software\\Gone\r\n"
                         "Value : v\r\n"
                         "\r\n[Value Deleted]\r\nKey : HKEY_CURRENT_USER\\Software\\Gone\r\n"
                         "Value : v\r\n"
                         "Fixing RegValue dataZindle...\r\n"
                         "Removing Cookies Zindle...\r\n"
                         "Removing Files Zindle...\r\n"
                         "Removing Folders Zindle...\r\n");
}

TEST_F(RemovalPassTest, ValueDataIsReplacedOrDeletedByType) {
    const char* key = "Software\\Main";
    ASSERT_TRUE(helper.SetString(kHkeyCurrentUser, key, "Start Page", "http://bad/"));
    ASSERT_TRUE(helper.SetDword(kHkeyCurrentUser, key, "Level", 0xFFFFFFFFu));
    ASSERT_TRUE(helper.SetDword(kHkeyCurrentUser, key, "Count", 9));
    ASSERT_TRUE(helper.SetString(kHkeyCurrentUser, key, "Matched", "bad"));
    {
        CRegistryKey k(host.system().registry, kHkeyCurrentUser, key);
        k.SetValue(CRegistryKey::Value("Expand", platform::kRegExpandSz, "%BAD%", 6));
        k.SetValue(CRegistryKey::Value("ExpandDel", platform::kRegExpandSz, "%BAD%", 6));
    }
    auto data = [&](const char* name, const char* fix, bool del) {
        refdb::RegDataItem item;
        item.root = kHkeyCurrentUser;
        item.keyPath = key;
        item.valueName = name;
        item.fix = fix;
        item.deleteValue = del;
        item.detected = true;
        return item;
    };
    entry.regData.push_back(data("Start Page", "about:blank", false));
    entry.regData.push_back(data("Level", "high", false));  // not a number
    entry.regData.push_back(data("Count", ":Delete:", true));
    entry.regData.push_back(data("Expand", "x", false));
    entry.regData.push_back(data("ExpandDel", ":Delete:", true));
    refdb::RegDataItem any = data("*", ":Delete:", true);
    any.matchedName = "Matched";
    entry.regData.push_back(any);
    entry.regData.push_back(data("Missing", "x", false));  // step, no text
    refdb::RegDataItem gone = data("v", "x", false);
    gone.keyPath = "Software\\NoKey";  // no step, no text
    entry.regData.push_back(gone);

    Run();
    EXPECT_EQ(helper.QueryString(kHkeyCurrentUser, key, "Start Page", ""), "about:blank");
    EXPECT_EQ(helper.QueryDword(kHkeyCurrentUser, key, "Level", 5), 0u);
    EXPECT_EQ(helper.QueryDword(kHkeyCurrentUser, key, "Count", 5), 5u);
    EXPECT_EQ(helper.QueryString(kHkeyCurrentUser, key, "Expand", ""), "%BAD%");
    EXPECT_EQ(helper.QueryString(kHkeyCurrentUser, key, "ExpandDel", "none"), "none");
    EXPECT_EQ(helper.QueryString(kHkeyCurrentUser, key, "Matched", "none"), "none");
    EXPECT_EQ(progress.steps, 7);
    const std::string at = "Key : HKEY_CURRENT_USER\\Software\\Main\r\n";
    EXPECT_EQ(Log(), std::string(kHeader) +
                         "Removing Spyware Zindle...\r\nRemoving Registry Zindle...\r\n"
                         "Removing RegValues Zindle...\r\nFixing RegValue dataZindle...\r\n"
                         "\r\n[Fixing Value Data...]\r\n" +
                         at +
                         "Value : Start Page\r\nOld ValueData : http://bad/\r\n"
                         "New ValueData : about:blank\r\n"
                         "\r\n[Fixed Value Data]\r\n" +
                         at +
                         "Value : Start Page\r\nOld ValueData : http://bad/\r\n"
                         "New ValueData : about:blank\r\n"
                         "\r\n[Fixing Value Data...]\r\n" +
                         at +
                         "Value : Level\r\nOld ValueData : -1\r\nNew ValueData : high\r\n"
                         "\r\n[Fixed Value Data]\r\n" +
                         at +
                         "Value : Level\r\nOld ValueData : -1\r\nNew ValueData : high\r\n"
                         "\r\n[Deleting Value...]\r\n" +
                         at +
                         "Value : Count\r\nValueData : 9\r\n\r\n"
                         "\r\n[Value Deleted]\r\n" +
                         at +
                         "Value : Count\r\nValueData : 9\r\n\r\n"
                         // The listed name "*" stays in the log.
                         "\r\n[Deleting Value...]\r\n" +
                         at +
                         "Value : *\r\nValueData : bad\r\n\r\n"
                         "\r\n[Value Deleted]\r\n" +
                         at +
                         "Value : *\r\nValueData : bad\r\n\r\n"
                         "Removing Cookies Zindle...\r\nRemoving Files Zindle...\r\n"
                         "Removing Folders Zindle...\r\n");
}

TEST_F(RemovalPassTest, FilesCookiesAndFolders) {
    files().CreateDirectory("C:\\Work\\Cookies");
    for (const char* name :
         {"ann@zindle[1].txt", "ann@zindle[2].txt", "bob@zindle[1].txt", "ann@other[1].txt"})
        ASSERT_EQ(files().WriteFile(std::string("C:\\Work\\Cookies\\") + name, "c"),
                  platform::kSuccess);
    files().CreateDirectory("C:\\Work\\Cookies\\x@zindle[9].txt");  // a folder: left alone
    entry.cookies.push_back({"zindle", true, "C:\\Work\\Cookies\\ann@zindle[1].txt"});

    ASSERT_EQ(files().WriteFile("C:\\Work\\ro.exe", "x"), platform::kSuccess);
    ASSERT_EQ(files().SetAttributes("C:\\Work\\ro.exe", platform::kAttrReadOnly),
              platform::kSuccess);
    refdb::FileItem readOnly;
    readOnly.name = "ro.exe";
    readOnly.path = "C:\\Work\\";
    readOnly.md5 = "AB";
    readOnly.detected = true;
    refdb::FileItem copy;
    copy.name = "ro2.exe";
    copy.path = "C:\\Work";
    copy.md5 = "CD";
    copy.detected = true;
    ASSERT_EQ(files().WriteFile("C:\\Work\\ro2.exe", "x"), platform::kSuccess);
    readOnly.copies.push_back(copy);
    entry.files.push_back(readOnly);
    refdb::FileItem undetected;  // its copy is still handled
    undetected.name = "u.exe";
    undetected.path = "C:\\Work";
    copy.name = "u2.exe";
    copy.md5.clear();
    ASSERT_EQ(files().WriteFile("C:\\Work\\u2.exe", "x"), platform::kSuccess);
    undetected.copies.push_back(copy);
    entry.files.push_back(undetected);
    refdb::FileItem locked;  // a folder under the file's name cannot be deleted
    locked.name = "locked.dll";
    locked.path = "C:\\Work";
    locked.detected = true;
    ASSERT_EQ(files().CreateDirectory("C:\\Work\\locked.dll"), platform::kSuccess);
    entry.files.push_back(locked);
    refdb::FileItem vanished;  // cannot be deleted and is not there: no text
    vanished.name = "gone.exe";
    vanished.path = "C:\\Work";
    vanished.detected = true;
    entry.files.push_back(vanished);

    files().CreateDirectory("C:\\Work\\Zin");
    files().CreateDirectory("C:\\Work\\Zin\\Empty");
    entry.directories.push_back({"Zin", "C:\\Work", true});
    entry.directories.push_back({"Gone", "C:\\Work\\", true});

    EXPECT_TRUE(Run());
    EXPECT_FALSE(files().Exists("C:\\Work\\ro.exe"));
    EXPECT_FALSE(files().Exists("C:\\Work\\ro2.exe"));
    EXPECT_FALSE(files().Exists("C:\\Work\\u2.exe"));
    EXPECT_FALSE(files().Exists("C:\\Work\\Zin"));
    EXPECT_TRUE(files().Exists("C:\\Work\\Cookies\\ann@other[1].txt"));
    EXPECT_FALSE(files().Exists("C:\\Work\\Cookies\\bob@zindle[1].txt"));
    EXPECT_EQ(host.files().PendingDeletes(), (std::vector<std::string>{"C:\\Work\\locked.dll"}));
    EXPECT_EQ(progress.steps, 1 + 4 + 2);

    const std::string log = Log();
    const std::string expected =
        std::string(kHeader) +
        "Removing Spyware Zindle...\r\nRemoving Registry Zindle...\r\n"
        "Removing RegValues Zindle...\r\nFixing RegValue dataZindle...\r\n"
        "Removing Cookies Zindle...\r\n"
        "\r\n[Deleted Cookie]\r\nC:\\Work\\Cookies\\ann@zindle[1].txt\r\n"
        "\r\n[Deleted Cookie]\r\nC:\\Work\\Cookies\\ann@zindle[2].txt\r\n"
        "\r\n[Deleted Cookie]\r\nC:\\Work\\Cookies\\bob@zindle[1].txt\r\n"
        "Removing Files Zindle...\r\n"
        "\r\n[File Deleting...]\r\nC:\\Work\\ro.exe\r\n[MD5]=AB\r\n"
        "\r\n[File Deleted]\r\nC:\\Work\\ro.exe\r\n[MD5]=AB\r\n"
        "\r\n[File Deleting...]\r\nC:\\Work\\ro2.exe\r\n[MD5]=AB\r\n"
        "\r\n[File Removal]\r\nC:\\Work\\ro2.exe\r\n[MD5]=CD\r\n"
        "\r\n[File Deleting...]\r\nC:\\Work\\u2.exe\r\n"
        "\r\n[File Removal]\r\nC:\\Work\\u2.exe\r\n"
        "\r\n[File Deleting...]\r\nC:\\Work\\locked.dll\r\n"
        "\r\nAccess Denied can't delete -> C:\\Work\\locked.dll"
        "\r\n[File Removal Delayed untill Reboot]\r\nC:\\Work\\locked.dll\r\n"
        "\r\n[File Deleting...]\r\nC:\\Work\\gone.exe\r\n"
        "Removing Folders Zindle...\r\n"
        "\r\n[Removing Directory...]\r\nC:\\Work\\Zin\r\n"
        "\r\n[Directory Removal]\r\nC:\\Work\\Zin\r\n"
        "\r\n[Removing Directory...]\r\nC:\\Work\\Gone\r\n"
        "\r\nCould not delete (C:\\Work\\Gone) error code = 2"
        "\r\n[Directory Removal Failed (Not Empty or already removed)]\r\nC:\\Work\\Gone\r\n";
    EXPECT_EQ(log, expected);
}

TEST_F(RemovalPassTest, ProviderFilesLeaveTheCatalogFirst) {
    CRegistryKey root(host.system().registry, platform::kHkeyLocalMachine);
    const std::string catalog = std::string(removal::kProtocolCatalogKey) + "\\Catalog_Entries\\";
    for (const char* provider : {"C:\\Work\\a.dll", "C:\\Work\\zinlsp.dll"}) {
        const std::string name = provider[8] == 'a' ? "000000000001" : "000000000002";
        root.CreateOrOpenKey(catalog + name)
            .SetValue(CRegistryKey::Value(removal::kPackedCatalogItemName, platform::kRegBinary,
                                          provider,
                                          static_cast<std::uint32_t>(std::strlen(provider) + 1)));
    }
    ASSERT_EQ(files().WriteFile("C:\\Work\\zinlsp.dll", "x"), platform::kSuccess);
    refdb::FileItem lsp;
    lsp.name = "zinlsp.dll";
    lsp.path = "C:\\Work";
    lsp.isLsp = true;
    lsp.detected = true;
    entry.files.push_back(lsp);
    Run();
    EXPECT_FALSE(files().Exists("C:\\Work\\zinlsp.dll"));
    EXPECT_FALSE(
        helper.OpenKey(platform::kHkeyLocalMachine, catalog + "000000000002", platform::kKeyRead));
    EXPECT_NE(Log().find("\r\n[File Deleting...]\r\nC:\\Work\\zinlsp.dll\r\n"
                         "\r\nLSP Removed\r\nC:\\Work\\zinlsp.dll"
                         "\r\n[File Deleted]\r\nC:\\Work\\zinlsp.dll\r\n"),
              std::string::npos);
}

TEST_F(RemovalPassTest, RunsWithoutALogFolder) {
    ASSERT_TRUE(settings.SetSetting("lfp", std::string(300, 'x')));
    ASSERT_EQ(files().WriteFile("C:\\Work\\f.exe", "x"), platform::kSuccess);
    refdb::FileItem file;
    file.name = "f.exe";
    file.path = "C:\\Work";
    file.detected = true;
    entry.files.push_back(file);
    EXPECT_FALSE(Run());
    EXPECT_FALSE(files().Exists("C:\\Work\\f.exe"));
}

}  // namespace
