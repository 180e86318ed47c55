// The download worker, step by step, against a scripted network: what gets
// installed, what the dialog is told, and that every failure leaves the
// Reference file in use as it was.
#include <gtest/gtest.h>

#include <thread>

#include "refdb/Scramble.h"
#include "update/DownloadWorker.h"
#include "update/UpdateTexts.h"
#include "update/tests/UpdateFixture.h"

namespace updatetest {
namespace {

using update::UpdateOutcome;

constexpr const char* kNewName = "brindlex5_020301.bx.zip";
constexpr const char* kNewPath = "C:\\Program Files\\Brindlex\\brindlex5_020301.bx";
constexpr const char* kProgramFolder = "C:\\Program Files\\Brindlex";

class DownloadWorkerTest : public UpdateFixture {
  protected:
    std::string newContent = ReferenceFile({"New Program", "Another New Program"});

    // Nothing of an archive is left behind: neither it, nor its staging
    // folder, nor anything unpacked.
    void ExpectNothingUnpacked(const std::string& archiveName = kNewName) {
        const std::string archive = std::string(kProgramFolder) + "\\" + archiveName;
        EXPECT_FALSE(Exists(archive));
        EXPECT_FALSE(Exists(archive + ".unpack"));
        EXPECT_FALSE(Exists(kNewPath));
        EXPECT_FALSE(Exists(std::string(kProgramFolder) + "\\readme.txt"));
    }

    const update::Message& OnlyMessage() {
        EXPECT_EQ(prompts.shown.size(), 1u);
        static const update::Message none;
        return prompts.shown.empty() ? none : prompts.shown.back();
    }
};

TEST_F(DownloadWorkerTest, ANewerArchiveIsInstalledAndTheOldFileDeleted) {
    Offer(kNewName);
    std::string archive =
        StoredZip({{"brindlex5_020301.bx", newContent}, {"readme.txt", "What is new"}});
    Publish(kNewName, archive);

    update::UpdateResult result = RunWorker();

    EXPECT_EQ(result.outcome, UpdateOutcome::kInstalled) << result.detail;
    EXPECT_EQ(result.referencePath, kNewPath);
    EXPECT_EQ(Setting("rfp"), kNewPath);
    EXPECT_EQ(Setting("df"), "brindlex5_020301.bx");
    EXPECT_EQ(Read(kNewPath), newContent);
    EXPECT_EQ(Read(std::string(kProgramFolder) + "\\readme.txt"), "What is new");
    EXPECT_FALSE(Exists(kOldPath));
    EXPECT_FALSE(Exists(std::string(kProgramFolder) + "\\" + kNewName));
    EXPECT_FALSE(Exists(std::string(kProgramFolder) + "\\" + kNewName + ".unpack"));
    EXPECT_TRUE(prompts.shown.empty());

    // The page, the archive from the definitions folder, its signature beside it.
    const std::string address = std::string(kDefinitions) + "/" + kNewName;
    EXPECT_EQ(network.requests(),
              (std::vector<std::string>{"page " + std::string(kPageAddress), "download " + address,
                                        "page " + address + ".sig"}));

    // One report per chunk, the share received truncated; then done, once.
    std::vector<int> expected = {0};
    const std::size_t total = archive.size();
    for (std::size_t received = FakeNetwork::kChunk;; received += FakeNetwork::kChunk) {
        std::size_t now = std::min(received, total);
        expected.push_back(static_cast<int>(now * 100 / total));
        if (now == total)
            break;
    }
    EXPECT_EQ(sink.sent, expected);
    EXPECT_EQ(sink.posted, std::vector<int>{update::kDownloadDone});
}

TEST_F(DownloadWorkerTest, MembersInFoldersLandInTheSameFoldersBesideTheProgram) {
    Offer(kNewName);
    Write(std::string(kProgramFolder) + "\\docs.txt", "old docs");
    Publish(kNewName, StoredZip({{"docs/notes/changes.txt", "changes"},
                                 {"docs.txt", "new docs"},
                                 {"brindlex5_020301.bx", newContent}}));
    update::UpdateResult result = RunWorker();
    ASSERT_EQ(result.outcome, UpdateOutcome::kInstalled) << result.detail;
    EXPECT_EQ(Read(std::string(kProgramFolder) + "\\docs\\notes\\changes.txt"), "changes");
    EXPECT_EQ(Read(std::string(kProgramFolder) + "\\docs.txt"), "new docs");
    EXPECT_EQ(Read(kNewPath), newContent);
}

TEST_F(DownloadWorkerTest, AnUpdateOfTheSameNameReplacesTheFileInPlaceAndKeepsIt) {
    Offer("brindlex4_010907.bx.zip");
    Publish("brindlex4_010907.bx.zip", StoredZip({{"brindlex4_010907.bx", newContent}}));
    prompts.Answer(true);

    update::UpdateResult result = RunWorker();

    ASSERT_EQ(result.outcome, UpdateOutcome::kInstalled) << result.detail;
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].caption, "Alert");
    EXPECT_EQ(Setting("rfp"), kOldPath);
    EXPECT_EQ(Setting("df"), "brindlex4_010907.bx");
    // The new path equals the old one: the file is the new one and stays.
    EXPECT_EQ(Read(kOldPath), newContent);
    EXPECT_EQ(sink.posted, std::vector<int>{update::kDownloadDone});
}

TEST_F(DownloadWorkerTest, DecliningTheSameArchiveDownloadsNothing) {
    Offer("brindlex4_010907.bx.zip");
    Publish("brindlex4_010907.bx.zip", StoredZip({{"brindlex4_010907.bx", newContent}}));
    prompts.Answer(false);

    EXPECT_EQ(RunWorker().outcome, UpdateOutcome::kDeclined);
    EXPECT_EQ(network.requests().size(), 1u);
    EXPECT_TRUE(sink.sent.empty());
    ExpectOldFileInUse();
}

TEST_F(DownloadWorkerTest, TheSameArchiveWithItsFileMissingIsFetchedWithoutAsking) {
    ASSERT_EQ(host.files().DeleteFile(kOldPath), platform::kSuccess);
    Offer("brindlex4_010907.bx.zip");
    Publish("brindlex4_010907.bx.zip", StoredZip({{"brindlex4_010907.bx", newContent}}));

    ASSERT_EQ(RunWorker().outcome, UpdateOutcome::kInstalled);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(Read(kOldPath), newContent);
}

TEST_F(DownloadWorkerTest, AbortDuringTheDownloadKeepsTheOldFileInUse) {
    Offer(kNewName);
    // Large enough for several chunks; "Abort" is pressed during the second.
    std::string padding(5 * FakeNetwork::kChunk, 'x');
    Publish(kNewName, StoredZip({{"brindlex5_020301.bx", newContent}, {"pad.bin", padding}}));
    network.OnChunk([](std::size_t chunk) {
        if (chunk == 1)
            update::RequestDownloadAbort();
    });
    network.SetMessage(platform::kEAbort, "Operation aborted");

    update::DownloadWorker worker(host.system(), prompts, sink,
                                  update::AddressesFor("http://updates.test"),
                                  TestKeys().publicKey);
    std::thread thread;
    ASSERT_TRUE(update::StartDownloadThread(worker, prompts, &thread));
    thread.join();

    const update::Message& shown = OnlyMessage();
    EXPECT_EQ(shown.text, "Download failed.  Error = 0x80004004\n\nOperation aborted");
    EXPECT_EQ(sink.sent.size(), 2u);  // the start and the first chunk, then the abort
    ExpectOldFileInUse();
    ExpectNothingUnpacked();
}

TEST_F(DownloadWorkerTest, StartingAWorkerClearsAnEarlierAbort) {
    update::RequestDownloadAbort();
    Offer(kNewName);
    Publish(kNewName, StoredZip({{"brindlex5_020301.bx", newContent}}));
    update::DownloadWorker worker(host.system(), prompts, sink,
                                  update::AddressesFor("http://updates.test"),
                                  TestKeys().publicKey);
    std::thread thread;
    ASSERT_TRUE(update::StartDownloadThread(worker, prompts, &thread));
    thread.join();
    EXPECT_EQ(sink.posted, std::vector<int>{update::kDownloadDone});
    EXPECT_EQ(Setting("rfp"), kNewPath);
}

TEST_F(DownloadWorkerTest, ADownloadErrorShowsItsCode) {
    Offer(kNewName);  // but nothing published: the server answers "not found"
    EXPECT_EQ(RunWorker().outcome, UpdateOutcome::kDownloadFailed);
    EXPECT_EQ(OnlyMessage().text, "Download failed.  Error = 0x800C0005\n\nNo message available.");
    ExpectOldFileInUse();
    ExpectNothingUnpacked();
}

TEST_F(DownloadWorkerTest, NoConnectionEndsBeforeAnyDownload) {
    network.FailPage(kPageAddress, platform::kErrorInternetCannotConnect);
    EXPECT_EQ(RunWorker().outcome, UpdateOutcome::kConnectionFailed);
    EXPECT_EQ(OnlyMessage().text, update::texts::kConnectionError);
    EXPECT_EQ(network.requests().size(), 1u);
    ExpectOldFileInUse();
}

class IntegrityTest : public DownloadWorkerTest {
  protected:
    void ExpectRefused() {
        update::UpdateResult result = RunWorker();
        EXPECT_EQ(result.outcome, UpdateOutcome::kIntegrityFailed);
        EXPECT_EQ(OnlyMessage().text,
                  "The downloaded update failed its integrity check and was not installed.");
        ExpectOldFileInUse();
        ExpectNothingUnpacked();
    }
    std::string archive = StoredZip({{"brindlex5_020301.bx", newContent}});
    std::string address = std::string(kDefinitions) + "/" + kNewName;
};

TEST_F(IntegrityTest, ASignatureByAnotherKeyInstallsNothing) {
    Offer(kNewName);
    Publish(kNewName, archive, OtherKeys());
    ExpectRefused();
}

TEST_F(IntegrityTest, AMissingSignatureInstallsNothing) {
    Offer(kNewName);
    network.Serve(address, archive);  // the server answers "not found" for the .sig
    ExpectRefused();
}

TEST_F(IntegrityTest, AnArchiveChangedInTransitInstallsNothing) {
    Offer(kNewName);
    Publish(kNewName, archive);
    std::string changed = archive;
    changed[changed.size() / 2] ^= 0x01;
    network.Serve(address, changed);
    ExpectRefused();
}

TEST_F(IntegrityTest, AnUnreachableSignatureInstallsNothing) {
    Offer(kNewName);
    Publish(kNewName, archive);
    network.FailPage(address + ".sig", platform::kErrorInternetConnectionAborted);
    ExpectRefused();
}

class HostileArchiveTest : public DownloadWorkerTest {
  protected:
    void ExpectNotInstalled(const std::string& archive) {
        Offer(kNewName);
        Publish(kNewName, archive);
        update::UpdateResult result = RunWorker();
        EXPECT_EQ(result.outcome, UpdateOutcome::kNotInstalled);
        EXPECT_EQ(OnlyMessage().text, update::texts::kNewFileUnusable);
        EXPECT_FALSE(result.detail.empty());
        ExpectOldFileInUse();
        ExpectNothingUnpacked();
    }
};

TEST_F(HostileArchiveTest, AMemberThatWouldLeaveTheFolderStopsTheWholeArchive) {
    for (const char* escape : {"..\\evil.txt", "../evil.txt", "docs/../../evil.txt", "C:\\evil.txt",
                               "C:evil.txt", "\\evil.txt", "/evil.txt"}) {
        SCOPED_TRACE(escape);
        prompts.shown.clear();
        sink.posted.clear();
        ExpectNotInstalled(StoredZip(
            {{"readme.txt", "fine"}, {"brindlex5_020301.bx", newContent}, {escape, "outside"}}));
        EXPECT_FALSE(Exists("C:\\Program Files\\evil.txt"));
        EXPECT_FALSE(Exists("C:\\evil.txt"));
    }
}

TEST_F(HostileArchiveTest, ANewFileThatDoesNotLoadLeavesTheOldOneInUse) {
    std::string damaged = refdb::Scrambled("<BX TOTAL=\"1\"><SW NAME=\"a\"><B></SW></BX>");
    ExpectNotInstalled(StoredZip({{"brindlex5_020301.bx", damaged}, {"readme.txt", "x"}}));
}

TEST_F(HostileArchiveTest, AnArchiveWithoutTheNewFileLeavesTheOldOneInUse) {
    ExpectNotInstalled(StoredZip({{"readme.txt", "no Reference file here"}}));
}

TEST_F(HostileArchiveTest, BytesThatAreNoArchiveLeaveTheOldOneInUse) {
    ExpectNotInstalled("this is not a zip archive at all");
}

TEST_F(DownloadWorkerTest, APageNamingAPathIsRefusedBeforeAnyDownload) {
    Offer("..\\..\\Windows\\evil.zip");
    EXPECT_EQ(RunWorker().outcome, UpdateOutcome::kBadArchiveName);
    EXPECT_EQ(OnlyMessage().text, update::texts::kBadArchiveName);
    EXPECT_EQ(network.requests().size(), 1u);
    ExpectOldFileInUse();
}

TEST_F(DownloadWorkerTest, ReportsPastTheAnnouncedSizeStopAtOneHundred) {
    update::DownloadReporter reporter(sink);
    EXPECT_TRUE(reporter.OnProgress(0, 0));
    EXPECT_TRUE(reporter.OnProgress(500, 0));
    EXPECT_TRUE(reporter.OnProgress(1, 3));
    EXPECT_TRUE(reporter.OnProgress(2, 3));
    EXPECT_TRUE(reporter.OnProgress(7, 3));
    EXPECT_EQ(sink.sent, (std::vector<int>{0, 0, 33, 66, 100}));
    update::RequestDownloadAbort();
    EXPECT_FALSE(reporter.OnProgress(3, 3));
    EXPECT_EQ(sink.sent.size(), 5u);
    update::ClearDownloadAbort();
}

}  // namespace
}  // namespace updatetest
