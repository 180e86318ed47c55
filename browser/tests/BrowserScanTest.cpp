// The smart scan's browser step over a MemoryRegistry and a mapped drive,
// and the removal of what it found: policy values deleted, preference lines
// rewritten out, everything else left as it was.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/Text.h"
#include "platform/host/HostProcesses.h"
#include "platform/tests/support/TestSystem.h"
#include "refdb/ReferenceDatabase.h"
#include "registry/RegistryHelper.h"
#include "removal/Backup.h"
#include "removal/RemovalPass.h"
#include "removal/Restore.h"
#include "scan/ResultRows.h"
#include "scan/ScanDriver.h"

namespace {

constexpr const char* kChrome = "SOFTWARE\\Policies\\Google\\Chrome";
constexpr const char* kEdge = "SOFTWARE\\Policies\\Microsoft\\Edge";
constexpr const char* kChromium32 = "SOFTWARE\\Wow6432Node\\Policies\\Chromium";
constexpr const char* kAppData = "C:\\Users\\user\\AppData\\Roaming";
constexpr const char* kProfile =
    "C:\\Users\\user\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\"
    "k2x.default";
constexpr const char* kOtherProfile = "C:\\Elsewhere\\ff";
constexpr const char* kUmberId = "lblbplamhdghlbicigeijlkfkdikabla";

constexpr const char* kMarkup = R"(<BX TOTAL="2">
<SW NAME="Umber Hijacker"><DANGER_LEVEL>1</DANGER_LEVEL><DESCRIPTION>d</DESCRIPTION>
  <BROWSER><EXTENSION ID="LBLBPLAMHDGHLBICIGEIJLKFKDIKABLA"/><DOMAIN NAME="umber.example"/></BROWSER></SW>
<SW NAME="Quiet"><DANGER_LEVEL>2</DANGER_LEVEL><BROWSER><DOMAIN NAME="quiet.example"/></BROWSER></SW>
</BX>)";

const std::string kPrefs =
    "// Mozilla User Preferences\r\n"
    "user_pref(\"browser.startup.homepage\", \"https://news.example.org/\");\r\n"
    "user_pref(\"browser.search.defaulturl\", \"http://www.umber.example/s?q=\");\r\n"
    "user_pref(\"browser.tabs.warnOnClose\", false);\r\n";
const std::string kUserJs =
    "user_pref(\"browser.startup.homepage\", \"http://forced.test/|http://two.test/\");\n"
    "user_pref(\"general.smoothScroll\", true);\n";
const std::string kOtherUserJs = "user_pref(\"browser.newtab.url\", \"http://quiet.example/\");";

class Rows : public scan::ScanObserver {
  public:
    void OnProgress(std::string_view text, int) override { progress.insert(std::string(text)); }
    void OnFile(refdb::SpywareEntry& e, refdb::FileItem& i) override { rows.AddFile(e, i); }
    void OnCookie(refdb::SpywareEntry& e, refdb::CookieItem& i) override { rows.AddCookie(e, i); }
    void OnDirectory(refdb::SpywareEntry& e, refdb::DirectoryItem& i) override {
        rows.AddDirectory(e, i);
    }
    void OnRegKey(refdb::SpywareEntry& e, refdb::RegKeyItem& i) override { rows.AddRegKey(e, i); }
    void OnRegValue(refdb::SpywareEntry& e, refdb::RegValueItem& i) override {
        rows.AddRegValue(e, i);
    }
    void OnRegData(refdb::SpywareEntry& e, refdb::RegDataItem& i) override {
        rows.AddRegData(e, i);
    }
    void OnPrefsLine(refdb::SpywareEntry& e, refdb::PrefsLineItem& i) override {
        rows.AddPrefsLine(e, i);
    }
    void OnFinished() override {}

    // "type|item|danger|location", sorted.
    std::set<std::string> Texts() const {
        std::set<std::string> texts;
        for (const scan::ResultRow& row : rows.rows())
            texts.insert(row.type + "|" + row.item + "|" + row.danger + "|" + row.location);
        return texts;
    }
    scan::ResultRows rows;
    std::set<std::string> progress;
};

class BrowserScanTest : public ::testing::Test {
  protected:
    BrowserScanTest() : helper(host.registry()) {
        helper.SetString(platform::kHkeyCurrentUser,
                         "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                         "AppData", kAppData);
        // A 64-bit machine: the 32-bit view is a key of its own.
        helper.OpenOrCreateKey(platform::kHkeyLocalMachine, "SOFTWARE\\Wow6432Node");

        Set(platform::kHkeyCurrentUser, kChrome, "HomepageLocation", "http://www.umber.example/");
        Set(platform::kHkeyCurrentUser, kChrome, "ShowHomeButton", "stays: not watched");
        Set(platform::kHkeyCurrentUser, std::string(kChrome) + "\\ExtensionInstallForcelist", "1",
            std::string(kUmberId) + ";https://clients2.example/crx");
        Set(platform::kHkeyCurrentUser, std::string(kChrome) + "\\ExtensionInstallForcelist", "2",
            "ccccccccccccccccccccccccccccccccc;https://update.nobody.test/x");
        helper.SetDword(platform::kHkeyLocalMachine, kEdge, "NewTabPageLocation", 1);
        Set(platform::kHkeyLocalMachine, std::string(kEdge) + "\\RestoreOnStartupURLs", "1",
            "http://start.nobody.test/");
        Set(platform::kHkeyLocalMachine, kChromium32, "DefaultSearchProviderSearchURL",
            "http://search.umber.example/?q={searchTerms}");

        WriteFile(std::string(kProfile) + "\\prefs.js", kPrefs);
        WriteFile(std::string(kProfile) + "\\user.js", kUserJs);
        WriteFile(std::string(kOtherProfile) + "\\user.js", kOtherUserJs);
        WriteFile(std::string(kAppData) + "\\Mozilla\\Firefox\\profiles.ini",
                  "[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\n"
                  "IsRelative=1\r\nPath=Profiles/k2x.default\r\n\r\n[Profile1]\r\nName=b\r\n"
                  "IsRelative=0\r\nPath=C:\\Elsewhere\\ff\r\n");
        EXPECT_TRUE(database.LoadMarkup(kMarkup, ""));
    }

    void Set(platform::HKey root, const std::string& key, const char* name,
             const std::string& value) {
        ASSERT_TRUE(helper.SetString(root, key, name, value));
    }
    void WriteFile(const std::string& path, const std::string& contents) {
        const std::string folder(text::ParentPath(path));
        for (std::size_t at = 0; at != std::string::npos;) {
            at = folder.find('\\', at + 1);
            host.files().CreateDirectory(folder.substr(0, at));
        }
        ASSERT_EQ(host.files().WriteFile(path, contents), platform::kSuccess);
    }
    std::string Read(const std::string& path) {
        std::string text;
        host.files().ReadFile(path, &text);
        return text;
    }
    bool HasValue(platform::HKey root, const std::string& key, const char* name) {
        return helper.QueryString(root, key, name, "<none>") != "<none>";
    }
    std::set<std::string> Scan() {
        observer.rows.Clear();
        scan::ResetDetections(database);
        scan::ScanContext context(host.system(), database, observer);
        scan::RunSmartScan(context);
        return observer.Texts();
    }

    testsupport::TestSystem host;
    CRegistryHelper helper;
    refdb::ReferenceDatabase database{host.system()};
    Rows observer;
};

const std::set<std::string> kExpectedRows = {
    "RegValue|Umber Hijacker|Dangerous|HKEY_CURRENT_USER\\SOFTWARE\\Policies\\Google\\Chrome\\"
    "HomepageLocation",
    "RegValue|Umber Hijacker|Dangerous|HKEY_CURRENT_USER\\SOFTWARE\\Policies\\Google\\Chrome\\"
    "ExtensionInstallForcelist\\1",
    "RegValue|Browser policy set by another program|Not Critical|HKEY_CURRENT_USER\\SOFTWARE\\"
    "Policies\\Google\\Chrome\\ExtensionInstallForcelist\\2",
    "RegValue|Browser policy set by another program|Not Critical|HKEY_LOCAL_MACHINE\\SOFTWARE\\"
    "Policies\\Microsoft\\Edge\\RestoreOnStartupURLs\\1",
    "RegValue|Umber Hijacker|Dangerous|HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Policies\\"
    "Chromium\\DefaultSearchProviderSearchURL",
    "PrefsLine|Umber Hijacker|Dangerous|C:\\Users\\user\\AppData\\Roaming\\Mozilla\\Firefox\\"
    "Profiles\\k2x.default\\prefs.js (Pref : browser.search.defaulturl) (Data : "
    "http://www.umber.example/s?q=)",
    "PrefsLine|Browser policy set by another program|Not Critical|C:\\Users\\user\\AppData\\"
    "Roaming\\Mozilla\\Firefox\\Profiles\\k2x.default\\user.js (Pref : browser.startup.homepage) "
    "(Data : http://forced.test/|http://two.test/)",
    "PrefsLine|Quiet|Severe|C:\\Elsewhere\\ff\\user.js (Pref : browser.newtab.url) (Data : "
    "http://quiet.example/)",
};

TEST_F(BrowserScanTest, SmartScanListsEachForcedSettingUnderItsEntry) {
    EXPECT_EQ(Scan(), kExpectedRows);
    EXPECT_TRUE(observer.progress.contains(
        "Scanning Browser Settings : "
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Policies\\Chromium"));
    EXPECT_TRUE(database.entries()[0].detected);
    EXPECT_TRUE(database.browserPolicyEntry().detected);
    // Findings are made afresh by every scan, never piled up.
    EXPECT_EQ(Scan(), kExpectedRows);
    EXPECT_EQ(database.entries()[0].policyValues.size(), 3u);

    // Ignoring the built-in entry hides its rows only.
    ASSERT_TRUE(database.LoadMarkup(kMarkup, refdb::kBrowserPolicyEntryName));
    const std::set<std::string> rows = Scan();
    EXPECT_EQ(rows.size(), 5u);
    for (const std::string& row : rows)
        EXPECT_EQ(row.find("another program"), std::string::npos) << row;

    // Without a separate 32-bit view only the shared keys are read.
    ASSERT_EQ(helper.DeleteKeyTree(platform::kHkeyLocalMachine, "SOFTWARE\\Wow6432Node"),
              platform::kSuccess);
    EXPECT_EQ(Scan().size(), 4u);
}

TEST_F(BrowserScanTest, RemovalTakesOutExactlyTheCheckedFindings) {
    ASSERT_EQ(Scan(), kExpectedRows);
    // The row of the second forced extension is left unchecked.
    for (scan::ResultRow& row : observer.rows.rows()) {
        if (row.location.ends_with("ExtensionInstallForcelist\\2"))
            row.data.As<refdb::RegValueItem>()->detected = false;
    }
    removal::RunRemovalPass(host.system(), database);

    const std::string forcelist = std::string(kChrome) + "\\ExtensionInstallForcelist";
    EXPECT_FALSE(HasValue(platform::kHkeyCurrentUser, kChrome, "HomepageLocation"));
    EXPECT_FALSE(HasValue(platform::kHkeyCurrentUser, forcelist, "1"));
    EXPECT_TRUE(HasValue(platform::kHkeyCurrentUser, forcelist, "2"));
    EXPECT_EQ(helper.QueryString(platform::kHkeyCurrentUser, kChrome, "ShowHomeButton", ""),
              "stays: not watched");
    EXPECT_EQ(helper.QueryDword(platform::kHkeyLocalMachine, kEdge, "NewTabPageLocation", 0), 1u);
    EXPECT_FALSE(
        HasValue(platform::kHkeyLocalMachine, std::string(kEdge) + "\\RestoreOnStartupURLs", "1"));
    EXPECT_FALSE(
        HasValue(platform::kHkeyLocalMachine, kChromium32, "DefaultSearchProviderSearchURL"));

    EXPECT_EQ(Read(std::string(kProfile) + "\\prefs.js"),
              "// Mozilla User Preferences\r\n"
              "user_pref(\"browser.startup.homepage\", \"https://news.example.org/\");\r\n"
              "user_pref(\"browser.tabs.warnOnClose\", false);\r\n");
    EXPECT_EQ(Read(std::string(kProfile) + "\\user.js"),
              "user_pref(\"general.smoothScroll\", true);\n");
    EXPECT_EQ(Read(std::string(kOtherProfile) + "\\user.js"), "");

    // Only the unchecked finding is left for the next scan.
    EXPECT_EQ(Scan(),
              (std::set<std::string>{"RegValue|Browser policy set by another program|Not Critical|"
                                     "HKEY_CURRENT_USER\\SOFTWARE\\Policies\\Google\\Chrome\\"
                                     "ExtensionInstallForcelist\\2"}));
}

TEST_F(BrowserScanTest, BackupSavesThePolicyKeysAndThePreferenceFiles) {
    dynamic_cast<platform::host::HostProcesses&>(host.system().processes)
        .EmulateRegistryEditor(host.registry(), host.files());
    ASSERT_EQ(Scan(), kExpectedRows);
    std::string archive;
    removal::BackupOptions options;
    options.archivePath = &archive;
    ASSERT_TRUE(removal::CreateBackup(host.system(), database, options));
    removal::RunRemovalPass(host.system(), database);
    ASSERT_FALSE(HasValue(platform::kHkeyCurrentUser, kChrome, "HomepageLocation"));

    const removal::UnpackResult unpacked =
        removal::UnpackBackup(host.system(), text::FileName(archive));
    ASSERT_TRUE(unpacked.manifestRead);
    std::set<std::string> kinds;
    for (const removal::BackupItem& item : unpacked.items)
        kinds.insert(item.kind + " " + item.name);
    EXPECT_TRUE(kinds.contains("REG HKEY_CURRENT_USER\\SOFTWARE\\Policies\\Google\\Chrome"));
    EXPECT_TRUE(kinds.contains("FILE prefs.js")) << testing::PrintToString(kinds);
    EXPECT_EQ(removal::RestoreItems(host.system(), unpacked.scratchFolder, unpacked.items),
              static_cast<int>(unpacked.items.size()));
    removal::RemoveFolderTree(host.files(), unpacked.scratchFolder);
    EXPECT_EQ(helper.QueryString(platform::kHkeyCurrentUser, kChrome, "HomepageLocation", ""),
              "http://www.umber.example/");
    EXPECT_EQ(Read(std::string(kProfile) + "\\prefs.js"), kPrefs);
}

}  // namespace
