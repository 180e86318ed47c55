// The same file-system cases against HostFileSystem (natively) and the real
// file system (under Wine). Each case works in a fresh folder of its own.
//
// Left out on purpose, because Wine does not do what Windows does and the
// host follows Windows (HostFileSystemTest covers them): "*." and '?'
// matching nothing before a dot, read-only targets of copy, move and write,
// read-only folders, renaming that changes only the case. Names are chosen so that Windows' 8.3
// short names cannot add matches of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "platform/Text.h"
#include "platform/tests/FileSystemFixture.h"

namespace {

using namespace platform;

// The attribute bits both implementations keep exactly (Wine adds archive
// to every file).
constexpr std::uint32_t kComparedAttributes =
    kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory;

struct SearchResult {
    std::vector<std::string> names;  // sorted ignoring case
    Status error = kSuccess;         // Error() once Next() said no more
};

SearchResult Search(FileSystem& files, std::string_view pattern) {
    SearchResult result;
    std::unique_ptr<FileSearch> search = files.Find(pattern);
    FindData data;
    while (search->Next(data))
        result.names.push_back(data.name);
    result.error = search->Error();
    std::sort(result.names.begin(), result.names.end(), text::LessNoCase());
    return result;
}

std::vector<std::string> WithoutDotEntries(std::vector<std::string> names) {
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const std::string& n) { return n == "." || n == ".."; }),
                names.end());
    return names;
}

using Names = std::vector<std::string>;

class FileSystemConformance : public ::testing::Test {
  protected:
    FileSystem& files = conformance::ConformanceFileSystem();
    std::string scratch;

    void SetUp() override { scratch = conformance::ConformanceMakeScratchFolder(); }
    void TearDown() override { conformance::ConformanceRemoveScratchFolder(scratch); }

    std::string At(std::string_view relative) const { return text::JoinPath(scratch, relative); }

    void Make(std::string_view relative, std::string_view contents = "x") {
        ASSERT_EQ(files.WriteFile(At(relative), contents), kSuccess) << relative;
    }
    void MakeFolder(std::string_view relative) {
        ASSERT_EQ(files.CreateDirectory(At(relative)), kSuccess) << relative;
    }
    std::string Contents(std::string_view relative) {
        std::string contents;
        EXPECT_EQ(files.ReadFile(At(relative), &contents), kSuccess) << relative;
        return contents;
    }
    Names Matches(std::string_view pattern) { return Search(files, At(pattern)).names; }
};

TEST_F(FileSystemConformance, WildcardsMatchLikeFindFirstFile) {
    for (const char* name :
         {"user@site[1].txt", "admin@site[22].txt", "user@site.txt", "user@other[1].txt",
          "user@site[1].dat", "abc", "aXc", "ac", "abbc", "noext", "b", "b.txt"}) {
        Make(name);
    }
    MakeFolder("Sub");

    const Names cookies = {"admin@site[22].txt", "user@site[1].txt"};
    EXPECT_EQ(Matches("*@site[*].txt"), cookies);
    EXPECT_EQ(Matches("*@SITE[*].TXT"), cookies);
    EXPECT_EQ(Matches("*.txt"), (Names{"admin@site[22].txt", "b.txt", "user@other[1].txt",
                                       "user@site.txt", "user@site[1].txt"}));

    // '?' is exactly one character here; the dot entries are left aside
    // because Windows and Wine disagree on which of them '?' matches.
    EXPECT_EQ(Matches("a?c"), (Names{"abc", "aXc"}));
    EXPECT_EQ(WithoutDotEntries(Matches("?")), (Names{"b"}));

    // A dot before '*' also matches the end of a name; a trailing dot goes.
    EXPECT_EQ(Matches("b.*"), (Names{"b", "b.txt"}));
    EXPECT_EQ(Matches("noext."), (Names{"noext"}));

    // "*.*" is every name, with or without a dot, like "*".
    const Names everything = {".",
                              "..",
                              "abbc",
                              "abc",
                              "ac",
                              "admin@site[22].txt",
                              "aXc",
                              "b",
                              "b.txt",
                              "noext",
                              "Sub",
                              "user@other[1].txt",
                              "user@site.txt",
                              "user@site[1].dat",
                              "user@site[1].txt"};
    Names sortedEverything = everything;
    std::sort(sortedEverything.begin(), sortedEverything.end(), text::LessNoCase());
    EXPECT_EQ(Matches("*"), sortedEverything);
    EXPECT_EQ(Matches("*.*"), sortedEverything);
}

TEST_F(FileSystemConformance, ExactNamesAreFoundIgnoringCaseAndKeepTheirCase) {
    Make("MixedCase.TXT", "first");
    MakeFolder("Folder");

    EXPECT_EQ(Matches("mixedcase.txt"), (Names{"MixedCase.TXT"}));
    EXPECT_EQ(Matches("FOLDER"), (Names{"Folder"}));
    EXPECT_NE(files.GetAttributes(At("MIXEDCASE.txt")), kInvalidAttributes);
    EXPECT_TRUE(files.IsDirectory(At("folder")));
    EXPECT_EQ(Contents("mixedCASE.Txt"), "first");

    // Writing through another spelling changes the file, not its name.
    ASSERT_EQ(files.WriteFile(At("MIXEDCASE.TXT"), "second"), kSuccess);
    ASSERT_EQ(files.WriteFile(At("folder\\New.Txt"), "new"), kSuccess);
    EXPECT_EQ(Matches("*"), (Names{".", "..", "Folder", "MixedCase.TXT"}));
    EXPECT_EQ(Contents("MixedCase.TXT"), "second");
    EXPECT_EQ(Matches("Folder\\new.txt"), (Names{"New.Txt"}));
}

TEST_F(FileSystemConformance, DotEntriesAppearBelowTheDriveRootOnly) {
    Make("a.txt");
    MakeFolder("Sub");
    Make("Sub\\inner.txt");

    std::unique_ptr<FileSearch> search = files.Find(At("Sub\\*"));
    std::vector<FindData> entries;
    FindData data;
    while (search->Next(data))
        entries.push_back(data);
    ASSERT_EQ(entries.size(), 3u);
    for (const FindData& entry : entries) {
        if (entry.name == "." || entry.name == "..") {
            EXPECT_TRUE(entry.IsDirectory()) << entry.name;
        } else {
            EXPECT_EQ(entry.name, "inner.txt");
        }
    }

    const Names root = Search(files, "C:\\*").names;
    EXPECT_FALSE(root.empty());
    EXPECT_EQ(std::count(root.begin(), root.end(), "."), 0);
    EXPECT_EQ(std::count(root.begin(), root.end(), ".."), 0);

    // "." and ".." inside a pattern are resolved before the search.
    EXPECT_EQ(Matches("Sub\\..\\*.txt"), (Names{"a.txt"}));
    EXPECT_EQ(Matches("Sub\\."), (Names{"Sub"}));
}

TEST_F(FileSystemConformance, SearchReportsWhyItFoundNothing) {
    Make("only.txt", "12345");
    MakeFolder("Sub");

    SearchResult missingFolder = Search(files, At("Missing\\*"));
    EXPECT_TRUE(missingFolder.names.empty());
    EXPECT_EQ(missingFolder.error, kErrorPathNotFound);

    SearchResult noMatch = Search(files, At("*.dat"));
    EXPECT_TRUE(noMatch.names.empty());
    EXPECT_EQ(noMatch.error, kErrorFileNotFound);

    std::unique_ptr<FileSearch> search = files.Find(At("o*"));
    FindData data;
    ASSERT_TRUE(search->Next(data));
    EXPECT_EQ(data.name, "only.txt");
    EXPECT_EQ(data.size, 5u);
    EXPECT_FALSE(data.IsDirectory());
    // FILETIME ticks of now, within a day.
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    const auto nowTicks = static_cast<std::uint64_t>(now + 11644473600LL) * 10'000'000u;
    const std::uint64_t day = 86400ull * 10'000'000u;
    EXPECT_GT(data.lastWriteTime, nowTicks - day);
    EXPECT_LT(data.lastWriteTime, nowTicks + day);
    EXPECT_FALSE(search->Next(data));
    EXPECT_EQ(search->Error(), kErrorNoMoreFiles);

    search = files.Find(At("sub"));
    ASSERT_TRUE(search->Next(data));
    EXPECT_EQ(data.name, "Sub");
    EXPECT_TRUE(data.IsDirectory());
}

TEST_F(FileSystemConformance, ReadOnlyBlocksDeleteUntilCleared) {
    Make("locked.txt");
    ASSERT_EQ(files.SetAttributes(At("locked.txt"), kAttrReadOnly), kSuccess);
    EXPECT_EQ(files.GetAttributes(At("locked.txt")) & kComparedAttributes, kAttrReadOnly);

    EXPECT_EQ(files.DeleteFile(At("locked.txt")), kErrorAccessDenied);
    EXPECT_TRUE(files.Exists(At("locked.txt")));

    ASSERT_EQ(files.SetAttributes(At("locked.txt"), kAttrNormal), kSuccess);
    EXPECT_EQ(files.GetAttributes(At("locked.txt")) & kComparedAttributes, 0u);
    EXPECT_EQ(files.DeleteFile(At("locked.txt")), kSuccess);
    EXPECT_FALSE(files.Exists(At("locked.txt")));
}

TEST_F(FileSystemConformance, HiddenAndSystemAttributesRoundTrip) {
    Make("plain.txt");
    MakeFolder("Folder");
    ASSERT_EQ(files.SetAttributes(At("plain.txt"), kAttrHidden | kAttrSystem), kSuccess);
    ASSERT_EQ(files.SetAttributes(At("Folder"), kAttrHidden), kSuccess);

    EXPECT_EQ(files.GetAttributes(At("plain.txt")) & kComparedAttributes,
              kAttrHidden | kAttrSystem);
    EXPECT_EQ(files.GetAttributes(At("Folder")) & kComparedAttributes,
              kAttrHidden | kAttrDirectory);
    std::unique_ptr<FileSearch> search = files.Find(At("plain.txt"));
    FindData data;
    ASSERT_TRUE(search->Next(data));
    EXPECT_EQ(data.attributes & kComparedAttributes, kAttrHidden | kAttrSystem);

    // Still an ordinary file to write and read.
    ASSERT_EQ(files.WriteFile(At("plain.txt"), "rewritten"), kSuccess);
    EXPECT_EQ(Contents("plain.txt"), "rewritten");

    EXPECT_EQ(files.GetAttributes(At("absent.txt")), kInvalidAttributes);
    EXPECT_EQ(files.SetAttributes(At("absent.txt"), kAttrHidden), kErrorFileNotFound);
    EXPECT_EQ(files.SetAttributes(At("Absent\\x.txt"), kAttrHidden), kErrorPathNotFound);
}

TEST_F(FileSystemConformance, FolderOperationsGiveWindowsErrors) {
    MakeFolder("Folder");
    Make("Folder\\inside.txt");
    Make("file.txt");

    EXPECT_EQ(files.CreateDirectory(At("Folder")), kErrorAlreadyExists);
    EXPECT_EQ(files.CreateDirectory(At("FOLDER")), kErrorAlreadyExists);
    EXPECT_EQ(files.CreateDirectory(At("file.txt")), kErrorAlreadyExists);
    EXPECT_EQ(files.CreateDirectory(At("Missing\\Child")), kErrorPathNotFound);

    EXPECT_EQ(files.RemoveDirectory(At("Folder")), kErrorDirNotEmpty);
    EXPECT_EQ(files.RemoveDirectory(At("file.txt")), kErrorDirectory);
    EXPECT_EQ(files.RemoveDirectory(At("Missing")), kErrorFileNotFound);

    EXPECT_EQ(files.DeleteFile(At("Folder")), kErrorAccessDenied);
    EXPECT_EQ(files.DeleteFile(At("missing.txt")), kErrorFileNotFound);
    EXPECT_EQ(files.DeleteFile(At("Missing\\x.txt")), kErrorPathNotFound);
    EXPECT_EQ(files.GetAttributes(At("file.txt\\x")), kInvalidAttributes);

    ASSERT_EQ(files.DeleteFile(At("folder\\INSIDE.TXT")), kSuccess);
    EXPECT_EQ(files.RemoveDirectory(At("folder")), kSuccess);
    EXPECT_FALSE(files.Exists(At("Folder")));
}

TEST_F(FileSystemConformance, CopyHonoursFailIfExistsAndKeepsReadOnly) {
    Make("source.txt", "source");
    Make("target.txt", "target");

    EXPECT_EQ(files.CopyFile(At("source.txt"), At("target.txt"), true), kErrorFileExists);
    EXPECT_EQ(Contents("target.txt"), "target");
    EXPECT_EQ(files.CopyFile(At("source.txt"), At("target.txt"), false), kSuccess);
    EXPECT_EQ(Contents("target.txt"), "source");

    ASSERT_EQ(files.SetAttributes(At("source.txt"), kAttrReadOnly), kSuccess);
    ASSERT_EQ(files.CopyFile(At("source.txt"), At("Copy.txt"), true), kSuccess);
    EXPECT_EQ(files.GetAttributes(At("copy.txt")) & kComparedAttributes, kAttrReadOnly);
    EXPECT_EQ(Contents("Copy.txt"), "source");
    EXPECT_EQ(Matches("copy.*"), (Names{"Copy.txt"}));

    EXPECT_EQ(files.CopyFile(At("missing.txt"), At("x.txt"), false), kErrorFileNotFound);
    EXPECT_EQ(files.CopyFile(At("target.txt"), At("Missing\\x.txt"), false), kErrorPathNotFound);
    EXPECT_FALSE(files.Exists(At("x.txt")));
}

TEST_F(FileSystemConformance, MoveReplacesOnlyWhenAsked) {
    Make("from.txt", "from");
    Make("to.txt", "to");

    EXPECT_EQ(files.MoveFile(At("from.txt"), At("to.txt"), false), kErrorAlreadyExists);
    EXPECT_EQ(Contents("to.txt"), "to");
    EXPECT_TRUE(files.Exists(At("from.txt")));

    EXPECT_EQ(files.MoveFile(At("from.txt"), At("TO.TXT"), true), kSuccess);
    EXPECT_EQ(Contents("to.txt"), "from");
    EXPECT_FALSE(files.Exists(At("from.txt")));

    // Folders move with what they hold; a read-only file moves too.
    MakeFolder("Old");
    Make("Old\\kept.txt", "kept");
    ASSERT_EQ(files.SetAttributes(At("Old\\kept.txt"), kAttrReadOnly), kSuccess);
    EXPECT_EQ(files.MoveFile(At("Old"), At("New"), false), kSuccess);
    EXPECT_EQ(Contents("New\\kept.txt"), "kept");
    EXPECT_EQ(files.GetAttributes(At("New\\kept.txt")) & kComparedAttributes, kAttrReadOnly);
    EXPECT_FALSE(files.Exists(At("Old")));
    EXPECT_EQ(files.MoveFile(At("to.txt"), At("New"), true), kErrorAccessDenied);

    EXPECT_EQ(files.MoveFile(At("missing.txt"), At("x.txt"), false), kErrorFileNotFound);
    EXPECT_EQ(files.MoveFile(At("to.txt"), At("Missing\\x.txt"), false), kErrorPathNotFound);
}

TEST_F(FileSystemConformance, ChunkedReadFollowsSeeks) {
    std::string data;
    for (int i = 0; i < 100000; ++i)
        data += static_cast<char>('a' + (i * 7) % 26);
    Make("big.bin", data);

    Status error = 1;
    std::unique_ptr<FileReader> reader = files.OpenRead(At("BIG.bin"), &error);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(error, kSuccess);
    EXPECT_EQ(reader->Size(), data.size());

    std::string read;
    char chunk[4096];
    while (std::size_t n = reader->Read(chunk, sizeof(chunk)))
        read.append(chunk, n);
    EXPECT_EQ(reader->Error(), kSuccess);
    EXPECT_EQ(read, data);

    ASSERT_EQ(reader->Seek(50000), kSuccess);
    ASSERT_EQ(reader->Read(chunk, 10), 10u);
    EXPECT_EQ(std::string(chunk, 10), data.substr(50000, 10));

    // Past the end a read is empty, not an error.
    ASSERT_EQ(reader->Seek(data.size() + 10), kSuccess);
    EXPECT_EQ(reader->Read(chunk, sizeof(chunk)), 0u);
    EXPECT_EQ(reader->Error(), kSuccess);

    std::uint64_t size = 0;
    EXPECT_EQ(files.GetFileSize(At("big.bin"), &size), kSuccess);
    EXPECT_EQ(size, data.size());
}

TEST_F(FileSystemConformance, AppendCreatesThenExtendsAndWriteTruncates) {
    EXPECT_EQ(files.AppendFile(At("log.txt"), "one\r\n"), kSuccess);
    EXPECT_EQ(files.AppendFile(At("LOG.txt"), "two\r\n"), kSuccess);
    EXPECT_EQ(Contents("log.txt"), "one\r\ntwo\r\n");

    Status error = 1;
    std::unique_ptr<FileWriter> writer = files.OpenWrite(At("log.txt"), true, &error);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(writer->Write("three", 5), kSuccess);
    EXPECT_EQ(writer->Write("", 0), kSuccess);
    EXPECT_EQ(writer->Close(), kSuccess);
    EXPECT_EQ(Contents("log.txt"), "one\r\ntwo\r\nthree");

    writer = files.OpenWrite(At("log.txt"), false, &error);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(writer->Write("new", 3), kSuccess);
    EXPECT_EQ(writer->Close(), kSuccess);
    EXPECT_EQ(Contents("log.txt"), "new");

    EXPECT_EQ(files.WriteFile(At("log.txt"), ""), kSuccess);
    EXPECT_EQ(Contents("log.txt"), "");
    std::uint64_t size = 99;
    EXPECT_EQ(files.GetFileSize(At("log.txt"), &size), kSuccess);
    EXPECT_EQ(size, 0u);
}

TEST_F(FileSystemConformance, ReadAndWriteFailuresGiveWindowsErrors) {
    MakeFolder("Folder");
    std::string contents = "untouched";
    EXPECT_EQ(files.ReadFile(At("missing.txt"), &contents), kErrorFileNotFound);
    EXPECT_EQ(files.ReadFile(At("Missing\\x.txt"), &contents), kErrorPathNotFound);

    Status error = kSuccess;
    EXPECT_EQ(files.OpenRead(At("missing.txt"), &error), nullptr);
    EXPECT_EQ(error, kErrorFileNotFound);
    EXPECT_EQ(files.OpenRead(At("Folder"), &error), nullptr);
    EXPECT_EQ(error, kErrorAccessDenied);
    EXPECT_EQ(files.OpenWrite(At("Missing\\x.txt"), false, &error), nullptr);
    EXPECT_EQ(error, kErrorPathNotFound);

    EXPECT_EQ(files.WriteFile(At("Folder"), "x"), kErrorAccessDenied);
    EXPECT_EQ(files.AppendFile(At("Missing\\x.txt"), "x"), kErrorPathNotFound);
    std::uint64_t size = 0;
    EXPECT_EQ(files.GetFileSize(At("missing.txt"), &size), kErrorFileNotFound);
    EXPECT_EQ(files.GetFileSize(At("Folder"), &size), kErrorAccessDenied);
}

TEST_F(FileSystemConformance, NonAsciiNamesRoundTrip) {
    const std::string cafe = "Caf\xC3\xA9.txt";
    const std::string folder = "\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0";  // Cyrillic
    Make(cafe, "cr\xC3\xA8me");
    MakeFolder(folder);
    Make(folder + "\\" + cafe, "inside");

    EXPECT_EQ(Matches("caf*.TXT"), (Names{cafe}));
    EXPECT_EQ(Matches("CAF\xC3\xA9.txt"), (Names{cafe}));
    EXPECT_EQ(Contents(cafe), "cr\xC3\xA8me");
    EXPECT_EQ(Contents(folder + "\\" + cafe), "inside");
    EXPECT_TRUE(files.IsDirectory(At(folder)));
    EXPECT_EQ(files.CopyFile(At(cafe), At(folder + "\\copy-" + cafe), true), kSuccess);
    EXPECT_EQ(Matches(folder + "\\*"), (Names{".", "..", cafe, "copy-" + cafe}));
}

TEST_F(FileSystemConformance, DeleteAtRestartIsRecordedNotCarriedOut) {
    Make("busy.dll");
    EXPECT_FALSE(conformance::ConformanceDeleteIsPending(At("busy.dll")));
    ASSERT_EQ(files.DeleteAtRestart(At("busy.dll")), kSuccess);
    EXPECT_TRUE(files.Exists(At("busy.dll")));
    EXPECT_TRUE(conformance::ConformanceDeleteIsPending(At("busy.dll")));
    EXPECT_FALSE(conformance::ConformanceDeleteIsPending(At("other.dll")));
}

TEST_F(FileSystemConformance, TempFolderAndDrives) {
    const std::string temp = files.TempFolder();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_TRUE(files.IsDirectory(temp));

    const std::vector<Drive> drives = files.LogicalDrives();
    auto c =
        std::find_if(drives.begin(), drives.end(), [](const Drive& d) { return d.root == "C:\\"; });
    ASSERT_NE(c, drives.end());
    EXPECT_EQ(c->type, DriveType::kFixed);
    EXPECT_TRUE(std::is_sorted(drives.begin(), drives.end(),
                               [](const Drive& a, const Drive& b) { return a.root < b.root; }));
}

TEST(ProcessesConformance, ModuleFileNameIsTheProgramFile) {
    const std::string module = conformance::ConformanceProcesses().ModuleFileName();
    // A full path; under Wine possibly "\\?\unix\..." when no drive maps
    // the program's folder.
    EXPECT_TRUE(text::EndsWithNoCase(module, ".exe")) << module;
    FileSystem& files = conformance::ConformanceFileSystem();
    const std::uint32_t attributes = files.GetAttributes(module);
    ASSERT_NE(attributes, kInvalidAttributes) << module;
    EXPECT_EQ(attributes & kAttrDirectory, 0u) << module;
    EXPECT_TRUE(files.IsDirectory(text::ParentPath(module))) << module;
}

}  // namespace
