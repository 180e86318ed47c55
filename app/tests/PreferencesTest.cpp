#include "app/Preferences.h"

#include <gtest/gtest.h>

#include <string>

#include "app/ScanSettings.h"
#include "app/tests/ScriptedPrompts.h"
#include "platform/ScopedKey.h"
#include "platform/tests/support/TestSystem.h"
#include "registry/RegistryHelper.h"

namespace {

using platform::kHkeyCurrentUser;
using removal::Answer;

constexpr const char* kKey = "Software\\Brindlex5";
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kLogs = "C:\\Program Files\\Brindlex\\logs";
constexpr const char* kReference = "C:\\Program Files\\Brindlex\\brindlex4_010907.bx";

class PreferencesTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(helper.OpenOrCreateKey(kHkeyCurrentUser, kKey)); }

    std::string Setting(const char* name) {
        std::string value;
        return settings.GetSetting(name, &value) ? value : "<absent>";
    }
    std::string RunEntry() {
        return helper.QueryString(kHkeyCurrentUser, kRunKey, "Brindlex5", "<absent>");
    }
    // Value names of the settings key in the order they were first written.
    std::vector<std::string> ValueOrder() {
        platform::ScopedKey key;
        EXPECT_EQ(platform::ScopedKey::Open(host.registry(), kHkeyCurrentUser, kKey,
                                            platform::kKeyRead, &key),
                  platform::kSuccess);
        std::vector<std::string> names;
        for (std::uint32_t i = 0;; ++i) {
            char name[64];
            std::uint32_t size = sizeof(name);
            if (host.registry().EnumValue(key.get(), i, name, &size, nullptr, nullptr, nullptr) !=
                platform::kSuccess) {
                return names;
            }
            names.emplace_back(name, size);
        }
    }

    testsupport::TestSystem host;
    CRegistryHelper helper{host.registry()};
    settings::SettingsStore settings{host.system()};
    apptest::ScriptedPrompts prompts;
};

TEST_F(PreferencesTest, LoadingTakesPresentValuesOnly) {
    settings.SetSetting("lfp", kLogs);
    settings.SetSetting("abrs", "1");
    settings.SetSetting("acu", "yes");  // anything but "1" is off
    settings.SetSetting("mtst", "1");
    app::PreferencesData data;
    data.asl = true;  // absent: left as it was
    data.referenceFile = "typed";
    app::LoadPreferences(settings, &data);
    EXPECT_EQ(data.logFolder, kLogs);
    EXPECT_EQ(data.referenceFile, "typed");
    EXPECT_TRUE(data.abrs);
    EXPECT_FALSE(data.acu);
    EXPECT_TRUE(data.mtst);
    EXPECT_TRUE(data.asl);
}

TEST_F(PreferencesTest, TickingOnlyScanAtStartupWritesTheScanRunEntry) {
    app::PreferencesData data;
    data.logFolder = kLogs;
    data.referenceFile = kReference;
    data.sas = true;
    app::LinkStartupBoxes(app::StartupBox::kScan, &data.ras, &data.sas);
    EXPECT_TRUE(data.ras);
    app::SavePreferences(settings, data);

    EXPECT_EQ(ValueOrder(), (std::vector<std::string>{"rfp", "lfp", "abrs", "acu", "asl", "mtst",
                                                      "ras", "sas", "scnlg"}));
    EXPECT_EQ(RunEntry(), "\"C:\\Program Files\\Brindlex\\brindlex.exe\" :Scan:");
    EXPECT_EQ(Setting("ras"), "1");
    EXPECT_EQ(Setting("sas"), "1");
    EXPECT_EQ(Setting("abrs"), "0");
    EXPECT_EQ(Setting("rfp"), kReference);

    // Without the scan box the entry only starts the program in the tray.
    data.sas = false;
    app::SavePreferences(settings, data);
    EXPECT_EQ(RunEntry(), "\"C:\\Program Files\\Brindlex\\brindlex.exe\" :Min:");
}

TEST_F(PreferencesTest, UntickingRunAtStartupRemovesTheEntryAndTheScanBox) {
    settings.SetRunEntry("Brindlex5", "\"C:\\old.exe\" :Scan:");
    app::PreferencesData data;
    data.ras = false;
    data.sas = true;
    app::LinkStartupBoxes(app::StartupBox::kRun, &data.ras, &data.sas);
    EXPECT_FALSE(data.sas);

    app::SavePreferences(settings, data);
    EXPECT_EQ(RunEntry(), "<absent>");
    EXPECT_EQ(Setting("ras"), "0");
}

class PreferencesOkTest : public PreferencesTest {
  protected:
    // The file checks are the real ones; the download is scripted.
    class Host : public app::FileSystemOkHost {
      public:
        Host(PreferencesOkTest& test) : FileSystemOkHost(test.host.files()), test_(test) {}
        bool RunDownload() override {
            ++downloads;
            if (!downloadWorks)
                return false;
            test_.host.files().WriteFile(kDownloaded, "new");
            test_.settings.SetSetting("rfp", kDownloaded);
            return true;
        }
        int downloads = 0;
        bool downloadWorks = true;

      private:
        PreferencesOkTest& test_;
    };
    static constexpr const char* kDownloaded = "C:\\Program Files\\Brindlex\\brindlex5_0101.bx";

    void SetUp() override {
        PreferencesTest::SetUp();
        settings.SetSetting("rfp", "C:\\before.bx");
        data.logFolder = kLogs;
        data.referenceFile = kReference;
    }

    Host okHost{*this};
    app::PreferencesData data;
};

TEST_F(PreferencesOkTest, ALogFolderThatCannotBeCreatedKeepsTheDialogOpen) {
    data.logFolder = "C:\\No\\Such\\Parent\\logs";
    prompts.answers = {Answer::kYes};
    EXPECT_FALSE(app::ApplyPreferences(data, settings, okHost, prompts));
    EXPECT_EQ(prompts.Texts(),
              (std::vector<std::string>{"Log file path does not Exist. Create folder?",
                                        "Could not create log file folder"}));
    EXPECT_EQ(Setting("rfp"), "C:\\before.bx");

    prompts.answers = {Answer::kNo};
    EXPECT_FALSE(app::ApplyPreferences(data, settings, okHost, prompts));
    EXPECT_EQ(Setting("lfp"), "<absent>");
}

TEST_F(PreferencesOkTest, AMissingLogFolderIsCreatedAndAMissingReferenceOffered) {
    prompts.answers = {Answer::kYes, Answer::kNo};
    EXPECT_FALSE(app::ApplyPreferences(data, settings, okHost, prompts));
    EXPECT_TRUE(host.files().IsDirectory(kLogs));
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[1].caption, "Invalid Ref File");
    EXPECT_EQ(okHost.downloads, 0);

    // A failed download keeps the dialog open too.
    okHost.downloadWorks = false;
    prompts.answers = {Answer::kYes};
    EXPECT_FALSE(app::ApplyPreferences(data, settings, okHost, prompts));
    EXPECT_EQ(Setting("rfp"), "C:\\before.bx");
}

TEST_F(PreferencesOkTest, AfterADownloadTheInstalledFileIsKept) {
    ASSERT_TRUE(okHost.CreateFolder(kLogs));
    prompts.answers = {Answer::kYes};
    EXPECT_TRUE(app::ApplyPreferences(data, settings, okHost, prompts));
    EXPECT_EQ(Setting("rfp"), kDownloaded);
    EXPECT_EQ(data.referenceFile, kDownloaded);
    EXPECT_EQ(Setting("lfp"), kLogs);
}

TEST_F(PreferencesOkTest, ExistingPathsSaveWithoutQuestions) {
    ASSERT_TRUE(okHost.CreateFolder(kLogs));
    ASSERT_EQ(host.files().WriteFile(kReference, "ref"), platform::kSuccess);
    data.acu = true;
    EXPECT_TRUE(app::ApplyPreferences(data, settings, okHost, prompts));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(Setting("rfp"), kReference);
    EXPECT_EQ(Setting("acu"), "1");
}

TEST_F(PreferencesTest, ScanSettingsAreDwordsWithAFullScanByDefault) {
    app::ScanSettingsData absent = app::LoadScanSettings(host.registry());
    EXPECT_FALSE(absent.smartScan);
    EXPECT_FALSE(absent.includeSubfolders);
    EXPECT_FALSE(absent.includeZipFiles);

    helper.SetDword(kHkeyCurrentUser, kKey, "scantype", 7);
    EXPECT_TRUE(app::LoadScanSettings(host.registry()).smartScan);

    ASSERT_TRUE(app::SaveScanSettings(host.registry(), {true, true, false}));
    EXPECT_EQ(helper.QueryDword(kHkeyCurrentUser, kKey, "scantype", 9), 1u);
    EXPECT_EQ(helper.QueryDword(kHkeyCurrentUser, kKey, "sbfolders", 9), 1u);
    EXPECT_EQ(helper.QueryDword(kHkeyCurrentUser, kKey, "zipfiles", 9), 0u);
    EXPECT_EQ(settings.GetDword("scantype"), 1u);
    platform::ScopedKey key;
    ASSERT_EQ(platform::ScopedKey::Open(host.registry(), kHkeyCurrentUser, kKey, platform::kKeyRead,
                                        &key),
              platform::kSuccess);
    std::uint32_t type = 0;
    ASSERT_EQ(host.registry().QueryValue(key.get(), "zipfiles", &type, nullptr, nullptr),
              platform::kSuccess);
    EXPECT_EQ(type, platform::kRegDword);
}

}  // namespace
