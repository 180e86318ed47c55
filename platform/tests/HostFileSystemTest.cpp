// What only the host file system has to get right: drive mapping, resolving
// Windows paths onto host folders, staying inside them, enforcing what the
// host would not (read-only under root), and the Windows search rules that
// Wine does not model (so the conformance suite cannot hold them).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/host/FindPattern.h"
#include "platform/host/HostFileSystem.h"

namespace {

using namespace platform;
using platform::host::FindPatternMatches;
using platform::host::HostFileSystem;
namespace fs = std::filesystem;

using Names = std::vector<std::string>;

class HostFileSystemTest : public ::testing::Test {
  protected:
    fs::path base;
    fs::path c, d, outside;
    HostFileSystem files;

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "bx-hostfs-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        base = pattern;
        c = base / "c";
        d = base / "d";
        outside = base / "outside";
        for (const fs::path& p : {c, d, outside})
            fs::create_directory(p);
        files.MapDrive('C', c.string());
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(base, ignored);
    }

    static void HostWrite(const fs::path& path, const std::string& contents) {
        std::ofstream(path, std::ios::binary) << contents;
    }
    static std::string HostRead(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    std::string Read(std::string_view path) {
        std::string contents;
        EXPECT_EQ(files.ReadFile(path, &contents), kSuccess) << path;
        return contents;
    }
    Names Search(std::string_view pattern, Status* error = nullptr) {
        Names names;
        std::unique_ptr<FileSearch> search = files.Find(pattern);
        FindData data;
        while (search->Next(data))
            names.push_back(data.name);
        if (error != nullptr)
            *error = search->Error();
        return names;
    }
};

TEST(FindPatternTest, FollowsTheDosRulesOfFindFirstFile) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        // "*.*" is every name; "*" too.
        {"*.*", "noext", true},
        {"*.*", "a.b.c", true},
        {"*", "noext", true},
        // A trailing dot keeps names without an extension ("*."), and is
        // otherwise dropped.
        {"*.", "noext", true},
        {"*.", "a.txt", false},
        {"*.", ".profile", false},
        {"ab*.", "abc", true},
        {"ab*.", "ab.txt", false},
        {"noext.", "noext", true},
        {"noext.", "noext.txt", false},
        {"*.txt.", "a.txt", true},
        {"a.txt ", "a.txt", true},
        // '?' is one character, or nothing before a dot or at the end; it
        // never takes the dot itself.
        {"ab?.txt", "ab.txt", true},
        {"ab?.txt", "abc.txt", true},
        {"ab?.txt", "abcd.txt", false},
        {"ab??", "abc", true},
        {"ab??", "abcde", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"a?c", "a.c", false},
        // A dot before a wildcard also matches the end of the name.
        {"b.*", "b", true},
        {"b.?", "b", true},
        {"b.*", "bb", false},
        // '*' before a dot stops at the last dot; plain '*' takes anything.
        {"*.txt", "a.b.txt", true},
        {"*.txt", "a.txtx", false},
        {"*@site[*].txt", "user@site[1].txt", true},
        {"*@site[*].txt", "user@site.txt", false},
        {"*x*", "a.x.b", true},
        // ASCII case folding only.
        {"*.TXT", "a.txt", true},
        {"caf\xC3\xA9*", "Caf\xC3\xA9.txt", true},
        {"CAF\xC3\x89*", "Caf\xC3\xA9.txt", false},
        // The folder's own entries answer to wildcards and dots alone.
        {"*", ".", true},
        {"?", "..", true},
        {"*.*", "..", true},
        {"a*", ".", false},
        {"*.txt", "..", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindPatternMatches(c.pattern, c.name), c.matches)
            << "pattern \"" << c.pattern << "\" name \"" << c.name << "\"";
    }
}

TEST(FindPatternTest, HostilePatternsStayLinear) {
    // A backtracking matcher would never finish these.
    std::string pattern;
    for (int i = 0; i < 40; ++i)
        pattern += "*a";
    pattern += "b";
    const std::string name(5000, 'a');
    EXPECT_FALSE(FindPatternMatches(pattern, name));
    EXPECT_TRUE(FindPatternMatches(pattern, name + "b"));
    EXPECT_FALSE(FindPatternMatches(std::string(500, '?') + ".", name));
}

TEST_F(HostFileSystemTest, MapsDrivesInLetterOrderWithTheirTypes) {
    files.MapDrive('e', d.string(), DriveType::kRemovable);
    files.MapDrive('D', d.string() + "/", DriveType::kCdRom);
    files.MapDrive('1', d.string());  // not a drive letter: ignored
    std::vector<Drive> drives = files.LogicalDrives();
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[0].root, "C:\\");
    EXPECT_EQ(drives[0].type, DriveType::kFixed);
    EXPECT_EQ(drives[1].root, "D:\\");
    EXPECT_EQ(drives[1].type, DriveType::kCdRom);
    EXPECT_EQ(drives[2].root, "E:\\");
    EXPECT_EQ(drives[2].type, DriveType::kRemovable);

    // Mapping a letter again replaces it.
    files.MapDrive('D', outside.string(), DriveType::kRemote);
    HostWrite(outside / "there.txt", "remote");
    EXPECT_EQ(Read("d:\\THERE.txt"), "remote");
    EXPECT_EQ(files.LogicalDrives()[1].type, DriveType::kRemote);
}

TEST_F(HostFileSystemTest, PathsOffTheMappedDrivesAreNotFound) {
    HostWrite(c / "file.txt", "x");
    for (const char* path : {"Q:\\file.txt", "file.txt", "C:file.txt", "\\file.txt",
                             "\\\\server\\share\\file.txt", "", "C:"}) {
        std::string contents;
        EXPECT_EQ(files.ReadFile(path, &contents), kErrorPathNotFound) << path;
        EXPECT_EQ(files.WriteFile(path, "x"), kErrorPathNotFound) << path;
        EXPECT_EQ(files.CreateDirectory(path), kErrorPathNotFound) << path;
        EXPECT_EQ(files.DeleteAtRestart(path), kErrorPathNotFound) << path;
        EXPECT_EQ(files.GetAttributes(path), kInvalidAttributes) << path;
    }
    Status error = kSuccess;
    EXPECT_TRUE(Search("Q:\\*", &error).empty());
    EXPECT_EQ(error, kErrorPathNotFound);
    // Forward slashes and a lower-case letter are the same path.
    EXPECT_EQ(Read("c:/FILE.TXT"), "x");
}

TEST_F(HostFileSystemTest, DotDotStopsAtTheDriveRoot) {
    HostWrite(outside / "secret.txt", "secret");
    EXPECT_EQ(files.WriteFile("C:\\..\\..\\escape.txt", "inside"), kSuccess);
    EXPECT_EQ(HostRead(c / "escape.txt"), "inside");
    EXPECT_FALSE(fs::exists(base / "escape.txt"));

    EXPECT_EQ(files.GetAttributes("C:\\..\\outside\\secret.txt"), kInvalidAttributes);
    std::string contents;
    EXPECT_EQ(files.ReadFile("C:\\Folder\\..\\..\\..\\outside\\secret.txt", &contents),
              kErrorPathNotFound);
    EXPECT_EQ(files.DeleteFile("C:/../outside/secret.txt"), kErrorPathNotFound);
    EXPECT_TRUE(fs::exists(outside / "secret.txt"));

    // The root listed through ".." is still the root: no dot entries.
    Names root = Search("C:\\..\\*");
    EXPECT_EQ(root, (Names{"escape.txt"}));
}

TEST_F(HostFileSystemTest, CaseVariantsResolveExactFirstThenSmallest) {
    HostWrite(c / "readme.txt", "lower");
    HostWrite(c / "README.TXT", "upper");
    HostWrite(c / "ReadMe.txt", "mixed");

    EXPECT_EQ(Read("C:\\readme.txt"), "lower");
    EXPECT_EQ(Read("C:\\ReadMe.txt"), "mixed");
    // No exact spelling: the bytewise smallest, every time.
    EXPECT_EQ(Read("C:\\Readme.Txt"), "upper");
    EXPECT_EQ(Read("C:\\rEADME.txt"), "upper");
    EXPECT_EQ(Search("C:\\readme.*"), (Names{"README.TXT", "ReadMe.txt", "readme.txt"}));

    // New names keep their case; folders on the way are found in any case.
    fs::create_directory(c / "Folder");
    ASSERT_EQ(files.WriteFile("C:\\FOLDER\\New.Txt", "new"), kSuccess);
    EXPECT_EQ(HostRead(c / "Folder" / "New.Txt"), "new");
    ASSERT_EQ(files.CreateDirectory("C:\\folder\\SubFolder"), kSuccess);
    EXPECT_TRUE(fs::is_directory(c / "Folder" / "SubFolder"));

    // Renaming to another case of the same name changes the case (Wine
    // keeps the old one, Windows does not).
    ASSERT_EQ(files.MoveFile("C:\\Folder\\New.Txt", "C:\\Folder\\NEW.TXT", false), kSuccess);
    EXPECT_EQ(Search("C:\\Folder\\new.txt"), (Names{"NEW.TXT"}));
}

TEST_F(HostFileSystemTest, NamesAreCleanedAndCheckedLikeWindows) {
    ASSERT_EQ(files.WriteFile("C:\\name.txt. .", "x"), kSuccess);
    EXPECT_TRUE(fs::exists(c / "name.txt"));
    EXPECT_NE(files.GetAttributes("C:\\name.txt "), kInvalidAttributes);
    EXPECT_NE(files.GetAttributes("C:\\\\.\\name.txt"), kInvalidAttributes);

    for (const char* bad : {"C:\\a|b.txt", "C:\\a<b", "C:\\what?.txt", "C:\\star*", "C:\\a:b"}) {
        EXPECT_EQ(files.WriteFile(bad, "x"), kErrorInvalidName) << bad;
    }
    // An embedded NUL must not cut the name short on the host.
    const char kWithNul[] = "C:\\cut\0off.txt";
    const std::string withNul(kWithNul, sizeof(kWithNul) - 1);
    EXPECT_EQ(files.WriteFile(withNul, "x"), kErrorInvalidName);
    EXPECT_FALSE(fs::exists(c / "cut"));

    // A trailing separator names a folder: a file does not answer to it.
    EXPECT_EQ(files.GetAttributes("C:\\name.txt\\"), kInvalidAttributes);
    fs::create_directory(c / "Dir");
    EXPECT_TRUE(files.IsDirectory("C:\\Dir\\"));
    Status error = kSuccess;
    EXPECT_TRUE(Search("C:\\Dir\\", &error).empty());
    EXPECT_EQ(error, kErrorFileNotFound);
}

TEST_F(HostFileSystemTest, SearchHasTheWindowsOnlyRulesAndAStableOrder) {
    for (const char* name : {"noext", "a.txt", "ab.txt", "abc", "Zeta", "beta"}) {
        HostWrite(c / name, "x");
    }
    fs::create_directory(c / "Sub");
    EXPECT_EQ(Search("C:\\*."), (Names{"abc", "beta", "noext", "Sub", "Zeta"}));
    EXPECT_EQ(Search("C:\\ab?.txt"), (Names{"ab.txt"}));
    EXPECT_EQ(Search("C:\\a??"), (Names{"abc"}));
    EXPECT_EQ(Search("C:\\*"), (Names{"a.txt", "ab.txt", "abc", "beta", "noext", "Sub", "Zeta"}));
    EXPECT_EQ(Search("C:\\Sub\\?"), (Names{".", ".."}));
    EXPECT_EQ(Search("C:\\Sub\\.."), (Names{}));  // the root has no name to list
    Status error = kSuccess;
    Search("C:\\Sub\\..", &error);
    EXPECT_EQ(error, kErrorFileNotFound);
    Search("C:\\a.txt\\*", &error);
    EXPECT_EQ(error, kErrorPathNotFound);
}

TEST_F(HostFileSystemTest, SymbolicLinksAreNeverFollowed) {
    HostWrite(outside / "target.txt", "outside");
    fs::create_directory(outside / "dir");
    HostWrite(outside / "dir" / "inner.txt", "inner");
    fs::create_symlink(outside / "target.txt", c / "link.txt");
    fs::create_directory_symlink(outside / "dir", c / "linkdir");

    // Listed as plain files.
    const std::uint32_t attributes = files.GetAttributes("C:\\linkdir");
    ASSERT_NE(attributes, kInvalidAttributes);
    EXPECT_EQ(attributes & kAttrDirectory, 0u);
    std::uint64_t size = 99;
    EXPECT_EQ(files.GetFileSize("C:\\link.txt", &size), kSuccess);
    EXPECT_EQ(size, 0u);

    // Never opened, never entered.
    std::string contents;
    EXPECT_EQ(files.ReadFile("C:\\link.txt", &contents), kErrorAccessDenied);
    EXPECT_EQ(files.WriteFile("C:\\link.txt", "overwritten"), kErrorAccessDenied);
    EXPECT_EQ(files.AppendFile("C:\\link.txt", "more"), kErrorAccessDenied);
    EXPECT_EQ(files.CopyFile("C:\\link.txt", "C:\\copy.txt", false), kErrorAccessDenied);
    EXPECT_EQ(files.ReadFile("C:\\linkdir\\inner.txt", &contents), kErrorPathNotFound);
    EXPECT_EQ(files.CreateDirectory("C:\\linkdir\\new"), kErrorPathNotFound);
    Status error = kSuccess;
    Search("C:\\linkdir\\*", &error);
    EXPECT_EQ(error, kErrorPathNotFound);
    EXPECT_EQ(HostRead(outside / "target.txt"), "outside");
    EXPECT_FALSE(fs::exists(outside / "dir" / "new"));

    // Deleting removes the link, not what it points at.
    EXPECT_EQ(files.DeleteFile("C:\\link.txt"), kSuccess);
    EXPECT_EQ(files.DeleteFile("C:\\linkdir"), kSuccess);
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(c / "link.txt")));
    EXPECT_TRUE(fs::exists(outside / "target.txt"));
    EXPECT_TRUE(fs::exists(outside / "dir" / "inner.txt"));
}

TEST_F(HostFileSystemTest, FifosAreRefusedWithoutBlocking) {
    ASSERT_EQ(::mkfifo((c / "pipe").c_str(), 0666), 0);
    std::string contents;
    EXPECT_EQ(files.ReadFile("C:\\pipe", &contents), kErrorAccessDenied);
    EXPECT_EQ(files.WriteFile("C:\\pipe", "x"), kErrorAccessDenied);
}

TEST_F(HostFileSystemTest, ReadOnlyIsEnforcedEvenForRoot) {
    ASSERT_EQ(files.WriteFile("C:\\locked.txt", "original"), kSuccess);
    ASSERT_EQ(files.WriteFile("C:\\other.txt", "other"), kSuccess);
    ASSERT_EQ(files.SetAttributes("C:\\locked.txt", kAttrReadOnly), kSuccess);
    EXPECT_EQ(fs::status(c / "locked.txt").permissions() & fs::perms::owner_write, fs::perms::none);

    EXPECT_EQ(files.DeleteFile("C:\\locked.txt"), kErrorAccessDenied);
    EXPECT_EQ(files.WriteFile("C:\\locked.txt", "changed"), kErrorAccessDenied);
    EXPECT_EQ(files.AppendFile("C:\\locked.txt", "more"), kErrorAccessDenied);
    Status error = kSuccess;
    EXPECT_EQ(files.OpenWrite("C:\\locked.txt", true, &error), nullptr);
    EXPECT_EQ(error, kErrorAccessDenied);
    EXPECT_EQ(files.OpenWrite("C:\\locked.txt", false, &error), nullptr);
    EXPECT_EQ(error, kErrorAccessDenied);
    // Windows refuses read-only targets of a replace too (Wine does not).
    EXPECT_EQ(files.MoveFile("C:\\other.txt", "C:\\locked.txt", true), kErrorAccessDenied);
    EXPECT_EQ(files.CopyFile("C:\\other.txt", "C:\\locked.txt", false), kErrorAccessDenied);
    EXPECT_EQ(HostRead(c / "locked.txt"), "original");
    EXPECT_TRUE(fs::exists(c / "other.txt"));

    // Reading and renaming the read-only file itself are fine.
    EXPECT_EQ(Read("C:\\locked.txt"), "original");
    ASSERT_EQ(files.MoveFile("C:\\locked.txt", "C:\\renamed.txt", false), kSuccess);
    EXPECT_NE(files.GetAttributes("C:\\renamed.txt") & kAttrReadOnly, 0u);

    ASSERT_EQ(files.SetAttributes("C:\\renamed.txt", kAttrNormal), kSuccess);
    EXPECT_NE(fs::status(c / "renamed.txt").permissions() & fs::perms::owner_write,
              fs::perms::none);
    EXPECT_EQ(files.MoveFile("C:\\other.txt", "C:\\renamed.txt", true), kSuccess);
    EXPECT_EQ(Read("C:\\renamed.txt"), "other");
}

TEST_F(HostFileSystemTest, ReadOnlyFoldersRefuseRemovalOnly) {
    ASSERT_EQ(files.CreateDirectory("C:\\Kept"), kSuccess);
    ASSERT_EQ(files.SetAttributes("C:\\Kept", kAttrReadOnly | kAttrHidden), kSuccess);
    EXPECT_EQ(files.GetAttributes("C:\\kept"), kAttrDirectory | kAttrReadOnly | kAttrHidden);
    // Unlike a read-only file, the folder still takes new entries.
    EXPECT_EQ(files.WriteFile("C:\\Kept\\inside.txt", "x"), kSuccess);
    EXPECT_EQ(files.DeleteFile("C:\\Kept\\inside.txt"), kSuccess);
    EXPECT_EQ(files.RemoveDirectory("C:\\Kept"), kErrorAccessDenied);
    ASSERT_EQ(files.SetAttributes("C:\\Kept", kAttrNormal), kSuccess);
    EXPECT_EQ(files.GetAttributes("C:\\Kept"), kAttrDirectory);
    EXPECT_EQ(files.RemoveDirectory("C:\\Kept"), kSuccess);
}

TEST_F(HostFileSystemTest, AttributesFollowTheFileAndAreForgottenWithIt) {
    ASSERT_EQ(files.WriteFile("C:\\file.txt", "x"), kSuccess);
    EXPECT_EQ(files.GetAttributes("C:\\file.txt"), kAttrArchive);
    ASSERT_EQ(files.SetAttributes("C:\\file.txt", 0), kSuccess);
    EXPECT_EQ(files.GetAttributes("C:\\file.txt"), kAttrNormal);
    ASSERT_EQ(files.SetAttributes("C:\\file.txt", kAttrHidden | kAttrDirectory), kSuccess);
    EXPECT_EQ(files.GetAttributes("C:\\file.txt"), kAttrHidden);
    // Writing sets the archive bit, as on Windows.
    ASSERT_EQ(files.AppendFile("C:\\file.txt", "y"), kSuccess);
    EXPECT_EQ(files.GetAttributes("C:\\file.txt"), kAttrHidden | kAttrArchive);

    ASSERT_EQ(files.SetAttributes("C:\\file.txt", kAttrHidden | kAttrSystem), kSuccess);
    ASSERT_EQ(files.CopyFile("C:\\file.txt", "C:\\copy.txt", true), kSuccess);
    EXPECT_EQ(files.GetAttributes("C:\\copy.txt"), kAttrHidden | kAttrSystem);

    // Moving a folder carries the attributes of what it holds (and only
    // those: "Old x.txt" sorts between "Old" and what is inside it).
    ASSERT_EQ(files.CreateDirectory("C:\\Old"), kSuccess);
    ASSERT_EQ(files.WriteFile("C:\\Old x.txt", "x"), kSuccess);
    ASSERT_EQ(files.SetAttributes("C:\\Old x.txt", kAttrSystem), kSuccess);
    ASSERT_EQ(files.MoveFile("C:\\file.txt", "C:\\Old\\file.txt", false), kSuccess);
    ASSERT_EQ(files.MoveFile("C:\\Old", "C:\\New", false), kSuccess);
    EXPECT_EQ(files.GetAttributes("C:\\New\\file.txt"), kAttrHidden | kAttrSystem);
    EXPECT_EQ(files.GetAttributes("C:\\Old x.txt"), kAttrSystem);

    // A new file under an old name starts afresh.
    ASSERT_EQ(files.DeleteFile("C:\\New\\file.txt"), kSuccess);
    ASSERT_EQ(files.WriteFile("C:\\New\\file.txt", "again"), kSuccess);
    EXPECT_EQ(files.GetAttributes("C:\\New\\file.txt"), kAttrArchive);
    EXPECT_EQ(files.GetAttributes("C:\\New"), kAttrDirectory);
}

TEST_F(HostFileSystemTest, MovesStayOnTheirDriveAndCopiesDoNot) {
    files.MapDrive('D', d.string());
    ASSERT_EQ(files.WriteFile("C:\\file.txt", "data"), kSuccess);
    EXPECT_EQ(files.MoveFile("C:\\file.txt", "D:\\file.txt", false), kErrorNotSameDevice);
    EXPECT_TRUE(fs::exists(c / "file.txt"));
    EXPECT_EQ(files.CopyFile("C:\\file.txt", "D:\\file.txt", true), kSuccess);
    EXPECT_EQ(HostRead(d / "file.txt"), "data");
    EXPECT_EQ(files.CopyFile("C:\\file.txt", "C:\\FILE.txt", false), kErrorSharingViolation);
    EXPECT_EQ(files.MoveFile("C:\\", "C:\\x", false), kErrorAccessDenied);
    EXPECT_EQ(files.RemoveDirectory("C:\\"), kErrorAccessDenied);
}

TEST_F(HostFileSystemTest, DeleteAtRestartOnlyRecordsTheNormalizedPath) {
    ASSERT_EQ(files.WriteFile("C:\\busy.dll", "x"), kSuccess);
    ASSERT_EQ(files.DeleteAtRestart("c:/Folder/../busy.dll"), kSuccess);
    ASSERT_EQ(files.DeleteAtRestart("C:\\Gone\\never.dll"), kSuccess);
    EXPECT_EQ(files.PendingDeletes(), (Names{"C:\\busy.dll", "C:\\Gone\\never.dll"}));
    EXPECT_TRUE(fs::exists(c / "busy.dll"));
    EXPECT_EQ(files.DeleteAtRestart("Q:\\x.dll"), kErrorPathNotFound);
    EXPECT_EQ(files.PendingDeletes().size(), 2u);
}

TEST_F(HostFileSystemTest, TempFolderDefaultsToTheWindowsFolderOfC) {
    EXPECT_EQ(files.TempFolder(), "C:\\Windows\\Temp\\");
    files.SetTempFolder("D:/Scratch");
    EXPECT_EQ(files.TempFolder(), "D:\\Scratch\\");
    files.SetTempFolder("");
    EXPECT_EQ(files.TempFolder(), "C:\\Windows\\Temp\\");

    HostFileSystem noC;
    noC.MapDrive('D', d.string());
    EXPECT_EQ(noC.TempFolder(), "");
}

TEST_F(HostFileSystemTest, WholeFileCallsNeedSomewhereToPutTheResult) {
    HostWrite(c / "data.bin", std::string(10000, 'z'));
    EXPECT_EQ(files.ReadFile("C:\\data.bin", nullptr), kErrorInvalidParameter);
    EXPECT_EQ(files.GetFileSize("C:\\data.bin", nullptr), kErrorInvalidParameter);
    std::string contents = "stale";
    ASSERT_EQ(files.ReadFile("C:\\data.bin", &contents), kSuccess);
    EXPECT_EQ(contents, std::string(10000, 'z'));
}

}  // namespace
