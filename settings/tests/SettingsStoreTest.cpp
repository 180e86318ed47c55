#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/ScopedKey.h"
#include "platform/tests/support/TestSystem.h"
#include "registry/RegistryHelper.h"

namespace {

using platform::kHkeyCurrentUser;

constexpr const char* kKey = "Software\\Brindlex5";

class SettingsStoreTest : public ::testing::Test {
  protected:
    testsupport::TestSystem host;
    settings::SettingsStore store{host.system()};
    CRegistryHelper helper{host.registry()};

    // Type and raw bytes of a settings value.
    bool Raw(std::string_view name, std::uint32_t* type, std::string* data) {
        platform::ScopedKey key;
        if (platform::ScopedKey::Open(host.registry(), kHkeyCurrentUser, kKey, platform::kKeyRead,
                                      &key) != platform::kSuccess) {
            return false;
        }
        std::uint32_t size = 0;
        if (host.registry().QueryValue(key.get(), name, type, nullptr, &size) !=
            platform::kSuccess) {
            return false;
        }
        data->assign(size, '\0');
        return host.registry().QueryValue(key.get(), name, type, data->data(), &size) ==
               platform::kSuccess;
    }

    void CreateSettingsKey() { ASSERT_TRUE(helper.OpenOrCreateKey(kHkeyCurrentUser, kKey)); }
};

TEST_F(SettingsStoreTest, FirstStartWritesTheWholeTableInOrder) {
    ASSERT_TRUE(helper.OpenOrCreateKey(kHkeyCurrentUser, "SOFTWARE"));
    EXPECT_TRUE(store.IsFirstRun());
    ASSERT_TRUE(store.WriteDefaultSettings());

    const char* expectedOrder[] = {
        "pv",          "df",       "ras",      "sas",         "mtst",   "asl",
        "abrs",        "acu",      "clsshlds", "dntstrtshld", "nowarn", "Schedule Scan",
        "Weekly Scan", "Periodic", "WeekDay",  "Period",      "Time",   "scantype",
        "firstrun",    "shup",     "ghmpg",    "hmpg",        "rltime", "srchpge",
        "gfv",         "iehj",     "hsts",     "acbl",        "path",   "xpath",
        "lfp",         "rfp"};
    platform::ScopedKey key;
    ASSERT_EQ(platform::ScopedKey::Open(host.registry(), kHkeyCurrentUser, kKey, platform::kKeyRead,
                                        &key),
              platform::kSuccess);
    std::size_t index = 0;
    for (const char* expected : expectedOrder) {
        char name[64];
        std::uint32_t nameSize = sizeof(name);
        ASSERT_EQ(host.registry().EnumValue(key.get(), static_cast<std::uint32_t>(index), name,
                                            &nameSize, nullptr, nullptr, nullptr),
                  platform::kSuccess)
            << expected;
        EXPECT_EQ(std::string(name, nameSize), expected);
        ++index;
    }
    char extra[64];
    std::uint32_t extraSize = sizeof(extra);
    EXPECT_EQ(host.registry().EnumValue(key.get(), static_cast<std::uint32_t>(index), extra,
                                        &extraSize, nullptr, nullptr, nullptr),
              platform::kErrorNoMoreItems);

    std::uint32_t type = 0;
    std::string data;
    ASSERT_TRUE(Raw("scantype", &type, &data));
    EXPECT_EQ(type, platform::kRegDword);
    EXPECT_EQ(data, std::string("\x01\0\0\0", 4));
    // Texts written through the store carry no terminating zero.
    ASSERT_TRUE(Raw("pv", &type, &data));
    EXPECT_EQ(type, platform::kRegSz);
    EXPECT_EQ(data, "5.0");

    std::string value;
    ASSERT_TRUE(store.GetSetting("path", &value));
    EXPECT_EQ(value, "C:\\Program Files\\Brindlex");
    ASSERT_TRUE(store.GetSetting("xpath", &value));
    EXPECT_EQ(value, "C:\\Program Files\\Brindlex\\xblk.bx");
    ASSERT_TRUE(store.GetSetting("lfp", &value));
    EXPECT_EQ(value, "C:\\Program Files\\Brindlex\\logs");
    ASSERT_TRUE(store.GetSetting("rfp", &value));
    EXPECT_EQ(value, "C:\\Program Files\\Brindlex\\brindlex4_010907.bx");
    ASSERT_TRUE(store.GetSetting("hmpg", &value));
    EXPECT_EQ(value, "");
    EXPECT_TRUE(std::filesystem::is_directory(host.HostPath("C:\\Program Files\\Brindlex\\logs")));
    EXPECT_FALSE(store.IsFirstRun());
    // Settings the table does not write stay absent (off).
    EXPECT_FALSE(store.GetSetting("scnlg", &value));
    EXPECT_FALSE(store.IsOn("cokieshld"));
    EXPECT_EQ(store.GetDword("zipfiles"), 0u);
}

TEST_F(SettingsStoreTest, DefaultsTakeTheBrowserPages) {
    ASSERT_TRUE(helper.OpenOrCreateKey(kHkeyCurrentUser, "SOFTWARE"));
    const char* kMain = "Software\\Microsoft\\Internet Explorer\\Main";
    ASSERT_TRUE(helper.SetString(kHkeyCurrentUser, kMain, "Start Page", "http://home.example/"));
    ASSERT_TRUE(helper.SetString(kHkeyCurrentUser, kMain, "Search Page", "http://search.msn.com/"));
    ASSERT_TRUE(store.WriteDefaultSettings());
    std::string value;
    ASSERT_TRUE(store.GetSetting("hmpg", &value));
    EXPECT_EQ(value, "http://home.example/");
    ASSERT_TRUE(store.GetSetting("srchpge", &value));
    EXPECT_EQ(value, "http://search.msn.com/");

    ASSERT_TRUE(
        helper.SetString(kHkeyCurrentUser, kMain, "Search Page", "http://hijack.example/find"));
    ASSERT_TRUE(store.WriteDefaultSettings());
    ASSERT_TRUE(store.GetSetting("srchpge", &value));
    EXPECT_EQ(value, "https://search.brindlex.invalid/");
}

TEST_F(SettingsStoreTest, SearchPagePortalsAreCaseSensitiveSubstrings) {
    EXPECT_EQ(settings::ChooseSearchPage("http://www.google.com/"), "http://www.google.com/");
    EXPECT_EQ(settings::ChooseSearchPage("http://search.yahoo.com/x"), "http://search.yahoo.com/x");
    EXPECT_EQ(settings::ChooseSearchPage("http://go.microsoft.com/"), "http://go.microsoft.com/");
    EXPECT_EQ(settings::ChooseSearchPage("http://www.GOOGLE.com/"),
              "https://search.brindlex.invalid/");
    EXPECT_EQ(settings::ChooseSearchPage(""), "https://search.brindlex.invalid/");
}

TEST_F(SettingsStoreTest, FirstRunMarkerResetsEverything) {
    ASSERT_TRUE(helper.OpenOrCreateKey(kHkeyCurrentUser, "SOFTWARE"));
    ASSERT_TRUE(store.WriteDefaultSettings());
    ASSERT_TRUE(store.SetSetting("Schedule Scan", "1"));
    ASSERT_TRUE(store.SetSetting("hsts", "0"));
    ASSERT_TRUE(store.SetDword("scantype", 0));

    ASSERT_TRUE(store.SetSetting("firstrun", "1"));
    EXPECT_TRUE(store.IsFirstRun());
    std::string value;
    ASSERT_TRUE(store.GetSetting("firstrun", &value));
    EXPECT_EQ(value, "0");
    ASSERT_TRUE(store.WriteDefaultSettings());
    EXPECT_FALSE(store.IsOn("Schedule Scan"));
    EXPECT_TRUE(store.IsOn("hsts"));
    EXPECT_EQ(store.GetDword("scantype"), 1u);
    EXPECT_FALSE(store.IsFirstRun());

    ASSERT_TRUE(store.SetSetting("firstrun", "yes"));
    EXPECT_FALSE(store.IsFirstRun());
}

TEST_F(SettingsStoreTest, DefaultsRecordARunEntryThatIsAlreadyThere) {
    ASSERT_TRUE(helper.OpenOrCreateKey(kHkeyCurrentUser, "SOFTWARE"));
    ASSERT_TRUE(store.WriteDefaultSettings());
    EXPECT_FALSE(store.IsOn("ras"));
    EXPECT_FALSE(store.IsOn("sas"));

    ASSERT_TRUE(store.SetRunEntry("Brindlex5", "\"C:\\Brindlex\\brindlex.exe\" :Min:"));
    ASSERT_TRUE(store.WriteDefaultSettings());
    EXPECT_TRUE(store.IsOn("ras"));
    EXPECT_FALSE(store.IsOn("sas"));

    ASSERT_TRUE(store.SetRunEntry("Brindlex5", "\"C:\\Brindlex\\brindlex.exe\" :Scan:"));
    ASSERT_TRUE(store.WriteDefaultSettings());
    EXPECT_TRUE(store.IsOn("ras"));
    EXPECT_TRUE(store.IsOn("sas"));
}

TEST_F(SettingsStoreTest, DefaultsFailWhenTheSettingsKeyCannotBeMade) {
    // A profile whose SOFTWARE key refuses new subkeys cannot hold the
    // settings.
    host.registry().DenyAccess(kHkeyCurrentUser, "SOFTWARE", platform::kKeyCreateSubKey);
    EXPECT_FALSE(store.WriteDefaultSettings());
}

TEST_F(SettingsStoreTest, GetSettingLimitsAndTerminators) {
    CreateSettingsKey();
    std::string value;
    EXPECT_FALSE(store.GetSetting("", &value));
    EXPECT_FALSE(store.SetSetting("", "x"));
    EXPECT_FALSE(store.GetSetting("missing", &value));

    std::string longest(259, 'a');
    ASSERT_TRUE(store.SetSetting("long", longest));
    ASSERT_TRUE(store.GetSetting("long", &value));
    EXPECT_EQ(value, longest);
    ASSERT_TRUE(store.SetSetting("long", std::string(260, 'b')));
    EXPECT_FALSE(store.GetSetting("long", &value));
    ASSERT_TRUE(store.SetSetting("long", std::string(300, 'c')));
    EXPECT_FALSE(store.GetSetting("long", &value));

    // Values written with their terminating zero (by the registry helper)
    // read the same.
    ASSERT_TRUE(helper.SetString(kHkeyCurrentUser, kKey, "hnt", "1"));
    EXPECT_TRUE(store.IsOn("hnt"));
    ASSERT_TRUE(helper.SetString(kHkeyCurrentUser, kKey, "edge", std::string(259, 'z')));
    ASSERT_TRUE(store.GetSetting("edge", &value));
    EXPECT_EQ(value.size(), 259u);

    ASSERT_TRUE(store.SetSetting("flag", "01"));
    EXPECT_FALSE(store.IsOn("flag"));
}

TEST_F(SettingsStoreTest, SetSettingNeedsTheKey) {
    EXPECT_FALSE(store.SetSetting("pv", "5.0"));
    CreateSettingsKey();
    EXPECT_TRUE(store.SetSetting("pv", "5.0"));
}

TEST_F(SettingsStoreTest, RunEntry) {
    const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    EXPECT_FALSE(store.SetRunEntry("", "x"));
    EXPECT_FALSE(store.SetRunEntry("Brindlex5", ""));
    ASSERT_TRUE(
        store.SetRunEntry("Brindlex5", "\"C:\\Program Files\\Brindlex\\brindlex.exe\" :Min:"));
    EXPECT_EQ(helper.QueryString(kHkeyCurrentUser, kRun, "Brindlex5", "-"),
              "\"C:\\Program Files\\Brindlex\\brindlex.exe\" :Min:");
    EXPECT_TRUE(store.DeleteRunEntry("Brindlex5"));
    EXPECT_EQ(helper.QueryString(kHkeyCurrentUser, kRun, "Brindlex5", "-"), "-");
    EXPECT_FALSE(store.DeleteRunEntry("Brindlex5"));
}

TEST_F(SettingsStoreTest, ModulePath) {
    EXPECT_EQ(store.GetModulePath(true), "C:\\Program Files\\Brindlex\\brindlex.exe");
    EXPECT_EQ(store.GetModulePath(false), "C:\\Program Files\\Brindlex\\");
}

}  // namespace
