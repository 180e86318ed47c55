#pragma once
// Shared by the update tests: a scripted network, recording prompts and
// status sink, Reference files and archives made to measure, a key pair,
// and a real HTTP server on 127.0.0.1.
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Network.h"
#include "update/DownloadWorker.h"
#include "update/Signature.h"
#include "update/UpdatePrompts.h"

namespace updatetest {

// A network whose resources the test lays out. Downloads go through the
// platform file system in chunks, reporting progress as they arrive.
class FakeNetwork : public platform::Network {
  public:
    // Downloads are written through `files` (the test system's, made after
    // this network).
    void UseFiles(platform::FileSystem& files) { files_ = &files; }

    struct Resource {
        std::string body;
        platform::Status pageError = platform::kSuccess;   // for FetchPage
        platform::HResult downloadError = platform::kSOk;  // for DownloadToFile
    };
    // Serves `body` at `address`.
    void Serve(const std::string& address, std::string body) { resources_[address] = {body}; }
    void FailPage(const std::string& address, platform::Status error) {
        resources_[address].pageError = error;
    }
    void FailDownload(const std::string& address, platform::HResult error) {
        resources_[address].downloadError = error;
    }
    // A call to `hook` after each chunk of a download (before the progress
    // report), e.g. to press "Abort" part way.
    void OnChunk(std::function<void(std::size_t chunk)> hook) { onChunk_ = std::move(hook); }
    void SetMessage(platform::HResult result, std::string text) { messages_[result] = text; }

    // Every address asked for, in order, with "page " or "download " before it.
    const std::vector<std::string>& requests() const { return requests_; }

    platform::Status FetchPage(std::string_view address, std::string* body) override;
    platform::HResult DownloadToFile(std::string_view address, std::string_view path,
                                     platform::DownloadProgress* progress) override;
    std::string MessageText(platform::HResult result) override;

    static constexpr std::size_t kChunk = 4096;

  private:
    platform::FileSystem* files_ = nullptr;
    std::map<std::string, Resource> resources_;
    std::map<platform::HResult, std::string> messages_;
    std::function<void(std::size_t)> onChunk_;
    std::vector<std::string> requests_;
};

// Answers Yes/No boxes from a script (No once it runs out) and records
// every box.
class RecordingPrompts : public update::UpdatePrompts {
  public:
    void Answer(bool yes) { answers_.push_back(yes); }
    bool Show(const update::Message& message) override;
    std::vector<update::Message> shown;

  private:
    std::vector<bool> answers_;
};

class RecordingSink : public update::DownloadStatusSink {
  public:
    void SendStatus(int percent) override { sent.push_back(percent); }
    void PostStatus(int status) override { posted.push_back(status); }
    std::vector<int> sent;
    std::vector<int> posted;
};

// A scrambled Reference file with one entry per name.
std::string ReferenceFile(const std::vector<std::string>& entryNames);

// A zip archive of stored members, names taken exactly as given (even
// names a careful writer refuses).
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& members);

// One key pair per test process.
const update::KeyPair& TestKeys();
// Another key pair, for signatures the program must refuse.
const update::KeyPair& OtherKeys();
std::string SignWith(const update::KeyPair& keys, const std::string& bytes);

// The update server script on 127.0.0.1, serving `root`; stopped (by its
// process id) when destroyed.
class LoopbackServer {
  public:
    // `throttle`: bytes per second for .zip files, 0 for full speed.
    explicit LoopbackServer(const std::filesystem::path& root, int throttle = 0);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool running() const { return port_ != 0; }
    int port() const { return port_; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // The request lines the server logged: "GET /def/def_zip.html <agent>".
    std::vector<std::string> Requests() const;

  private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::filesystem::path log_;
};

// A TCP port on 127.0.0.1 where nothing listens.
int ClosedLoopbackPort();

}  // namespace updatetest
