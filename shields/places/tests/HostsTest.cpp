#include "shields/places/Hosts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/tests/support/TestSystem.h"
#include "registry/RegistryHelper.h"
#include "shields/places/tests/FaultyFileSystem.h"

namespace {

constexpr const char* kHosts = "C:\\Windows\\system32\\drivers\\etc\\hosts";

class HostsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.environment().SetVariable("SystemRoot", "C:\\Windows");
        std::filesystem::create_directories(host.HostPath("C:\\Windows\\system32\\drivers\\etc"));
    }

    void Write(std::string_view contents) {
        std::ofstream(host.HostPath(kHosts), std::ios::binary | std::ios::trunc) << contents;
    }
    std::string Contents() {
        std::ifstream in(host.HostPath(kHosts), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    // Records every question and answers it with `refuse`.
    shields::HostsShield::Ask Answer(bool refuse) {
        return [this, refuse](const std::string& line) {
            asked.push_back(line);
            return refuse;
        };
    }

    testsupport::TestSystem host;
    shields::HostsShield shield{host.files()};
    std::vector<std::string> asked;
};

TEST_F(HostsTest, PathComesFromTheResolversDatabaseFolderElseTheWindowsFolder) {
    EXPECT_EQ(shields::HostsFilePath(host.registry(), host.environment()), kHosts);
    CRegistryHelper helper(host.registry());
    ASSERT_TRUE(helper.SetString(platform::kHkeyLocalMachine,
                                 "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters",
                                 "DataBasePath", "%SystemRoot%\\Elsewhere\\etc\\"));
    EXPECT_EQ(shields::HostsFilePath(host.registry(), host.environment()),
              "C:\\Windows\\Elsewhere\\etc\\hosts");
    // A blank value is no folder.
    ASSERT_TRUE(helper.SetString(platform::kHkeyLocalMachine,
                                 "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters",
                                 "DataBasePath", "  "));
    EXPECT_EQ(shields::HostsFilePath(host.registry(), host.environment()), kHosts);
}

TEST_F(HostsTest, SnapshotHoldsTrimmedAddressLinesOnly) {
    Write("# comment\r\n\r\n   127.0.0.1   localhost  \r\n\t#indented comment\n::1 localhost");
    ASSERT_TRUE(shield.TakeHostsSnapshot(kHosts));
    EXPECT_EQ(shield.snapshotSize(), 2u);
    EXPECT_TRUE(shield.InSnapshot("127.0.0.1   localhost"));
    EXPECT_TRUE(shield.InSnapshot("::1 LOCALHOST"));
    EXPECT_FALSE(shield.InSnapshot("# comment"));

    EXPECT_FALSE(shield.TakeHostsSnapshot("C:\\Windows\\missing\\hosts"));
    EXPECT_EQ(shield.snapshotSize(), 0u);
}

TEST_F(HostsTest, NewCommentsBlankLinesAndKnownLinesInOtherCaseAskNothing) {
    Write("127.0.0.1 localhost\r\n");
    ASSERT_TRUE(shield.TakeHostsSnapshot(kHosts));
    Write("127.0.0.1 localhost\r\n# 10.0.0.1 added as a note\r\n\r\n  127.0.0.1 LOCALHOST\r\n");
    EXPECT_EQ(shield.CheckHostsFile(Answer(true)), shields::HostsShield::Outcome::kNothingNew);
    EXPECT_TRUE(asked.empty());
}

TEST_F(HostsTest, RefusedLineIsRemovedWithCommentsAndLineEndsKeptByteForByte) {
    const std::string before =
        "# Copyright notice\r\n"
        "#\tsecond comment  \r\n"
        "127.0.0.1       localhost\r\n"
        "\r\n"
        "  ::1 localhost   \n"
        "# unix-style comment\n";
    Write(before);
    ASSERT_TRUE(shield.TakeHostsSnapshot(kHosts));
    Write(before + "10.6.6.6 bank.example\r\n# note added later\r\n6.6.6.6 other.example");

    EXPECT_EQ(shield.CheckHostsFile(Answer(true)), shields::HostsShield::Outcome::kRemoved);
    // Asked once, about the first new line only.
    EXPECT_EQ(asked, std::vector<std::string>{"10.6.6.6 bank.example"});
    EXPECT_EQ(Contents(),
              "# Copyright notice\r\n"
              "#\tsecond comment  \r\n"
              "127.0.0.1       localhost\r\n"
              "  ::1 localhost   \n"
              "# unix-style comment\n"
              "# note added later\r\n");
    EXPECT_FALSE(host.files().Exists(shields::HostsRewritePath(kHosts)));

    // The rewrite itself raises no second question.
    asked.clear();
    EXPECT_EQ(shield.CheckHostsFile(Answer(true)), shields::HostsShield::Outcome::kNothingNew);
    EXPECT_TRUE(asked.empty());
}

TEST_F(HostsTest, AcceptingOneLineAcceptsEveryNewLine) {
    Write("127.0.0.1 localhost\n");
    ASSERT_TRUE(shield.TakeHostsSnapshot(kHosts));
    const std::string grown = "127.0.0.1 localhost\n10.0.0.2 intranet\n10.0.0.3 printer\n";
    Write(grown);
    EXPECT_EQ(shield.CheckHostsFile(Answer(false)), shields::HostsShield::Outcome::kAccepted);
    EXPECT_EQ(asked, std::vector<std::string>{"10.0.0.2 intranet"});
    EXPECT_EQ(Contents(), grown);
    EXPECT_TRUE(shield.InSnapshot("10.0.0.3 printer"));
    EXPECT_EQ(shield.CheckHostsFile(Answer(true)), shields::HostsShield::Outcome::kNothingNew);
    EXPECT_EQ(asked.size(), 1u);
}

TEST_F(HostsTest, UnterminatedLastLineAndUtf8MarkSurviveTheRewrite) {
    Write("\xEF\xBB\xBF# marked\r\n127.0.0.1 localhost");
    ASSERT_TRUE(shield.TakeHostsSnapshot(kHosts));
    // The mark belongs to no line: the comment is still a comment.
    EXPECT_EQ(shield.snapshotSize(), 1u);
    Write(
        "\xEF\xBB\xBF"
        "6.6.6.6 first.example\r\n# marked\r\n127.0.0.1 localhost");
    EXPECT_EQ(shield.CheckHostsFile(Answer(true)), shields::HostsShield::Outcome::kRemoved);
    EXPECT_EQ(Contents(), "\xEF\xBB\xBF# marked\r\n127.0.0.1 localhost");
}

TEST_F(HostsTest, ReadOnlyHostsFileIsRewrittenAndStaysReadOnly) {
    Write("127.0.0.1 localhost\r\n");
    ASSERT_TRUE(shield.TakeHostsSnapshot(kHosts));
    Write("127.0.0.1 localhost\r\n6.6.6.6 bank.example\r\n");
    ASSERT_EQ(host.files().SetAttributes(kHosts, platform::kAttrReadOnly | platform::kAttrHidden),
              platform::kSuccess);

    EXPECT_EQ(shield.CheckHostsFile(Answer(true)), shields::HostsShield::Outcome::kRemoved);
    EXPECT_EQ(Contents(), "127.0.0.1 localhost\r\n");
    const std::uint32_t attributes = host.files().GetAttributes(kHosts);
    EXPECT_NE(attributes & platform::kAttrReadOnly, 0u);
    EXPECT_NE(attributes & platform::kAttrHidden, 0u);
}

TEST_F(HostsTest, FailedRewriteLeavesTheOriginalIntact) {
    const std::string original = "# keep me\r\n127.0.0.1 localhost\r\n6.6.6.6 bank.example\r\n";
    Write("# keep me\r\n127.0.0.1 localhost\r\n");
    shields::testing::FaultyFileSystem faulty(host.files());
    shields::HostsShield guarded(faulty);
    ASSERT_TRUE(guarded.TakeHostsSnapshot(kHosts));
    Write(original);
    const std::string beside = shields::HostsRewritePath(kHosts);

    // The disk fills up half way through the new file.
    faulty.failWriteAfter = 10;
    EXPECT_EQ(guarded.CheckHostsFile(Answer(true)), shields::HostsShield::Outcome::kKept);
    EXPECT_EQ(faulty.writersOpened, 1);
    EXPECT_EQ(Contents(), original);
    EXPECT_FALSE(host.files().Exists(beside));

    // Everything was written but did not reach the disk.
    faulty.failWriteAfter = static_cast<std::size_t>(-1);
    faulty.failClose = true;
    EXPECT_EQ(guarded.RemoveUnknownLines(), platform::kErrorDiskFull);
    EXPECT_EQ(Contents(), original);
    EXPECT_FALSE(host.files().Exists(beside));

    // The move over the original is refused, also for a read-only original,
    // which gets its attribute back.
    faulty.failClose = false;
    faulty.failMove = platform::kErrorSharingViolation;
    ASSERT_EQ(host.files().SetAttributes(kHosts, platform::kAttrReadOnly), platform::kSuccess);
    EXPECT_EQ(guarded.RemoveUnknownLines(), platform::kErrorSharingViolation);
    EXPECT_EQ(Contents(), original);
    EXPECT_NE(host.files().GetAttributes(kHosts) & platform::kAttrReadOnly, 0u);
    EXPECT_FALSE(host.files().Exists(beside));

    // Once the disk behaves, the same refusal goes through.
    faulty.failMove = platform::kSuccess;
    EXPECT_EQ(guarded.RemoveUnknownLines(), platform::kSuccess);
    EXPECT_EQ(Contents(), "# keep me\r\n127.0.0.1 localhost\r\n");
}

TEST_F(HostsTest, FileThatVanishedIsNeitherAskedAboutNorRecreated) {
    Write("127.0.0.1 localhost\r\n");
    ASSERT_TRUE(shield.TakeHostsSnapshot(kHosts));
    ASSERT_EQ(host.files().DeleteFile(kHosts), platform::kSuccess);
    EXPECT_EQ(shield.CheckHostsFile(Answer(true)), shields::HostsShield::Outcome::kNothingNew);
    EXPECT_NE(shield.RemoveUnknownLines(), platform::kSuccess);
    EXPECT_FALSE(host.files().Exists(kHosts));
    EXPECT_TRUE(asked.empty());
}

TEST_F(HostsTest, LeftoverOfAnEarlierRewriteIsReplaced) {
    Write("127.0.0.1 localhost\n");
    ASSERT_TRUE(shield.TakeHostsSnapshot(kHosts));
    const std::string beside = shields::HostsRewritePath(kHosts);
    ASSERT_EQ(host.files().WriteFile(beside, "stale"), platform::kSuccess);
    ASSERT_EQ(host.files().SetAttributes(beside, platform::kAttrReadOnly), platform::kSuccess);
    Write("127.0.0.1 localhost\n6.6.6.6 x.example\n");
    EXPECT_EQ(shield.RemoveUnknownLines(), platform::kSuccess);
    EXPECT_EQ(Contents(), "127.0.0.1 localhost\n");
    EXPECT_FALSE(host.files().Exists(beside));
}

}  // namespace
