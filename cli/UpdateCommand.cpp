// bxcli update: the Reference file update on the console. bxcli db keygen,
// sign and verify: the publisher's side of update signatures.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "cli/Cli.h"
#include "cli/Interrupt.h"
#include "settings/SettingsStore.h"
#include "update/DownloadWorker.h"
#include "update/Signature.h"
#include "update/UpdateCheck.h"
#include "update/UpdateKey.h"
#include "update/UpdatePrompts.h"
#include "update/UpdateServer.h"

namespace cli {
namespace {

// The message boxes of the update as console text on standard error; a
// question is answered from standard input, or "yes" with --yes. No answer
// (end of input) is No.
class ConsolePrompts : public update::UpdatePrompts {
  public:
    ConsolePrompts(Console& console, bool assumeYes) : console_(console), assumeYes_(assumeYes) {}

    bool Show(const update::Message& message) override {
        console_.err << message.text;
        if (!message.yesNo) {
            console_.err << "\n";
            return false;
        }
        console_.err << " [y/N] ";
        if (assumeYes_) {
            console_.err << "yes\n";
            return true;
        }
        console_.err.flush();
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            console_.err << "\n";
            return false;
        }
        return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
    }

  private:
    Console& console_;
    bool assumeYes_;
};

// The download dialog's progress text, one line per new percentage.
class ConsoleProgress : public update::DownloadStatusSink {
  public:
    explicit ConsoleProgress(Console& console) : console_(console) {}
    void SendStatus(int percent) override {
        if (percent == last_)
            return;
        last_ = percent;
        console_.err << update::DescribeStatus(percent).text << "\n";
    }
    void PostStatus(int) override {}

  private:
    Console& console_;
    int last_ = -1;
};

// Presses "Abort" on Ctrl+C, or when the time is up, unless the update
// ended first.
class AbortWatch {
  public:
    explicit AbortWatch(double seconds) {
        const auto start = std::chrono::steady_clock::now();
        thread_ = std::thread([this, seconds, start] {
            std::unique_lock<std::mutex> lock(mutex_);
            while (!done_.wait_for(lock, std::chrono::milliseconds(100),
                                   [this] { return finished_; })) {
                std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
                if (interrupt_.Interrupted() || (seconds > 0 && elapsed.count() >= seconds)) {
                    update::RequestDownloadAbort();
                }
            }
        });
    }
    ~AbortWatch() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        thread_.join();
    }
    AbortWatch(const AbortWatch&) = delete;
    AbortWatch& operator=(const AbortWatch&) = delete;

  private:
    InterruptGuard interrupt_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

struct UpdateOptions {
    bool check = false;
    bool yes = false;
    std::string server;
    double timeout = 0;
};

int RunCheck(platform::System& system, Console& console, const update::UpdateAddresses& where,
             ConsolePrompts& prompts) {
    update::UpdateChecker checker(system, prompts, where);
    update::Offer offer = checker.ReadOffer();
    switch (offer.status) {
        case update::OfferStatus::kConnectionFailed:
            return kExitError;
        case update::OfferStatus::kUpToDate:
            console.out << "Up to date: " << offer.archiveName << "\n";
            return kExitOk;
        case update::OfferStatus::kNewer:
            console.out << "Update available: " << offer.archiveName << "\n";
            return kExitFound;
    }
    return kExitError;
}

int RunUpdate(platform::System& system, Console& console, const UpdateOptions& options) {
    settings::SettingsStore settings(system);
    update::UpdateAddresses where = update::ConfiguredAddresses(settings, options.server);
    ConsolePrompts prompts(console, options.yes);
    if (options.check)
        return RunCheck(system, console, where, prompts);

    ConsoleProgress progress(console);
    update::DownloadWorker worker(system, prompts, progress, where, update::UpdatePublicKey());
    update::ClearDownloadAbort();
    update::UpdateResult result;
    {
        AbortWatch watch(options.timeout);
        result = worker.Run();
    }
    if (!result.detail.empty())
        console.err << result.detail << "\n";
    switch (result.outcome) {
        case update::UpdateOutcome::kInstalled:
            console.out << result.referencePath << "\n";
            return kExitOk;
        case update::UpdateOutcome::kDeclined:
            return kExitFound;
        default:
            return kExitError;
    }
}

bool ReadKeyFile(platform::System& system, Console& console, const std::string& file,
                 std::array<std::uint8_t, update::kKeySize>* key) {
    std::string textRead;
    if (platform::Status status = system.files.ReadFile(console.resolvePath(file), &textRead);
        status != platform::kSuccess) {
        console.err << "Cannot read the key " << file << " (error " << status << ")\n";
        return false;
    }
    std::optional<std::array<std::uint8_t, update::kKeySize>> parsed = update::KeyFromHex(textRead);
    if (!parsed) {
        console.err << file << " holds no key (64 hexadecimal digits)\n";
        return false;
    }
    *key = *parsed;
    return true;
}

bool ReadWhole(platform::System& system, Console& console, const std::string& file,
               std::string* bytes) {
    if (platform::Status status = system.files.ReadFile(console.resolvePath(file), bytes);
        status != platform::kSuccess) {
        console.err << "Cannot read " << file << " (error " << status << ")\n";
        return false;
    }
    return true;
}

bool WriteWhole(platform::System& system, Console& console, const std::string& file,
                std::string_view bytes) {
    if (platform::Status status = system.files.WriteFile(console.resolvePath(file), bytes);
        status != platform::kSuccess) {
        console.err << "Cannot write " << file << " (error " << status << ")\n";
        return false;
    }
    return true;
}

CLI::App* DbGroup(CLI::App& app) {
    try {
        return app.get_subcommand("db");
    } catch (const CLI::OptionNotFound&) {
        return app.add_subcommand("db", "Reference file tools");
    }
}

void AddSigningCommands(CommandSet& commands) {
    CLI::App* db = DbGroup(commands.app());

    struct KeygenOptions {
        std::string privateFile, publicFile;
    };
    auto keygen = std::make_shared<KeygenOptions>();
    CLI::App* keygenCommand =
        db->add_subcommand("keygen",
                           "Make a key pair for signing update archives; prints the "
                           "public key");
    keygenCommand->add_option("PRIVATE", keygen->privateFile, "Private key file to create")
        ->required();
    keygenCommand->add_option("PUBLIC", keygen->publicFile, "Also write the public key here");
    commands.Add(keygenCommand, [keygen](platform::System& system, Console& console) {
        // A key in use must never be overwritten by accident.
        if (system.files.Exists(console.resolvePath(keygen->privateFile))) {
            console.err << keygen->privateFile << " exists; not replaced\n";
            return kExitError;
        }
        std::string error;
        std::optional<update::KeyPair> keys = update::GenerateKeyPair(&error);
        if (!keys) {
            console.err << "Key generation failed: " << error << "\n";
            return kExitError;
        }
        std::string publicHex = update::KeyToHex(keys->publicKey);
        if (!WriteWhole(system, console, keygen->privateFile,
                        update::KeyToHex(keys->privateKey) + "\n") ||
            (!keygen->publicFile.empty() &&
             !WriteWhole(system, console, keygen->publicFile, publicHex + "\n"))) {
            return kExitError;
        }
        console.out << publicHex << "\n";
        return kExitOk;
    });

    struct SignOptions {
        std::string archive, key, output;
    };
    auto sign = std::make_shared<SignOptions>();
    CLI::App* signCommand =
        db->add_subcommand("sign", "Write the signature ARCHIVE.sig that updates are checked by");
    signCommand->add_option("ARCHIVE", sign->archive, "Update archive (NAME.zip)")->required();
    signCommand->add_option("--key", sign->key, "Private key file (from db keygen)")->required();
    signCommand->add_option("--out", sign->output, "Signature file (default: ARCHIVE.sig)");
    commands.Add(signCommand, [sign](platform::System& system, Console& console) {
        update::PrivateKey key;
        std::string archive;
        if (!ReadKeyFile(system, console, sign->key, &key) ||
            !ReadWhole(system, console, sign->archive, &archive)) {
            return kExitError;
        }
        std::string error;
        std::optional<std::string> signature = update::SignArchive(archive, key, &error);
        if (!signature) {
            console.err << "Signing failed: " << error << "\n";
            return kExitError;
        }
        std::string output =
            sign->output.empty() ? sign->archive + update::kSignatureSuffix : sign->output;
        if (!WriteWhole(system, console, output, *signature))
            return kExitError;
        console.out << output << "\n";
        return kExitOk;
    });

    struct VerifyOptions {
        std::string archive, key, signature;
    };
    auto verify = std::make_shared<VerifyOptions>();
    CLI::App* verifyCommand = db->add_subcommand(
        "verify", "Check an archive's signature as the update does (exit 1 when it fails)");
    verifyCommand->add_option("ARCHIVE", verify->archive, "Update archive")->required();
    verifyCommand->add_option("--key", verify->key,
                              "Public key file (default: the key built into the program)");
    verifyCommand->add_option("--signature", verify->signature,
                              "Signature file (default: ARCHIVE.sig)");
    commands.Add(verifyCommand, [verify](platform::System& system, Console& console) {
        update::PublicKey key = update::UpdatePublicKey();
        std::string archive, signature;
        if ((!verify->key.empty() && !ReadKeyFile(system, console, verify->key, &key)) ||
            !ReadWhole(system, console, verify->archive, &archive) ||
            !ReadWhole(system, console,
                       verify->signature.empty() ? verify->archive + update::kSignatureSuffix
                                                 : verify->signature,
                       &signature)) {
            return kExitError;
        }
        if (!update::VerifyArchive(archive, signature, key)) {
            console.out << "BAD signature\n";
            return kExitFound;
        }
        console.out << "Good signature\n";
        return kExitOk;
    });
}

}  // namespace

void AddUpdateCommands(CommandSet& commands) {
    auto options = std::make_shared<UpdateOptions>();
    CLI::App* update = commands.app().add_subcommand(
        "update",
        "Fetch a newer Reference file from the update server, check its signature and switch to "
        "it; prints the new file's path. Exit 0 installed, 1 nothing installed (declined), 2 "
        "failure");
    update->add_flag("--check", options->check,
                     "Only tell whether a newer archive is offered: exit 0 up to date, 1 update "
                     "offered, 2 no connection");
    update->add_option("--server", options->server,
                       "Base address of the update server for this run (else the \"updsrv\" "
                       "setting, else the built-in server)");
    update->add_flag("--yes", options->yes, "Answer the update's questions with yes");
    update->add_option("--timeout", options->timeout,
                       "Abort a download still running after this many seconds");
    commands.Add(update, [options](platform::System& system, Console& console) {
        return RunUpdate(system, console, *options);
    });

    AddSigningCommands(commands);
}

}  // namespace cli
