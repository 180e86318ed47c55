// The passes over whole folders and drives: variable files, the system drive
// by name, the deep scan, the chosen folder and zip members.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "scan/FileChecks.h"
#include "scan/tests/FileChecksSupport.h"
#include "zip/ZipStreams.h"
#include "zip/ZipWriter.h"

namespace {

using filechecks::File;
using filechecks::Files;
using filechecks::kMember;
using filechecks::kMemberMd5;
using filechecks::kMiB;
using filechecks::kPayload;
using filechecks::kPayloadMd5;
using filechecks::Pattern;
using filechecks::Program;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Members named with a trailing '/' are folders.
std::string Archive(const std::vector<std::pair<std::string, std::string>>& members,
                    const std::string& password = "") {
    std::string bytes;
    zip::StringSink sink(bytes);
    zip::Writer writer(sink);
    for (const auto& [name, data] : members) {
        if (name.ends_with('/')) {
            EXPECT_TRUE(writer.AddDirectory(name).Ok()) << name;
            continue;
        }
        zip::MemberOptions options;
        options.password = password;
        EXPECT_TRUE(writer.AddFromMemory(name, data, options).Ok()) << name;
    }
    EXPECT_TRUE(writer.Finish().Ok());
    return bytes;
}

// Drive D: is a folder of its own, so a walk of it meets only what a test
// puts there.
class SearchTest : public filechecks::FileChecksFixture {
  protected:
    SearchTest() {
        MakeFolder("C:\\DriveD");
        host.files().MapDrive('D', host.HostPath("C:\\DriveD").string());
    }
    void WriteD(std::string_view rest, std::string_view contents) {
        Write("C:\\DriveD\\" + std::string(rest), contents);
    }
};

TEST(IndexTest, LookUpIgnoresCaseAndKeepsTheOrderGiven) {
    refdb::SpywareEntry entry;
    entry.files.resize(4);
    entry.files[0].md5 = "28f072f3dfa77d58b2828708c375ea2d";
    entry.files[1].md5 = kPayloadMd5;
    entry.files[2].md5 = kMemberMd5;
    scan::ChecksumRefs refs;
    for (refdb::FileItem& item : entry.files)
        refs.push_back({&entry, &item});
    const scan::ChecksumIndex index(refs);
    EXPECT_FALSE(index.Empty());
    auto found = index.Find(kPayloadMd5);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].file, &entry.files[0]);
    EXPECT_EQ(found[1].file, &entry.files[1]);
    EXPECT_EQ(index.Find("86bb114ef5388c6c5a3e1c3bf0bf3ee4").size(), 1u);
    // An item without a checksum is never looked up by one.
    EXPECT_TRUE(index.Find("").empty());
    EXPECT_TRUE(scan::ChecksumIndex(scan::ChecksumRefs{}).Empty());

    const std::vector<scan::NameWork> work = {{"Roamer.exe", &entry, &entry.files[0]},
                                              {"other.dll", &entry, &entry.files[1]},
                                              {"ROAMER.EXE", &entry, &entry.files[2]}};
    const scan::NameIndex names(work);
    auto named = names.Find("roamer.exe");
    ASSERT_EQ(named.size(), 2u);
    EXPECT_EQ(named[0], &work[0]);
    EXPECT_EQ(named[1], &work[2]);
    EXPECT_TRUE(names.Find("roamer").empty());
}

// --- Variable files: the checksum rule -----------------------------------

TEST_F(SearchTest, FirstFindTakesOverTheItemAndLaterFindsAreCopies) {
    Load(Program("Agent", Files(File("agent.exe", "C:\\Program Files\\Agent", kPayloadMd5))) +
         Program("Twin", Files(File("twin.exe", "C:\\Twin", kPayloadMd5))) +
         Program("Roamer", Files(File("roamer.exe", "", kMemberMd5))));
    Write("C:\\Drop\\a.bin", kPayload);
    Write("C:\\Drop\\b.bin", kPayload);
    Write("C:\\Drop\\c.bin", kMember);
    Write("C:\\Drop\\other.txt", "harmless");
    Write("C:\\Drop\\Sub\\d.bin", kPayload);

    scan::ScanVariableFiles(context, "C:\\Drop\\", db.checksums(), false);

    const std::string text = "progress Scanning Variable Files : ";
    EXPECT_THAT(observer.events, ElementsAre("file C:\\Drop\\a.bin", "file C:\\Drop\\a.bin",
                                             text + "C:\\Drop\\a.bin", "file C:\\Drop\\b.bin",
                                             "file C:\\Drop\\b.bin", text + "C:\\Drop\\b.bin",
                                             "file C:\\Drop\\c.bin", text + "C:\\Drop\\c.bin",
                                             text + "C:\\Drop\\other.txt"));
    refdb::FileItem& agent = EntryNamed("Agent").files[0];
    refdb::FileItem& twin = EntryNamed("Twin").files[0];
    refdb::FileItem& roamer = EntryNamed("Roamer").files[0];
    // Every reference with the checksum reports; the first find moves the
    // listed item itself.
    EXPECT_EQ(observer.files[0].item, &agent);
    EXPECT_EQ(observer.files[1].item, &twin);
    EXPECT_EQ(agent.name, "a.bin");
    EXPECT_EQ(agent.path, "C:\\Drop");
    EXPECT_TRUE(agent.detected);
    // The second find is a copy kept with the item.
    ASSERT_EQ(agent.copies.size(), 1u);
    const refdb::FileItem& copy = agent.copies.front();
    EXPECT_EQ(observer.files[2].item, &copy);
    EXPECT_EQ(observer.files[2].entry, &EntryNamed("Agent"));
    EXPECT_EQ(copy.name, "b.bin");
    EXPECT_EQ(copy.path, "C:\\Drop");
    EXPECT_EQ(copy.md5, kPayloadMd5);
    EXPECT_TRUE(copy.detected);
    // Without a listed place even the first find is a copy.
    EXPECT_EQ(roamer.name, "roamer.exe");
    EXPECT_TRUE(roamer.path.empty());
    EXPECT_TRUE(roamer.detected);
    ASSERT_EQ(roamer.copies.size(), 1u);
    EXPECT_EQ(observer.files[4].item, &roamer.copies.front());
    EXPECT_TRUE(EntryNamed("Roamer").detected);

    // With subfolders the file below is met too.
    observer.Clear();
    scan::ScanVariableFiles(context, "C:\\Drop", db.checksums(), true);
    EXPECT_THAT(observer.ProgressStartingWith("Scanning Variable Files : C:\\Drop\\Sub"),
                ElementsAre("Scanning Variable Files : C:\\Drop\\Sub\\d.bin"));
    EXPECT_EQ(agent.copies.size(), 4u);
}

TEST_F(SearchTest, FilesOfSixMebibytesOrMoreNeverMatch) {
    Load(Program("Big", Files(File("big.bin", "", "9A92AA1AC7A02ED6D23DF4D9F69477F3") +
                              File("edge.bin", "", "0997DBC160CD8744B66DCE0F7BD262E8"))));
    Write("C:\\Data\\big.bin", Pattern(7 * kMiB, 4));
    Write("C:\\Data\\edge.bin", Pattern(6 * kMiB - 1, 2));

    scan::ScanVariableFiles(context, "C:\\Data", db.checksums(), false);
    EXPECT_TRUE(scan::DeepScan(context, "C:\\Data", db.checksums(), {}));

    EXPECT_THAT(observer.FileLocations(), ElementsAre("C:\\Data\\edge.bin", "C:\\Data\\edge.bin"));
    EXPECT_FALSE(db.entries().front().files[0].detected);
    EXPECT_EQ(observer.ProgressStartingWith("Scanning Variable Files : ").size(), 2u);
    EXPECT_EQ(observer.ProgressStartingWith("Deep Scan : ").size(), 2u);
}

// --- By name, and the deep scan --------------------------------------------

TEST_F(SearchTest, SystemDriveSearchReportsTheFirstRecordOfAName) {
    Load(Program("Named", Files(File("Roamer.exe", ""))) +
         Program("NamedToo", Files(File("roamer.EXE", ""))));
    scan::ChecksumRefs checksums;
    std::vector<scan::NameWork> names;
    GatherWork(checksums, names);
    Write("C:\\Games\\ROAMER.EXE", "x");
    Write("C:\\Tools\\deep\\roamer.exe", "x");
    Write("C:\\Tools\\deep\\roamer.exe.txt", "x");

    scan::SearchSystemDrive(context, names);

    // Every file of the drive is one step, named by its path alone, before
    // it is compared.
    std::size_t filesOnDrive = 0;
    for (const auto& item : std::filesystem::recursive_directory_iterator(host.driveC())) {
        if (item.is_regular_file())
            ++filesOnDrive;
    }
    EXPECT_EQ(observer.progress.size(), filesOnDrive);
    for (const std::string& text : observer.progress)
        EXPECT_TRUE(text.starts_with("C:\\")) << text;
    auto at =
        std::find(observer.events.begin(), observer.events.end(), "progress C:\\Games\\ROAMER.EXE");
    ASSERT_NE(at, observer.events.end());
    EXPECT_EQ(*(at + 1), "file C:\\Games\\ROAMER.EXE");

    refdb::FileItem& named = EntryNamed("Named").files[0];
    ASSERT_EQ(observer.files.size(), 2u);
    EXPECT_EQ(observer.files[0].item, &named);
    EXPECT_EQ(observer.files[1].item, &named);
    EXPECT_EQ(observer.files[1].location, "C:\\Tools\\deep\\roamer.exe");
    // The item takes the place it was last found at.
    EXPECT_EQ(named.path, "C:\\Tools\\deep");
    EXPECT_EQ(named.name, "roamer.exe");
    EXPECT_TRUE(named.copies.empty());
    EXPECT_FALSE(EntryNamed("NamedToo").files[0].detected);

    // The drive is the one %SystemDrive% names.
    host.environment().SetVariable("SystemDrive", "D:");
    WriteD("roamer.exe", "x");
    observer.Clear();
    scan::SearchSystemDrive(context, names);
    EXPECT_THAT(observer.events, ElementsAre("progress D:\\roamer.exe", "file D:\\roamer.exe"));
}

TEST_F(SearchTest, DeepScanReportsTheFirstChecksumAndEveryName) {
    Load(Program("First", Files(File("first.exe", "", kPayloadMd5))) +
         Program("Second", Files(File("second.exe", "", kPayloadMd5))) +
         Program("Named", Files(File("Roamer.exe", ""))) +
         Program("NamedToo", Files(File("ROAMER.EXE", ""))));
    scan::ChecksumRefs checksums;
    std::vector<scan::NameWork> names;
    GatherWork(checksums, names);
    WriteD("a\\b\\payload.bin", kPayload);
    WriteD("roamer.exe", "x");
    WriteD("z.txt", "x");

    for (const char* root : {"D:\\", "D:", "D:\\*"}) {
        observer.Clear();
        EXPECT_TRUE(scan::DeepScan(context, root, db.checksums(), names)) << root;
        EXPECT_THAT(observer.progress,
                    ElementsAre("Deep Scan : D:\\a\\b\\payload.bin", "Deep Scan : D:\\roamer.exe",
                                "Deep Scan : D:\\z.txt"))
            << root;
    }
    // From the last of the three walks.
    EXPECT_THAT(
        observer.events,
        ElementsAre("file D:\\a\\b\\payload.bin", "progress Deep Scan : D:\\a\\b\\payload.bin",
                    "file D:\\roamer.exe", "file D:\\roamer.exe",
                    "progress Deep Scan : D:\\roamer.exe", "progress Deep Scan : D:\\z.txt"));
    EXPECT_EQ(observer.files[1].item, &EntryNamed("Named").files[0]);
    EXPECT_EQ(observer.files[2].item, &EntryNamed("NamedToo").files[0]);
    EXPECT_EQ(EntryNamed("First").files[0].copies.size(), 3u);
    EXPECT_FALSE(EntryNamed("Second").detected);

    // Without checksums nothing is read, and names are still compared.
    observer.Clear();
    EXPECT_TRUE(scan::DeepScan(context, "D:\\", {}, names));
    EXPECT_EQ(observer.files.size(), 2u);
}

TEST_F(SearchTest, ChecksumsComputedAheadAreReportedInWalkOrder) {
    Load(Program("Agent", Files(File("agent.exe", "", kPayloadMd5))));
    // Far more files than are hashed ahead at a time, every seventh a match,
    // in folders of several depths; names sort by their number.
    std::vector<std::string> expected;
    for (int i = 0; i < 150; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "f%03d.bin", i);
        const std::string rest = std::string(i < 100 ? "" : "z\\") + name;
        WriteD(rest, i % 7 == 0 ? std::string(kPayload) : Pattern(100 + 37 * i, 9));
        if (i % 7 == 0)
            expected.push_back("file D:\\" + rest);
        expected.push_back("progress Deep Scan : D:\\" + rest);
    }
    EXPECT_TRUE(scan::DeepScan(context, "D:\\", db.checksums(), {}));
    EXPECT_EQ(observer.events, expected);

    // A stop in the middle: nothing is reported after it.
    observer.Clear();
    StopAfter(60);
    EXPECT_FALSE(scan::DeepScan(context, "D:\\", db.checksums(), {}));
    expected.resize(static_cast<std::size_t>(std::find(expected.begin(), expected.end(),
                                                       "progress Deep Scan : D:\\f059.bin") -
                                             expected.begin()) +
                    1);
    EXPECT_EQ(observer.events, expected);
}

// --- The chosen folder -------------------------------------------------------

TEST_F(SearchTest, ChosenFolderEntersSubfoldersOnlyWhenAskedTo) {
    Load(
        Program("Agent", Files(File("agent.exe", "", kPayloadMd5) + File("tool.exe", "C:\\Pick"))));
    Write("C:\\Pick\\top.bin", kPayload);
    Write("C:\\Pick\\sub\\deep.bin", kPayload);
    Write("C:\\Pick\\TOOL.EXE", "tool");
    refdb::SpywareEntry& entry = db.entries().front();

    scan::ScanChosenFolder(context, "C:\\Pick");
    // The listed file is found at its place as itself; the other by checksum.
    EXPECT_THAT(observer.events,
                ElementsAre("file C:\\Pick\\tool.exe", "progress C:\\Pick\\TOOL.EXE",
                            "file C:\\Pick\\top.bin", "progress C:\\Pick\\top.bin"));
    EXPECT_EQ(observer.files[0].item, &entry.files[1]);
    EXPECT_EQ(observer.files[1].item, &entry.files[0].copies.front());

    // Only the value 1 means subfolders.
    SetOption("sbfolders", 2);
    observer.Clear();
    scan::ScanChosenFolder(context, "C:\\Pick");
    EXPECT_THAT(observer.FileLocations(), ElementsAre("C:\\Pick\\top.bin"));

    SetOption("sbfolders", 1);
    observer.Clear();
    scan::ScanChosenFolder(context, "C:\\Pick");
    // The listed file was found before and is not reported at its place again.
    EXPECT_THAT(observer.FileLocations(),
                ElementsAre("C:\\Pick\\sub\\deep.bin", "C:\\Pick\\top.bin"));
}

// --- Zip members -----------------------------------------------------------

class ZipMemberTest : public SearchTest {
  protected:
    const std::string scratch = "C:\\Windows\\Temp\\BrindlexScan";
    const std::string zipText = "progress Scanning in zip file : ";
};

TEST_F(ZipMemberTest, AMatchingMemberIsNamedArchiveQuestionMarkMember) {
    SetOption("zipfiles", 1);
    Load(Program("Bundle", Files(File("bundled.exe", "", kMemberMd5))));
    Write("C:\\Downloads\\Setup.ZIP",
          Archive(
              {{"readme.txt", "hello"}, {"tools/", ""}, {"tools/evil.bin", std::string(kMember)}}));
    bool scratchDuringMembers = false;
    observer.onProgress = [&](std::string_view text) {
        if (text.find(" -> ") != std::string_view::npos)
            scratchDuringMembers = host.files().IsDirectory(scratch);
    };

    scan::ScanVariableFiles(context, "C:\\Downloads", db.checksums(), false);

    const std::string archive = "C:\\Downloads\\Setup.ZIP";
    EXPECT_THAT(
        observer.events,
        ElementsAre(zipText + archive, zipText + archive + " -> readme.txt",
                    zipText + archive + " -> tools/", zipText + archive + " -> tools/evil.bin",
                    "file C:\\Downloads\\Setup.ZIP?tools/evil.bin",
                    "progress Scanning Variable Files : " + archive));
    refdb::FileItem& item = db.entries().front().files[0];
    ASSERT_EQ(item.copies.size(), 1u);
    EXPECT_EQ(item.copies.front().name, "Setup.ZIP?tools/evil.bin");
    EXPECT_EQ(item.copies.front().path, "C:\\Downloads");
    EXPECT_EQ(item.copies.front().md5, kMemberMd5);
    EXPECT_TRUE(item.detected);
    EXPECT_TRUE(scratchDuringMembers);
    EXPECT_FALSE(host.files().Exists(scratch));
}

TEST_F(ZipMemberTest, ArchivesAreNotOpenedWithoutTheSetting) {
    Load(Program("Bundle", Files(File("bundled.exe", "", kMemberMd5))));
    Write("C:\\Downloads\\setup.zip", Archive({{"evil.bin", std::string(kMember)}}));
    scan::ScanVariableFiles(context, "C:\\Downloads", db.checksums(), false);
    scan::ScanZipMembers(context, "C:\\Downloads\\setup.zip", db.checksums());
    EXPECT_THAT(observer.events,
                ElementsAre("progress Scanning Variable Files : C:\\Downloads\\setup.zip"));
    EXPECT_FALSE(db.entries().front().detected);
}

TEST_F(ZipMemberTest, DamagedArchivesAndLockedMembersMatchNothing) {
    SetOption("zipfiles", 1);
    Load(Program("Bundle", Files(File("bundled.exe", "", kMemberMd5))));
    Write("C:\\Downloads\\bad.zip", "PK\x03\x04 but nothing more");
    Write("C:\\Downloads\\locked.zip", Archive({{"evil.bin", std::string(kMember)}}, "secret"));

    scan::ScanVariableFiles(context, "C:\\Downloads", db.checksums(), false);

    EXPECT_THAT(observer.events,
                ElementsAre(zipText + "C:\\Downloads\\bad.zip",
                            "progress Scanning Variable Files : C:\\Downloads\\bad.zip",
                            zipText + "C:\\Downloads\\locked.zip",
                            zipText + "C:\\Downloads\\locked.zip -> evil.bin",
                            "progress Scanning Variable Files : C:\\Downloads\\locked.zip"));
    EXPECT_FALSE(host.files().Exists(scratch));
}

TEST_F(ZipMemberTest, EveryPassLooksIntoArchivesAndTheFirstReferenceReports) {
    SetOption("zipfiles", 1);
    SetOption("sbfolders", 1);
    Load(Program("Bundle", Files(File("bundled.exe", "", kMemberMd5))) +
         Program("BundleToo", Files(File("again.exe", "", kMemberMd5))));
    WriteD("pack\\setup.zip", Archive({{"evil.bin", std::string(kMember)}}));

    EXPECT_TRUE(scan::DeepScan(context, "D:\\", db.checksums(), {}));
    scan::ScanChosenFolder(context, "D:\\pack");
    EXPECT_THAT(observer.FileLocations(),
                ElementsAre("D:\\pack\\setup.zip?evil.bin", "D:\\pack\\setup.zip?evil.bin"));
    EXPECT_EQ(db.entries()[0].files[0].copies.size(), 2u);
    EXPECT_FALSE(db.entries()[1].detected);
}

TEST_F(ZipMemberTest, AStopEndsTheMemberLoop) {
    SetOption("zipfiles", 1);
    Load(Program("Bundle", Files(File("bundled.exe", "", kMemberMd5))));
    WriteD("setup.zip",
           Archive({{"one.txt", "1"}, {"two.txt", "2"}, {"evil.bin", std::string(kMember)}}));
    StopAfter(2);
    scan::ScanZipMembers(context, "D:\\setup.zip", db.checksums());
    EXPECT_THAT(observer.progress, ElementsAre("Scanning in zip file : D:\\setup.zip",
                                               "Scanning in zip file : D:\\setup.zip -> one.txt"));
    EXPECT_FALSE(db.entries().front().detected);
}

// --- Stopping, and folders that cannot be walked ---------------------------

TEST_F(SearchTest, AStopEndsEveryWalkEarly) {
    Load(Program("Agent", Files(File("agent.exe", "", kPayloadMd5))));
    for (int i = 0; i < 6; ++i) {
        WriteD("many\\f" + std::to_string(i) + ".bin", "x");
        WriteD("many\\sub\\g" + std::to_string(i) + ".bin", "x");
    }
    EXPECT_TRUE(scan::DeepScan(context, "D:\\", db.checksums(), {}));
    EXPECT_EQ(observer.progress.size(), 12u);

    StopAfter(3);
    observer.Clear();
    EXPECT_FALSE(scan::DeepScan(context, "D:\\", db.checksums(), {}));
    EXPECT_EQ(observer.progress.size(), 3u);

    context.stopRequested = false;
    StopAfter(2);
    observer.Clear();
    scan::ScanVariableFiles(context, "D:\\many", db.checksums(), true);
    EXPECT_EQ(observer.progress.size(), 2u);

    context.stopRequested = false;
    SetOption("sbfolders", 1);
    StopAfter(4);
    observer.Clear();
    scan::ScanChosenFolder(context, "D:\\many");
    EXPECT_EQ(observer.progress.size(), 4u);

    context.stopRequested = false;
    host.environment().SetVariable("SystemDrive", "D:");
    StopAfter(5);
    observer.Clear();
    scan::SearchSystemDrive(context, {});
    EXPECT_EQ(observer.progress.size(), 5u);
}

TEST_F(SearchTest, MissingFoldersAreSkippedAndLinksAreNotEntered) {
    Load(Program("Agent", Files(File("agent.exe", "", kPayloadMd5))));
    scan::ScanVariableFiles(context, "C:\\Nope", db.checksums(), true);
    // An empty folder (an unknown desktop, say) is not the drive's root.
    scan::ScanVariableFiles(context, "", db.checksums(), true);
    scan::ScanChosenFolder(context, "C:\\Nope\\Deeper");
    EXPECT_TRUE(scan::DeepScan(context, "Q:\\", db.checksums(), {}));
    EXPECT_THAT(observer.events, IsEmpty());

    // A link back up the tree is listed, never walked into.
    WriteD("tree\\inner\\f.txt", "x");
    std::filesystem::create_directory_symlink(host.HostPath("C:\\DriveD\\tree"),
                                              host.HostPath("C:\\DriveD\\tree\\inner\\loop"));
    EXPECT_TRUE(scan::DeepScan(context, "D:\\tree", db.checksums(), {}));
    EXPECT_THAT(observer.progress, ElementsAre("Deep Scan : D:\\tree\\inner\\f.txt",
                                               "Deep Scan : D:\\tree\\inner\\loop"));
}

}  // namespace
