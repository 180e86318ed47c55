// The update page's text, the server addresses, archive names and the texts
// of the download dialog.
#include <gtest/gtest.h>

#include "settings/Strings.h"
#include "update/DownloadWorker.h"
#include "update/UpdatePage.h"
#include "update/UpdateServer.h"

namespace {

using update::ExtractPageBody;

TEST(UpdatePageTest, TheNameBetweenUpperCaseBodyTagsComesOutAloneInLowerCase) {
    EXPECT_EQ(ExtractPageBody("<HTML><HEAD><TITLE>Def</TITLE></HEAD>\r\n<BODY>\r\n  \t"
                              "Brindlex5_020301.BX.ZIP \r\n\n</BODY></HTML>\r\n"),
              "brindlex5_020301.bx.zip");
    EXPECT_EQ(ExtractPageBody("<body>a.zip</body>"), "a.zip");
}

TEST(UpdatePageTest, MissingTagsLeaveTheRestOfTheText) {
    // No tags at all: the whole text, trimmed.
    EXPECT_EQ(ExtractPageBody("\n New.Zip \n"), "new.zip");
    // Only an opening tag: everything after it.
    EXPECT_EQ(ExtractPageBody("<title>x</title><body> b.zip "), "b.zip");
    // Only a closing tag: everything before it.
    EXPECT_EQ(ExtractPageBody(" c.zip </body> trailer"), "c.zip");
    // A closing tag before the opening one is cut after the opening tag.
    EXPECT_EQ(ExtractPageBody("</body><body> d.zip </body>"), "d.zip");
    // White space of every kind the C library knows.
    EXPECT_EQ(ExtractPageBody("<body>\v\f\t e.zip\t\f\v</body>"), "e.zip");
    EXPECT_EQ(ExtractPageBody("<body> \r\n </body>"), "");
    EXPECT_EQ(ExtractPageBody(""), "");
}

TEST(UpdateServerTest, AddressesFollowTheBuiltInPageOrTheConfiguredBase) {
    update::UpdateAddresses builtIn = update::AddressesFor("");
    EXPECT_EQ(builtIn.page, settings::strings::kUpdatePageAddress);
    EXPECT_EQ(builtIn.definitions, "https://update.brindlex.invalid/def");
    EXPECT_EQ(update::AddressesFor("  \t").page, builtIn.page);

    for (const char* base :
         {"http://127.0.0.1:8080", "http://127.0.0.1:8080/", " http://127.0.0.1:8080// "}) {
        update::UpdateAddresses mirror = update::AddressesFor(base);
        EXPECT_EQ(mirror.page, "http://127.0.0.1:8080/def/def_zip.html") << base;
        EXPECT_EQ(mirror.definitions, "http://127.0.0.1:8080/def") << base;
    }
    EXPECT_EQ(update::AddressesFor("https://mirror.example/brindlex/updates").page,
              "https://mirror.example/brindlex/updates/def/def_zip.html");
}

TEST(ArchiveNameTest, OnlyAPlainZipNameMayBecomeAPathBesideTheProgram) {
    for (const char* good : {"brindlex5_020301.bx.zip", "a.zip", "NEW.ZIP", "with space.zip"}) {
        EXPECT_TRUE(update::IsUsableArchiveName(good)) << good;
    }
    for (const char* bad :
         {"", ".zip", "brindlex.exe", "ref.bx", "..\\evil.zip", "../evil.zip", "sub\\a.zip",
          "sub/a.zip", "C:a.zip", "\\a.zip", "a.zip:stream.zip", "nul.zip", "con.zip", "a?.zip",
          "<html><body>404</body></html>", "a.zip\r\nb.zip"}) {
        EXPECT_FALSE(update::IsUsableArchiveName(bad)) << bad;
    }
}

TEST(DownloadTextsTest, FailureTextCarriesTheCodeAndTheSystemMessage) {
    EXPECT_EQ(update::DownloadFailureText(0x80004004u, "Operation aborted"),
              "Download failed.  Error = 0x80004004\n\nOperation aborted");
    EXPECT_EQ(update::DownloadFailureText(0x800C0005u, ""),
              "Download failed.  Error = 0x800C0005\n\nNo message available.");
    EXPECT_EQ(update::DownloadFailureText(0x5u, ""),
              "Download failed.  Error = 0x00000005\n\nNo message available.");
}

TEST(DownloadTextsTest, StatusReportsBecomeProgressOrTheEndOfTheDialog) {
    update::StatusView view = update::DescribeStatus(0);
    EXPECT_EQ(view.kind, update::StatusView::Kind::kProgress);
    EXPECT_EQ(view.text, "Download Status: 0% Complete");
    view = update::DescribeStatus(57);
    EXPECT_EQ(view.percent, 57);
    EXPECT_EQ(view.text, "Download Status: 57% Complete");
    EXPECT_EQ(update::DescribeStatus(update::kDownloadCancel).kind,
              update::StatusView::Kind::kEndCancel);
    EXPECT_EQ(update::DescribeStatus(update::kDownloadDone).kind, update::StatusView::Kind::kEndOk);
    // All bits set is the cancel report, as the message's wParam carries it.
    EXPECT_EQ(static_cast<unsigned>(update::kDownloadCancel), 0xFFFFFFFFu);
}

}  // namespace
