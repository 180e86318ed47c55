// CheckForUpdate and the update-check dialog's decision against a scripted
// update page; the page reader and the configured server.
#include <gtest/gtest.h>

#include "settings/Strings.h"
#include "update/UpdateCheck.h"
#include "update/UpdatePage.h"
#include "update/UpdateTexts.h"
#include "update/tests/UpdateFixture.h"

namespace updatetest {
namespace {

using update::CheckResult;
using update::MessageIcon;

class UpdateCheckTest : public UpdateFixture {
  protected:
    update::UpdateChecker checker{host.system(), prompts,
                                  update::AddressesFor("http://updates.test")};
};

TEST_F(UpdateCheckTest, ANewerArchiveIsDueWithoutAQuestion) {
    Offer("  Brindlex5_020301.BX.zip ");
    std::string name;
    EXPECT_EQ(checker.Check(&name), CheckResult::kDownloadDue);
    EXPECT_EQ(name, "brindlex5_020301.bx.zip");
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(network.requests(), std::vector<std::string>{"page " + std::string(kPageAddress)});
}

TEST_F(UpdateCheckTest, TheArchiveInUseWithItsFilePresentAsksFirst) {
    Offer("BRINDLEX4_010907.BX.ZIP");
    std::string name;
    prompts.Answer(false);
    EXPECT_EQ(checker.Check(&name), CheckResult::kDeclined);
    EXPECT_TRUE(name.empty());
    ASSERT_EQ(prompts.shown.size(), 1u);
    const update::Message& asked = prompts.shown[0];
    EXPECT_EQ(asked.text,
              "Your reference file is already updated!\nDo you still want to download the latest "
              "file?");
    EXPECT_EQ(asked.caption, "Alert");
    EXPECT_EQ(asked.icon, MessageIcon::kExclamation);
    EXPECT_TRUE(asked.yesNo);
    EXPECT_TRUE(asked.standalone);

    prompts.Answer(true);
    EXPECT_EQ(checker.Check(&name), CheckResult::kDownloadDue);
    EXPECT_EQ(name, "brindlex4_010907.bx.zip");
    EXPECT_EQ(prompts.shown.size(), 2u);
}

TEST_F(UpdateCheckTest, TheArchiveInUseWithItsFileMissingDownloadsWithoutAsking) {
    ASSERT_EQ(host.files().DeleteFile(kOldPath), platform::kSuccess);
    Offer("brindlex4_010907.bx.zip");
    std::string name;
    EXPECT_EQ(checker.Check(&name), CheckResult::kDownloadDue);
    EXPECT_EQ(name, "brindlex4_010907.bx.zip");
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(UpdateCheckTest, PresenceIsLookedUpBesideTheConfiguredFileNotTheProgram) {
    // "rfp" points elsewhere; the copy beside the program does not count.
    settings::SettingsStore(host.system()).SetSetting("rfp", "C:\\Data\\brindlex4_010907.bx");
    Offer("brindlex4_010907.bx.zip");
    std::string name;
    EXPECT_EQ(checker.Check(&name), CheckResult::kDownloadDue);
    EXPECT_TRUE(prompts.shown.empty());

    ASSERT_EQ(host.files().CreateDirectory("C:\\Data"), platform::kSuccess);
    Write("C:\\Data\\brindlex4_010907.bx", oldContent);
    EXPECT_EQ(checker.Check(&name), CheckResult::kDeclined);
    EXPECT_EQ(prompts.shown.size(), 1u);

    // A folder of that name is not the file.
    ASSERT_EQ(host.files().DeleteFile("C:\\Data\\brindlex4_010907.bx"), platform::kSuccess);
    ASSERT_EQ(host.files().CreateDirectory("C:\\Data\\brindlex4_010907.bx"), platform::kSuccess);
    EXPECT_EQ(checker.Check(&name), CheckResult::kDownloadDue);
    EXPECT_EQ(prompts.shown.size(), 1u);
}

TEST_F(UpdateCheckTest, NoConnectionShowsTheConnectionError) {
    network.FailPage(kPageAddress, platform::kErrorInternetCannotConnect);
    std::string name = "stale";
    EXPECT_EQ(checker.Check(&name), CheckResult::kConnectionFailed);
    EXPECT_TRUE(name.empty());
    ASSERT_EQ(prompts.shown.size(), 1u);
    const update::Message& shown = prompts.shown[0];
    EXPECT_EQ(shown.text,
              "Error Connecting to Brindlex server , Please be sure you are connected to the "
              "internet and that no firewall is active that might be preventing Brindlex from "
              "accessing the internet.");
    EXPECT_EQ(shown.caption, "Error");
    EXPECT_EQ(shown.icon, MessageIcon::kStop);
    EXPECT_FALSE(shown.yesNo);
    EXPECT_TRUE(shown.standalone);
}

TEST_F(UpdateCheckTest, TheCheckDialogOffersOnlyAnotherArchive) {
    Offer("brindlex5_020301.bx.zip");
    prompts.Answer(true);
    EXPECT_TRUE(checker.ConfirmUpdate());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "New updates are available, Do you want to update?");
    EXPECT_EQ(prompts.shown[0].caption, "Brindlex");
    EXPECT_TRUE(prompts.shown[0].yesNo);

    prompts.Answer(false);
    EXPECT_FALSE(checker.ConfirmUpdate());
    EXPECT_EQ(prompts.shown.size(), 2u);

    // The archive in use, its file present or not: no question, Cancel.
    Offer("brindlex4_010907.bx.zip");
    EXPECT_FALSE(checker.ConfirmUpdate());
    ASSERT_EQ(host.files().DeleteFile(kOldPath), platform::kSuccess);
    EXPECT_FALSE(checker.ConfirmUpdate());
    EXPECT_EQ(prompts.shown.size(), 2u);

    network.FailPage(kPageAddress, platform::kErrorInternetNameNotResolved);
    EXPECT_FALSE(checker.ConfirmUpdate());
    ASSERT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(prompts.shown[2].text, update::texts::kConnectionError);
}

TEST_F(UpdateCheckTest, TheOfferComparesWithTheSettingOfTheFileInUse) {
    settings::SettingsStore(host.system()).SetSetting("df", "Brindlex5_020301.bx");
    Offer("brindlex5_020301.bx.zip");
    update::Offer offer = checker.ReadOffer();
    EXPECT_EQ(offer.status, update::OfferStatus::kUpToDate);
    EXPECT_EQ(offer.archiveName, "brindlex5_020301.bx.zip");
    Offer("brindlex5_020401.bx.zip");
    EXPECT_EQ(checker.ReadOffer().status, update::OfferStatus::kNewer);
}

TEST_F(UpdateCheckTest, TheConfiguredServerComesFromUpdsrvUnlessOverridden) {
    settings::SettingsStore settings(host.system());
    EXPECT_EQ(update::ConfiguredAddresses(settings).page, settings::strings::kUpdatePageAddress);
    settings.SetSetting("updsrv", "http://mirror.example/bx/");
    EXPECT_EQ(update::ConfiguredAddresses(settings).page,
              "http://mirror.example/bx/def/def_zip.html");
    EXPECT_EQ(update::ConfiguredAddresses(settings).definitions, "http://mirror.example/bx/def");
    EXPECT_EQ(update::ConfiguredAddresses(settings, "http://127.0.0.1:9").definitions,
              "http://127.0.0.1:9/def");
    // A blank setting means the built-in server.
    settings.SetSetting("updsrv", " ");
    EXPECT_EQ(update::ConfiguredAddresses(settings).page, settings::strings::kUpdatePageAddress);
}

TEST_F(UpdateCheckTest, ThePageReaderKeepsRawTextOrNothing) {
    network.Serve("http://updates.test/raw", " <BODY>Mixed.Case</BODY> ");
    std::string textRead = "stale";
    EXPECT_TRUE(update::FetchUpdatePage(network, "http://updates.test/raw", &textRead, false));
    EXPECT_EQ(textRead, " <BODY>Mixed.Case</BODY> ");
    EXPECT_TRUE(update::FetchUpdatePage(network, "http://updates.test/raw", &textRead, true));
    EXPECT_EQ(textRead, "mixed.case");
    network.FailPage("http://updates.test/raw", platform::kErrorInternetTimeout);
    EXPECT_FALSE(update::FetchUpdatePage(network, "http://updates.test/raw", &textRead, true));
    EXPECT_TRUE(textRead.empty());
}

}  // namespace
}  // namespace updatetest
