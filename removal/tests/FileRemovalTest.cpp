#include "removal/FileRemoval.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/tests/support/TestSystem.h"
#include "settings/SettingsStore.h"
#include "zip/ZipReader.h"
#include "zip/ZipStreams.h"
#include "zip/ZipWriter.h"

namespace {

class FileRemovalTest : public ::testing::Test {
  protected:
    FileRemovalTest() {
        EXPECT_TRUE(settings.WriteDefaultSettings());
        EXPECT_TRUE(settings.SetSetting("lfp", "C:\\Logs"));
        files().CreateDirectory("C:\\Work");
    }

    platform::FileSystem& files() { return host.system().files; }

    void MakeArchive(const std::string& path) {
        std::string bytes;
        zip::StringSink sink(bytes);
        zip::Writer writer(sink);
        ASSERT_EQ(writer.AddFromMemory("readme.txt", "hello").code, zip::ErrorCode::kOk);
        ASSERT_EQ(writer.AddFromMemory("bin/bad.exe", "MZbad").code, zip::ErrorCode::kOk);
        ASSERT_EQ(writer.AddFromMemory("bin/good.dll", "MZgood").code, zip::ErrorCode::kOk);
        ASSERT_EQ(writer.Finish().code, zip::ErrorCode::kOk);
        ASSERT_EQ(files().WriteFile(path, bytes), platform::kSuccess);
    }

    std::vector<std::string> Members(const std::string& path) {
        std::string bytes;
        EXPECT_EQ(files().ReadFile(path, &bytes), platform::kSuccess);
        zip::MemorySource source(bytes);
        zip::Reader reader;
        EXPECT_EQ(reader.Open(source).code, zip::ErrorCode::kOk);
        std::vector<std::string> names;
        for (const zip::Member& member : reader.Members())
            names.push_back(member.name);
        return names;
    }

    testsupport::TestSystem host;
    settings::SettingsStore settings{host.system()};
};

TEST_F(FileRemovalTest, DeletesPlainAndArchivedFiles) {
    ASSERT_EQ(files().WriteFile("C:\\Work\\tool.exe", "x"), platform::kSuccess);
    EXPECT_EQ(removal::DeleteDetectedFile(files(), "C:\\Work\\tool.exe"), platform::kSuccess);
    EXPECT_FALSE(files().Exists("C:\\Work\\tool.exe"));
    EXPECT_NE(removal::DeleteDetectedFile(files(), "C:\\Work\\tool.exe"), platform::kSuccess);

    MakeArchive("C:\\Work\\a.zip");
    // The member is named by its path inside the archive; case does not matter.
    EXPECT_EQ(removal::DeleteDetectedFile(files(), "C:\\Work\\a.zip??bin\\BAD.exe"),
              platform::kSuccess);
    EXPECT_EQ(Members("C:\\Work\\a.zip"), (std::vector<std::string>{"readme.txt", "bin/good.dll"}));
    EXPECT_FALSE(files().Exists("C:\\Work\\a.zip.bxnew"));
}

TEST_F(FileRemovalTest, AFailedRewriteKeepsTheArchive) {
    MakeArchive("C:\\Work\\a.zip");
    EXPECT_FALSE(removal::RemoveZipMember(files(), "C:\\Work\\missing.zip", "bad.exe"));
    // The temporary name is taken by a folder: the new archive cannot be made.
    ASSERT_EQ(files().CreateDirectory("C:\\Work\\a.zip.bxnew"), platform::kSuccess);
    EXPECT_FALSE(removal::RemoveZipMember(files(), "C:\\Work\\a.zip", "bad.exe"));
    EXPECT_EQ(Members("C:\\Work\\a.zip").size(), 3u);
    // Not an archive at all.
    ASSERT_EQ(files().WriteFile("C:\\Work\\b.zip", "not a zip"), platform::kSuccess);
    EXPECT_FALSE(removal::RemoveZipMember(files(), "C:\\Work\\b.zip", "bad.exe"));
    std::string kept;
    files().ReadFile("C:\\Work\\b.zip", &kept);
    EXPECT_EQ(kept, "not a zip");
}

TEST_F(FileRemovalTest, RemovesEmptyFoldersDeepestFirstAndKeepsThoseWithFiles) {
    files().CreateDirectory("C:\\Work\\Tree");
    files().CreateDirectory("C:\\Work\\Tree\\Empty");
    files().CreateDirectory("C:\\Work\\Tree\\Empty\\Deeper");
    files().CreateDirectory("C:\\Work\\Tree\\Full");
    files().CreateDirectory("C:\\Work\\Tree\\Full\\Inner");
    ASSERT_EQ(files().WriteFile("C:\\Work\\Tree\\Full\\keep.txt", "x"), platform::kSuccess);
    removal::CLogFile log(host.system());
    ASSERT_TRUE(log.Open());
    // Tree itself holds no file but a folder that stays: its removal fails.
    EXPECT_FALSE(removal::RemoveFolderTree(files(), "C:\\Work\\Tree\\", log));
    EXPECT_FALSE(files().Exists("C:\\Work\\Tree\\Empty"));
    EXPECT_FALSE(files().Exists("C:\\Work\\Tree\\Full\\Inner"));
    EXPECT_TRUE(files().Exists("C:\\Work\\Tree\\Full\\keep.txt"));
    std::string text;
    files().ReadFile(log.path(), &text);
    EXPECT_NE(text.find("\r\nCould not delete (C:\\Work\\Tree) error code = 145"),
              std::string::npos);

    // Only a folder holding files is left: nothing collected fails.
    EXPECT_TRUE(removal::RemoveFolderTree(files(), "C:\\Work\\Tree\\Full", log));
    EXPECT_FALSE(removal::RemoveFolderTree(files(), "C:\\Work\\Gone", log));
    files().ReadFile(log.path(), &text);
    EXPECT_NE(text.find("\r\nCould not delete (C:\\Work\\Gone) error code = 2"), std::string::npos);
}

TEST_F(FileRemovalTest, LogHeaderAndAppendingWithinOneSecond) {
    platform::LocalTime time{2024, 3, 7, 9, 5, 2};
    host.clock().SetFixed(time);
    removal::CLogFile first(host.system());
    ASSERT_TRUE(first.Open());
    EXPECT_EQ(first.path(), "C:\\Logs\\Date(7-3-2024) Time(9-5-2).txt");
    first.Write("one");
    removal::CLogFile second(host.system());
    ASSERT_TRUE(second.Open());
    second.Write("two");
    std::string text;
    files().ReadFile(first.path(), &text);
    const std::string header = "Brindlex 5.0\r\n---------------------\r\n\r\n";
    EXPECT_EQ(text, header + "one" + header + "two");

    // Without a log folder there is no log, and writes go nowhere.
    ASSERT_TRUE(settings.SetSetting("lfp", std::string(300, 'x')));
    removal::CLogFile none(host.system());
    EXPECT_FALSE(none.Open());
    EXPECT_TRUE(none.path().empty());
    none.Write("lost");
}

}  // namespace
