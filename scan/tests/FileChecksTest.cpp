// Checksums, cookies, listed files and folders, and the browser cache.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "registry/RegistryHelper.h"
#include "scan/FileChecks.h"
#include "scan/tests/FileChecksSupport.h"

namespace {

using filechecks::File;
using filechecks::Files;
using filechecks::kMiB;
using filechecks::Pattern;
using filechecks::Program;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FileChecksumTest : public filechecks::FileChecksFixture {
  protected:
    std::string Checksum(std::string_view path) {
        return scan::FileChecksum(host.files(), path, buffer);
    }
    std::vector<unsigned char> buffer;
};

TEST_F(FileChecksumTest, IsTheUpperCaseMd5OfTheWholeContent) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        // Three blocks, the last one short.
        {Pattern(1300000, 1), "EFCD3E058CEC66A200D807A947120690"},
        // The largest size that is still read.
        {Pattern(6 * kMiB - 1, 2), "0997DBC160CD8744B66DCE0F7BD262E8"},
    };
    int index = 0;
    for (const auto& [contents, expected] : cases) {
        const std::string path = "C:\\Data\\file" + std::to_string(index++) + ".bin";
        Write(path, contents);
        EXPECT_EQ(Checksum(path), expected) << path;
    }
}

TEST_F(FileChecksumTest, LargeUnreadableAndMissingFilesHaveNoDigest) {
    Write("C:\\Data\\six.bin", Pattern(6 * kMiB, 3));
    Write("C:\\Data\\seven.bin", Pattern(7 * kMiB, 4));
    EXPECT_EQ(Checksum("C:\\Data\\six.bin"), "z");
    EXPECT_EQ(Checksum("C:\\Data\\seven.bin"), "z");

    EXPECT_EQ(Checksum("C:\\Data\\missing.bin"), "");
    EXPECT_EQ(Checksum("C:\\Nowhere\\missing.bin"), "");
    EXPECT_EQ(Checksum("C:\\Data"), "");
    // The host file system refuses to open a symbolic link, like a file that
    // is locked on Windows.
    Write("C:\\Data\\target.txt", "abc");
    std::filesystem::create_symlink(host.HostPath("C:\\Data\\target.txt"),
                                    host.HostPath("C:\\Data\\link.txt"));
    EXPECT_EQ(Checksum("C:\\Data\\link.txt"), "");
}

TEST_F(FileChecksumTest, ReusesOneBlockSizedBuffer) {
    Write("C:\\Data\\a.bin", Pattern(1300000, 5));
    Write("C:\\Data\\b.bin", "abc");
    Checksum("C:\\Data\\a.bin");
    ASSERT_EQ(buffer.size(), scan::kChecksumBlockSize);
    const unsigned char* first = buffer.data();
    EXPECT_EQ(Checksum("C:\\Data\\b.bin"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(buffer.data(), first);
    EXPECT_EQ(buffer.size(), scan::kChecksumBlockSize);
}

TEST(Md5Test, PiecesGiveTheDigestOfTheWholeAndFinishStartsOver) {
    scan::Md5 md5;
    ASSERT_TRUE(md5.Ready());
    std::string hex;
    md5.Update("message ", 8);
    md5.Update("digest", 6);
    md5.Finish(hex);
    EXPECT_EQ(hex, "F96B697D7CB7938D525A2F31AAF161D0");
    md5.Finish(hex);
    EXPECT_EQ(hex, "D41D8CD98F00B204E9800998ECF8427E");
    md5.Update("junk", 4);
    md5.Reset();
    md5.Update("abc", 3);
    md5.Finish(hex);
    EXPECT_EQ(hex, "900150983CD24FB0D6963F7D28E17F72");
}

// --- Cookies ---------------------------------------------------------------

TEST(CookieSiteNameTest, TakesThePartBetweenTheLastAtAndTheLastBracket) {
    EXPECT_EQ(scan::CookieSiteName("C:\\Cookies\\user@site[1].txt"), "site");
    EXPECT_EQ(scan::CookieSiteName("C:\\Cookies\\user@ads.example[12].txt"), "ads.example");
    EXPECT_EQ(scan::CookieSiteName("C:\\Cookies\\a@b@tracker[1].txt"), "tracker");
    EXPECT_EQ(scan::CookieSiteName("C:\\Cookies\\user@site[1][2].txt"), "site[1]");
    // No at sign: everything before the bracket stays.
    EXPECT_EQ(scan::CookieSiteName("C:\\Cookies\\site[1].txt"), "C:\\Cookies\\site");
    // No bracket: no name.
    EXPECT_EQ(scan::CookieSiteName("C:\\Cookies\\user@site.txt"), "");
    EXPECT_EQ(scan::CookieSiteName("C:\\Cook[ies\\user@site.txt"), "");
}

class CookieTest : public filechecks::FileChecksFixture {
  protected:
    // The host environment's default cookies folder.
    const std::string folder = "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Cookies";
};

TEST_F(CookieTest, FilesMatchCookieItemsBySiteInAnyCase) {
    ASSERT_EQ(host.environment().CookiesFolder(), folder);
    Load(Program("Tracker", "<COOKIES>\n<COOKIE NAME=\"SITE\"/>\n</COOKIES>\n") +
         Program("Other",
                 "<COOKIES>\n<COOKIE NAME=\"site\"/>\n<COOKIE NAME=\"other\"/>\n"
                 "<COOKIE NAME=\"absent\"/>\n</COOKIES>\n"));
    Write(folder + "\\user@site[1].txt", "cookie");
    Write(folder + "\\user@other[2].txt", "cookie");
    Write(folder + "\\index.dat", "not a cookie");
    // Folders and what is inside them are not cookies.
    MakeFolder(folder + "\\user@absent[3].txt");
    Write(folder + "\\Low\\user@absent[4].txt", "cookie");

    EXPECT_TRUE(scan::CheckCookies(context));

    refdb::SpywareEntry& tracker = EntryNamed("Tracker");
    refdb::SpywareEntry& other = EntryNamed("Other");
    EXPECT_THAT(
        observer.events,
        ElementsAre("progress Cookie : ", "cookie other " + folder + "\\user@other[2].txt",
                    "progress Cookie : other", "cookie SITE " + folder + "\\user@site[1].txt",
                    "cookie site " + folder + "\\user@site[1].txt", "progress Cookie : site"));
    ASSERT_EQ(observer.cookies.size(), 3u);
    EXPECT_EQ(observer.cookies[0].first, &other);
    EXPECT_EQ(observer.cookies[1].first, &tracker);
    EXPECT_TRUE(tracker.detected);
    EXPECT_TRUE(tracker.cookies[0].detected);
    EXPECT_TRUE(other.detected);
    EXPECT_TRUE(other.cookies[0].detected);
    EXPECT_TRUE(other.cookies[1].detected);
    EXPECT_FALSE(other.cookies[2].detected);
    EXPECT_EQ(observer.lastCount, 3);
}

TEST_F(CookieTest, AMissingFolderOrAStopChecksNothing) {
    Load(Program("Tracker", "<COOKIES>\n<COOKIE NAME=\"site\"/>\n</COOKIES>\n"));
    EXPECT_TRUE(scan::CheckCookies(context));
    EXPECT_THAT(observer.events, IsEmpty());

    host.environment().SetCookiesFolder("C:\\Elsewhere\\Cookies\\");
    Write("C:\\Elsewhere\\Cookies\\user@site[1].txt", "cookie");
    Write("C:\\Elsewhere\\Cookies\\user@site[2].txt", "cookie");
    StopAfter(1);
    EXPECT_TRUE(scan::CheckCookies(context));
    EXPECT_THAT(observer.progress, ElementsAre("Cookie : site"));
    ASSERT_EQ(observer.cookies.size(), 1u);
    EXPECT_EQ(observer.cookies[0].second->foundPath, "C:\\Elsewhere\\Cookies\\user@site[1].txt");
}

// --- Listed files and folders ----------------------------------------------

class ListedFilesTest : public filechecks::FileChecksFixture {};

TEST_F(ListedFilesTest, PlacesAreTestedAndChecksumAndNameWorkIsGathered) {
    const std::string bad = "C:\\Program Files\\Bad";
    Load(Program("Bad", Files(File("tool.exe", bad) + File("gone.dll", bad) +
                              File("lib.dll", bad, filechecks::kPayloadMd5) + File("roam.exe", "") +
                              File("both.exe", "", filechecks::kMemberMd5))));
    Write(bad + "\\TOOL.EXE", "tool");
    Write(bad + "\\lib.dll", "a different build");
    refdb::SpywareEntry& entry = db.entries().front();
    entry.files[1].detected = true;  // from an earlier scan

    scan::ChecksumRefs checksums;
    std::vector<scan::NameWork> names;
    EXPECT_TRUE(scan::CheckListedFiles(context, entry, checksums, names));

    EXPECT_THAT(observer.events,
                ElementsAre("file " + bad + "\\tool.exe", "progress " + bad + "\\tool.exe",
                            "progress " + bad + "\\gone.dll"));
    EXPECT_TRUE(entry.files[0].detected);
    EXPECT_FALSE(entry.files[1].detected);
    EXPECT_TRUE(entry.detected);
    // A file with a place and a checksum is left to the checksum passes.
    EXPECT_FALSE(entry.files[2].detected);
    ASSERT_EQ(checksums.size(), 2u);
    EXPECT_EQ(checksums[0].file, &entry.files[2]);
    EXPECT_EQ(checksums[1].file, &entry.files[4]);
    EXPECT_EQ(checksums[1].entry, &entry);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].name, "roam.exe");
    EXPECT_EQ(names[0].file, &entry.files[3]);
    EXPECT_EQ(names[1].name, "both.exe");

    // Its listed folder holds a different file: not reported.
    observer.Clear();
    scan::ScanVariableFiles(context, bad, scan::ChecksumRefs{checksums[0]}, false);
    EXPECT_THAT(observer.files, IsEmpty());
    // The same folder with the listed content: reported as itself.
    Write(bad + "\\lib.dll", filechecks::kPayload);
    scan::ScanVariableFiles(context, bad, scan::ChecksumRefs{checksums[0]}, false);
    ASSERT_EQ(observer.files.size(), 1u);
    EXPECT_EQ(observer.files[0].item, &entry.files[2]);
    EXPECT_EQ(observer.files[0].location, bad + "\\lib.dll");
}

TEST_F(ListedFilesTest, AStopLeavesTheRestOfTheItemsAlone) {
    Load(Program("Bad", Files(File("a.exe", "C:\\Bad") + File("b.exe", "C:\\Bad") +
                              File("c.exe", "", filechecks::kPayloadMd5))));
    StopAfter(1);
    scan::ChecksumRefs checksums;
    std::vector<scan::NameWork> names;
    scan::CheckListedFiles(context, db.entries().front(), checksums, names);
    EXPECT_THAT(observer.progress, ElementsAre("C:\\Bad\\a.exe"));
    EXPECT_THAT(checksums, IsEmpty());
}

TEST_F(ListedFilesTest, FoldersAreFoundAsFoldersOrFiles) {
    Load(Program("Bad",
                 "<DIRECTORIES>\n<DIR NAME=\"Bad\" PATH=\"C:\\Program Files\"/>\n"
                 "<DIR NAME=\"marker.dat\" PATH=\"C:\\ProgramData\"/>\n"
                 "<DIR NAME=\"Gone\" PATH=\"C:\\Program Files\"/>\n</DIRECTORIES>\n"));
    MakeFolder("C:\\Program Files\\BAD");
    Write("C:\\ProgramData\\marker.dat", "x");

    EXPECT_TRUE(scan::CheckFolders(context, db.entries().front()));
    EXPECT_THAT(
        observer.events,
        ElementsAre("directory C:\\Program Files\\Bad", "progress C:\\Program Files\\Bad",
                    "directory C:\\ProgramData\\marker.dat", "progress C:\\ProgramData\\marker.dat",
                    "progress C:\\Program Files\\Gone"));
    const refdb::SpywareEntry& entry = db.entries().front();
    EXPECT_TRUE(entry.detected);
    EXPECT_TRUE(entry.directories[0].detected);
    EXPECT_TRUE(entry.directories[1].detected);
    EXPECT_FALSE(entry.directories[2].detected);
}

// --- Browser cache -----------------------------------------------------------

TEST(DecodeCacheNameTest, DecodesEscapesAndDropsTheBracketedCopyNumber) {
    EXPECT_EQ(scan::DecodeCacheName("ad%20banner[2].gif"), "ad banner.gif");
    EXPECT_EQ(scan::DecodeCacheName("Tracker%5fpixel[3].png"), "Tracker_pixel.png");
    EXPECT_EQ(scan::DecodeCacheName("100%25[1].htm"), "100%.htm");
    EXPECT_EQ(scan::DecodeCacheName("a+b.js"), "a+b.js");
    // Broken escapes stay as written.
    EXPECT_EQ(scan::DecodeCacheName("%zz%2"), "%zz%2");
    EXPECT_EQ(scan::DecodeCacheName("50%"), "50%");
    // Only a '[' with a later ']' goes, and only the first pair.
    EXPECT_EQ(scan::DecodeCacheName("a]b[c"), "a]b[c");
    EXPECT_EQ(scan::DecodeCacheName("x[1]y[2]"), "xy[2]");
    // Brackets that were escaped count too: decoding comes first.
    EXPECT_EQ(scan::DecodeCacheName("page%5B1%5D.htm"), "page.htm");
}

class CacheTest : public filechecks::FileChecksFixture {
  protected:
    void SetCacheFolder(const std::string& folder) {
        CRegistryHelper(host.registry())
            .SetString(platform::kHkeyCurrentUser,
                       "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                       "Cache", folder);
    }
};

TEST_F(CacheTest, FindsTheFirstFileDepthFirstWhoseDecodedNameStartsWithTheItem) {
    Load(Program("Ads", Files(File("ad banner", ":IECache:") + File("Tracker_pixel", ":IECache:") +
                              File("upper", ":IECache:") + File("pixel", ":IECache:"))));
    SetCacheFolder("C:\\Cache\\");
    // "A" is listed before the second file, and its files are met first.
    Write("C:\\Cache\\A\\ad banner[1].gif", "gif");
    Write("C:\\Cache\\ad%20banner[2].gif", "gif");
    Write("C:\\Cache\\B\\Tracker%5Fpixel[3].png", "png");
    Write("C:\\Cache\\B\\UPPER[1].js", "js");

    EXPECT_TRUE(scan::CheckCacheFiles(context));

    refdb::SpywareEntry& entry = db.entries().front();
    EXPECT_THAT(observer.FileLocations(), ElementsAre("C:\\Cache\\A\\ad banner[1].gif",
                                                      "C:\\Cache\\B\\Tracker%5Fpixel[3].png"));
    EXPECT_EQ(observer.files[0].item, &entry.files[0]);
    EXPECT_EQ(entry.files[0].name, "ad banner[1].gif");
    EXPECT_EQ(entry.files[0].path, "C:\\Cache\\A");
    EXPECT_TRUE(entry.files[1].detected);
    // The prefix is compared with case.
    EXPECT_FALSE(entry.files[2].detected);
    // A name inside the decoded name is not a prefix of it.
    EXPECT_FALSE(entry.files[3].detected);
    EXPECT_TRUE(entry.detected);
    EXPECT_THAT(observer.progress, IsEmpty());

    // Found items are not looked for again.
    observer.Clear();
    scan::CheckCacheFiles(context);
    EXPECT_THAT(observer.files, IsEmpty());
}

TEST_F(CacheTest, NoCacheValueOrAMissingFolderFindsNothing) {
    Load(Program("Ads", Files(File("ad", ":IECache:"))));
    Write("C:\\Cache\\ad.gif", "gif");
    EXPECT_TRUE(scan::CheckCacheFiles(context));
    SetCacheFolder("C:\\Missing");
    EXPECT_TRUE(scan::CheckCacheFiles(context));
    EXPECT_THAT(observer.files, IsEmpty());
    SetCacheFolder("C:\\Cache");
    scan::CheckCacheFiles(context);
    EXPECT_THAT(observer.FileLocations(), ElementsAre("C:\\Cache\\ad.gif"));
}

}  // namespace
