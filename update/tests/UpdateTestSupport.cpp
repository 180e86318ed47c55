#include "update/tests/UpdateTestSupport.h"

#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "refdb/Scramble.h"

extern char** environ;

namespace updatetest {

platform::Status FakeNetwork::FetchPage(std::string_view address, std::string* body) {
    requests_.push_back("page " + std::string(address));
    body->clear();
    auto found = resources_.find(std::string(address));
    if (found == resources_.end()) {
        // What a web server answers for a missing file: a page all the same.
        *body = "<html><body><h1>404 Not Found</h1></body></html>";
        return platform::kSuccess;
    }
    if (found->second.pageError != platform::kSuccess)
        return found->second.pageError;
    *body = found->second.body;
    return platform::kSuccess;
}

platform::HResult FakeNetwork::DownloadToFile(std::string_view address, std::string_view path,
                                              platform::DownloadProgress* progress) {
    requests_.push_back("download " + std::string(address));
    auto found = resources_.find(std::string(address));
    if (found == resources_.end())
        return platform::kINetEResourceNotFound;
    if (found->second.downloadError != platform::kSOk)
        return found->second.downloadError;
    const std::string& body = found->second.body;
    platform::Status status = platform::kSuccess;
    std::unique_ptr<platform::FileWriter> file = files_->OpenWrite(path, false, &status);
    if (!file)
        return platform::HResultFromWin32(status);
    const std::uint64_t total = body.size();
    if (progress != nullptr && !progress->OnProgress(0, total)) {
        file->Close();
        files_->DeleteFile(path);
        return platform::kEAbort;
    }
    std::size_t chunkIndex = 0;
    for (std::size_t offset = 0; offset < body.size(); offset += kChunk, ++chunkIndex) {
        std::size_t size = std::min(kChunk, body.size() - offset);
        file->Write(body.data() + offset, size);
        if (onChunk_)
            onChunk_(chunkIndex);
        if (progress != nullptr && !progress->OnProgress(offset + size, total)) {
            file->Close();
            files_->DeleteFile(path);
            return platform::kEAbort;
        }
    }
    return platform::HResultFromWin32(file->Close());
}

std::string FakeNetwork::MessageText(platform::HResult result) {
    auto found = messages_.find(result);
    return found == messages_.end() ? std::string() : found->second;
}

bool RecordingPrompts::Show(const update::Message& message) {
    shown.push_back(message);
    if (!message.yesNo)
        return false;
    if (answers_.empty())
        return false;
    bool yes = answers_.front();
    answers_.erase(answers_.begin());
    return yes;
}

std::string ReferenceFile(const std::vector<std::string>& entryNames) {
    std::string markup =
        "<?xml version=\"1.0\"?>\n<BX TOTAL=\"" + std::to_string(entryNames.size()) + "\">\n";
    for (const std::string& name : entryNames) {
        markup += "<SW NAME=\"" + name +
                  "\"><FILES><FILE NAME=\"agent.exe\" PATH=\":PFDir:\" /></FILES>"
                  "<DANGER_LEVEL>1</DANGER_LEVEL></SW>\n";
    }
    markup += "</BX>\n";
    return refdb::Scrambled(markup);
}

namespace {

void Put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}
void Put32(std::string& out, unsigned long value) {
    Put16(out, static_cast<unsigned>(value & 0xFFFF));
    Put16(out, static_cast<unsigned>((value >> 16) & 0xFFFF));
}

}  // namespace

std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& members) {
    std::string out, central;
    for (const auto& [name, data] : members) {
        unsigned long crc =
            crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
        unsigned long offset = out.size();
        // Local header: version 2.0, no flags, stored, a fixed 1980 date.
        Put32(out, 0x04034b50);
        Put16(out, 20);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, 0x21);
        Put32(out, crc);
        Put32(out, data.size());
        Put32(out, data.size());
        Put16(out, static_cast<unsigned>(name.size()));
        Put16(out, 0);
        out += name;
        out += data;
        Put32(central, 0x02014b50);
        Put16(central, 20);
        Put16(central, 20);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0x21);
        Put32(central, crc);
        Put32(central, data.size());
        Put32(central, data.size());
        Put16(central, static_cast<unsigned>(name.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, 0);
        Put32(central, offset);
        central += name;
    }
    unsigned long centralOffset = out.size();
    out += central;
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<unsigned>(members.size()));
    Put16(out, static_cast<unsigned>(members.size()));
    Put32(out, central.size());
    Put32(out, centralOffset);
    Put16(out, 0);
    return out;
}

namespace {

update::KeyPair NewKeys() {
    std::string error;
    std::optional<update::KeyPair> keys = update::GenerateKeyPair(&error);
    if (!keys)
        throw std::runtime_error("key generation failed: " + error);
    return *keys;
}

}  // namespace

const update::KeyPair& TestKeys() {
    static const update::KeyPair keys = NewKeys();
    return keys;
}

const update::KeyPair& OtherKeys() {
    static const update::KeyPair keys = NewKeys();
    return keys;
}

std::string SignWith(const update::KeyPair& keys, const std::string& bytes) {
    std::string error;
    std::optional<std::string> signature = update::SignArchive(bytes, keys.privateKey, &error);
    if (!signature)
        throw std::runtime_error("signing failed: " + error);
    return *signature;
}

LoopbackServer::LoopbackServer(const std::filesystem::path& root, int throttle) {
#ifdef BX_UPDATE_SERVER_SCRIPT
    log_ = root.parent_path() / ("server-" + std::to_string(getpid()) + ".log");
    int output[2];
    if (pipe(output) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    std::string rootText = root.string(), throttleText = std::to_string(throttle),
                logText = log_.string();
    std::vector<std::string> args = {
        "python3", BX_UPDATE_SERVER_SCRIPT, "--root", rootText, "--throttle", throttleText, "--log",
        logText,   "--time-limit",          "120"};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int spawned = posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawned != 0) {
        pid_ = -1;
        close(output[0]);
        return;
    }
    // The first line is "PORT <n>".
    FILE* stream = fdopen(output[0], "r");
    char line[64] = {};
    if (stream != nullptr && std::fgets(line, sizeof(line), stream) != nullptr) {
        std::sscanf(line, "PORT %d", &port_);
    }
    if (stream != nullptr)
        std::fclose(stream);
#else
    (void)root;
    (void)throttle;
#endif
}

LoopbackServer::~LoopbackServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    std::error_code ignored;
    std::filesystem::remove(log_, ignored);
}

std::vector<std::string> LoopbackServer::Requests() const {
    std::vector<std::string> lines;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

int ClosedLoopbackPort() {
    // Bind to a port the system picks, then let go: nothing listens there
    // for the rest of the test.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

}  // namespace updatetest
