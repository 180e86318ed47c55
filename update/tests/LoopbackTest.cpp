// The libcurl network and the whole update against a real HTTP server on
// 127.0.0.1 that each test starts and stops.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "platform/tests/support/TestSystem.h"
#include "settings/SettingsStore.h"
#include "update/DownloadWorker.h"
#include "update/UpdateCheck.h"
#include "update/UpdatePage.h"
#include "update/UpdateTexts.h"
#include "update/tests/UpdateTestSupport.h"

namespace updatetest {
namespace {

namespace fs = std::filesystem;
constexpr const char* kOldPath = "C:\\Program Files\\Brindlex\\brindlex4_010907.bx";
constexpr const char* kNewPath = "C:\\Program Files\\Brindlex\\brindlex5_020301.bx";

class RecordingProgress : public platform::DownloadProgress {
  public:
    bool OnProgress(std::uint64_t received, std::uint64_t total) override {
        reports.emplace_back(received, total);
        return !(stopAfterBytes && received > 0);
    }
    std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
    bool stopAfterBytes = false;
};

// Presses "Abort" as soon as the first bytes show up.
class AbortingSink : public RecordingSink {
  public:
    void SendStatus(int percent) override {
        RecordingSink::SendStatus(percent);
        if (percent > 0)
            update::RequestDownloadAbort();
    }
};

std::string RandomBytes(std::size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

class LoopbackTest : public ::testing::Test {
  protected:
    LoopbackTest() {
        root = host.driveC() / "served";
        fs::create_directories(root / "def");
        update::ClearDownloadAbort();
    }

    void Serve(const std::string& relative, const std::string& bytes) {
        std::ofstream(root / relative, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& path) {
        std::string bytes;
        host.files().ReadFile(path, &bytes);
        return bytes;
    }
    void StartServer(int throttle = 0) {
        server = std::make_unique<LoopbackServer>(root, throttle);
        ASSERT_TRUE(server->running()) << "the test server did not start";
    }
    std::string Url(const std::string& relative) { return server->base() + "/" + relative; }

    testsupport::TestSystem host;  // with the libcurl network
    platform::Network& network = host.system().network;
    fs::path root;
    std::unique_ptr<LoopbackServer> server;
};

TEST_F(LoopbackTest, APageIsReadWholeAndItsNameExtracted) {
    Serve("def/def_zip.html",
          "<HTML>\r\n<HEAD><TITLE>Update</TITLE></HEAD>\r\n<BODY>\r\n   "
          "Brindlex5_020301.BX.ZIP  \t\r\n</BODY>\r\n</HTML>\r\n");
    StartServer();
    std::string name;
    ASSERT_TRUE(update::FetchUpdatePage(network, Url("def/def_zip.html"), &name, true));
    EXPECT_EQ(name, "brindlex5_020301.bx.zip");

    // A missing page is a page too, as WinINet sees it.
    std::string body;
    EXPECT_EQ(network.FetchPage(Url("def/absent.html"), &body), platform::kSuccess);
    EXPECT_NE(body.find("404"), std::string::npos);

    std::vector<std::string> requests = server->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "GET /def/def_zip.html Microsoft Internet Explorer");
}

TEST_F(LoopbackTest, APageBeyondTheLimitIsRefused) {
    Serve("big.html", std::string(platform::kMaxPageSize + 1, 'a'));
    Serve("limit.html", std::string(platform::kMaxPageSize, 'a'));
    StartServer();
    std::string body;
    EXPECT_EQ(network.FetchPage(Url("big.html"), &body), platform::kErrorMoreData);
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(network.FetchPage(Url("limit.html"), &body), platform::kSuccess);
    EXPECT_EQ(body.size(), platform::kMaxPageSize);
}

TEST_F(LoopbackTest, ADownloadArrivesWholeWithProgress) {
    const std::string bytes = RandomBytes(300 * 1024);
    Serve("def/a.zip", bytes);
    StartServer();
    RecordingProgress progress;
    const std::string target = "C:\\Program Files\\Brindlex\\a.zip";
    EXPECT_EQ(network.DownloadToFile(Url("def/a.zip"), target, &progress), platform::kSOk);
    EXPECT_EQ(Read(target), bytes);
    ASSERT_FALSE(progress.reports.empty());
    EXPECT_EQ(progress.reports.back(),
              std::make_pair(std::uint64_t{bytes.size()}, std::uint64_t{bytes.size()}));
    for (std::size_t i = 1; i < progress.reports.size(); ++i) {
        EXPECT_GE(progress.reports[i].first, progress.reports[i - 1].first);
    }
}

TEST_F(LoopbackTest, AMissingFileOrServerFailsTheDownloadAndLeavesNoFile) {
    StartServer();
    const std::string target = "C:\\Program Files\\Brindlex\\absent.zip";
    EXPECT_EQ(network.DownloadToFile(Url("def/absent.zip"), target, nullptr),
              platform::kINetEResourceNotFound);
    EXPECT_FALSE(host.files().Exists(target));

    const std::string closed = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort());
    EXPECT_EQ(network.DownloadToFile(closed + "/def/a.zip", target, nullptr),
              platform::kINetECannotConnect);
    EXPECT_FALSE(host.files().Exists(target));
    std::string body;
    EXPECT_EQ(network.FetchPage(closed + "/def/def_zip.html", &body),
              platform::kErrorInternetCannotConnect);

    // A folder that does not exist: the local error, as an HRESULT.
    EXPECT_EQ(network.DownloadToFile(Url("def/absent.zip"), "C:\\No\\Such\\a.zip", nullptr),
              platform::HResultFromWin32(platform::kErrorPathNotFound));
}

TEST_F(LoopbackTest, ACancelledSlowDownloadLeavesNoFile) {
    Serve("def/slow.zip", RandomBytes(400 * 1024));
    StartServer(40 * 1024);  // ten seconds for the whole file
    RecordingProgress progress;
    progress.stopAfterBytes = true;
    const std::string target = "C:\\Program Files\\Brindlex\\slow.zip";
    EXPECT_EQ(network.DownloadToFile(Url("def/slow.zip"), target, &progress), platform::kEAbort);
    EXPECT_FALSE(host.files().Exists(target));
    EXPECT_EQ(network.MessageText(platform::kEAbort), "Operation aborted");
    EXPECT_EQ(network.MessageText(platform::kINetEResourceNotFound), "");
}

class LoopbackUpdateTest : public LoopbackTest {
  protected:
    LoopbackUpdateTest() {
        settings::SettingsStore(host.system()).WriteDefaultSettings();
        host.files().WriteFile(kOldPath, oldContent);
    }
    void Publish(const std::string& name, const std::string& archive) {
        Serve("def/" + name, archive);
        Serve("def/" + name + ".sig", SignWith(TestKeys(), archive));
    }
    std::string Setting(const char* name) {
        std::string value;
        settings::SettingsStore(host.system()).GetSetting(name, &value);
        return value;
    }
    update::UpdateResult RunWorker(update::DownloadStatusSink& sink) {
        update::DownloadWorker worker(host.system(), prompts, sink,
                                      update::AddressesFor(server->base()), TestKeys().publicKey);
        return worker.Run();
    }

    std::string oldContent = ReferenceFile({"Old Program"});
    std::string newContent = ReferenceFile({"New Program"});
    RecordingPrompts prompts;
};

TEST_F(LoopbackUpdateTest, AnUpdateInstallsFromTheServer) {
    Serve("def/def_zip.html", "<BODY>brindlex5_020301.bx.zip</BODY>");
    Publish("brindlex5_020301.bx.zip", StoredZip({{"brindlex5_020301.bx", newContent}}));
    StartServer();
    RecordingSink sink;
    update::UpdateResult result = RunWorker(sink);
    ASSERT_EQ(result.outcome, update::UpdateOutcome::kInstalled) << result.detail;
    EXPECT_EQ(Setting("rfp"), kNewPath);
    EXPECT_EQ(Setting("df"), "brindlex5_020301.bx");
    EXPECT_EQ(Read(kNewPath), newContent);
    EXPECT_FALSE(host.files().Exists(kOldPath));
    EXPECT_EQ(sink.posted, std::vector<int>{update::kDownloadDone});
    ASSERT_FALSE(sink.sent.empty());
    EXPECT_EQ(sink.sent.back(), 100);
}

TEST_F(LoopbackUpdateTest, AbortDuringASlowDownloadKeepsTheOldFile) {
    Serve("def/def_zip.html", "<BODY>brindlex5_020301.bx.zip</BODY>");
    Publish("brindlex5_020301.bx.zip",
            StoredZip({{"brindlex5_020301.bx", newContent}, {"pad.bin", RandomBytes(400 * 1024)}}));
    StartServer(40 * 1024);
    AbortingSink sink;
    update::UpdateResult result = RunWorker(sink);
    EXPECT_EQ(result.outcome, update::UpdateOutcome::kDownloadFailed);
    EXPECT_EQ(result.downloadResult, platform::kEAbort);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Download failed.  Error = 0x80004004\n\nOperation aborted");
    EXPECT_EQ(Setting("rfp"), kOldPath);
    EXPECT_EQ(Read(kOldPath), oldContent);
    EXPECT_FALSE(host.files().Exists("C:\\Program Files\\Brindlex\\brindlex5_020301.bx.zip"));
    EXPECT_EQ(sink.posted, std::vector<int>{update::kDownloadCancel});
}

TEST_F(LoopbackUpdateTest, NoServerGivesTheConnectionError) {
    server = nullptr;
    update::UpdateChecker checker(
        host.system(), prompts,
        update::AddressesFor("http://127.0.0.1:" + std::to_string(ClosedLoopbackPort())));
    std::string name;
    EXPECT_EQ(checker.Check(&name), update::CheckResult::kConnectionFailed);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, update::texts::kConnectionError);
    EXPECT_EQ(Setting("rfp"), kOldPath);
}

}  // namespace
}  // namespace updatetest
