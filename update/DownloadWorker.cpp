#include "update/DownloadWorker.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <system_error>

#include "platform/Text.h"
#include "settings/SettingsStore.h"
#include "update/UpdateCheck.h"
#include "update/UpdateInstall.h"
#include "update/UpdateTexts.h"
#include "zip/ZipNames.h"

namespace update {
namespace {

// Lock-free, so the console's Ctrl+C handler may set it.
std::atomic<std::int32_t> g_abortDownload{0};
static_assert(std::atomic<std::int32_t>::is_always_lock_free);

constexpr std::size_t kReadChunk = 64 * 1024;

constexpr std::string_view kArchiveExtension = ".zip";

std::string Format(const char* format, unsigned long code, const char* message = nullptr) {
    char buffer[512];
    if (message != nullptr) {
        std::snprintf(buffer, sizeof(buffer), format, code, message);
    } else {
        std::snprintf(buffer, sizeof(buffer), format, code);
    }
    return buffer;
}

}  // namespace

void ClearDownloadAbort() {
    g_abortDownload.exchange(0);
}
void RequestDownloadAbort() {
    g_abortDownload.exchange(1);
}
bool DownloadAbortRequested() {
    return g_abortDownload.load() != 0;
}

bool DownloadReporter::OnProgress(std::uint64_t received, std::uint64_t total) {
    if (DownloadAbortRequested())
        return false;
    int percent = 0;
    if (total != 0) {
        // A server that sends more than it announced stops at 100.
        double share = static_cast<double>(received) * 100.0 / static_cast<double>(total);
        percent = share >= 100.0 ? 100 : static_cast<int>(share);
    }
    sink_.SendStatus(percent);
    return true;
}

DownloadWorker::DownloadWorker(platform::System& system, UpdatePrompts& prompts,
                               DownloadStatusSink& sink, UpdateAddresses addresses,
                               const PublicKey& key)
    : system_(system),
      prompts_(prompts),
      sink_(sink),
      addresses_(std::move(addresses)),
      key_(key) {}

UpdateResult DownloadWorker::Finish(UpdateResult result) {
    sink_.PostStatus(result.outcome == UpdateOutcome::kInstalled ? kDownloadDone : kDownloadCancel);
    return result;
}

bool DownloadWorker::VerifyArchive(const std::string& address, const std::string& archivePath,
                                   std::string* detail) {
    std::string signature;
    if (system_.network.FetchPage(address + kSignatureSuffix, &signature) != platform::kSuccess) {
        *detail = "the signature could not be fetched";
        return false;
    }
    platform::Status status = platform::kSuccess;
    std::unique_ptr<platform::FileReader> file = system_.files.OpenRead(archivePath, &status);
    Sha512 hash;
    std::string chunk(kReadChunk, '\0');
    for (std::size_t read = 0; file && (read = file->Read(chunk.data(), chunk.size())) > 0;) {
        hash.Update(std::string_view(chunk.data(), read));
    }
    if (!file || file->Error() != platform::kSuccess) {
        *detail = "the archive could not be read for verification";
        return false;
    }
    if (!VerifyArchiveDigest(hash.Digest(), signature, key_)) {
        *detail = signature.size() == kSignatureSize ? "the signature does not match"
                                                     : "no signature beside the archive";
        return false;
    }
    return true;
}

UpdateResult DownloadWorker::Run() {
    UpdateResult result;
    // The callback that reports to the dialog.
    DownloadReporter reporter(sink_);

    // Is there anything to download?
    UpdateChecker checker(system_, prompts_, addresses_);
    std::string newName;
    switch (checker.Check(&newName)) {
        case CheckResult::kConnectionFailed:
            result.outcome = UpdateOutcome::kConnectionFailed;
            return Finish(result);
        case CheckResult::kDeclined:
            result.outcome = UpdateOutcome::kDeclined;
            return Finish(result);
        case CheckResult::kDownloadDue:
            break;
    }
    result.archiveName = newName;
    // The name becomes a path beside the program before anything vouches for
    // it: only a plain archive name will do.
    if (!IsUsableArchiveName(newName)) {
        prompts_.Show({texts::kBadArchiveName, texts::kProgramCaption, MessageIcon::kStop});
        result.outcome = UpdateOutcome::kBadArchiveName;
        return Finish(result);
    }

    // Where from and where to.
    settings::SettingsStore settings(system_);
    const std::string address = addresses_.definitions + "/" + newName;
    const std::string folderWithSlash = settings.GetModulePath(false);
    const std::string target = folderWithSlash + newName;
    std::string oldPath, oldName;
    settings.GetSetting("rfp", &oldPath);
    settings.GetSetting("df", &oldName);

    // The download; a failure or an abort shows its code.
    result.downloadResult = system_.network.DownloadToFile(address, target, &reporter);
    if (result.downloadResult != platform::kSOk) {
        system_.files.DeleteFile(target);
        std::string message = system_.network.MessageText(result.downloadResult);
        prompts_.Show({DownloadFailureText(result.downloadResult, message), texts::kProgramCaption,
                       MessageIcon::kStop});
        result.outcome = UpdateOutcome::kDownloadFailed;
        return Finish(result);
    }

    // Nothing is unpacked from an archive its publisher did not sign.
    if (!VerifyArchive(address, target, &result.detail)) {
        system_.files.DeleteFile(target);
        prompts_.Show({texts::kIntegrityFailed, texts::kProgramCaption, MessageIcon::kStop});
        result.outcome = UpdateOutcome::kIntegrityFailed;
        return Finish(result);
    }

    // Unpack, switch the settings, delete the old file.
    InstallPlan plan;
    plan.archivePath = target;
    plan.folder = text::WithoutTrailingBackslash(folderWithSlash);
    plan.newPath = target.substr(0, target.rfind('.'));
    plan.oldPath = oldPath;
    plan.oldName = oldName;
    if (!InstallArchive(system_, plan, &result.detail)) {
        prompts_.Show({texts::kNewFileUnusable, texts::kProgramCaption, MessageIcon::kStop});
        result.outcome = UpdateOutcome::kNotInstalled;
        return Finish(result);
    }

    result.referencePath = plan.newPath;
    result.outcome = UpdateOutcome::kInstalled;
    return Finish(result);
}

bool StartDownloadThread(DownloadWorker& worker, UpdatePrompts& prompts, std::thread* thread) {
    ClearDownloadAbort();
    try {
        *thread = std::thread([&worker] { worker.Run(); });
        return true;
    } catch (const std::system_error&) {
        prompts.Show({texts::kWorkerThreadFailed, texts::kProgramCaption, MessageIcon::kStop});
        return false;
    }
}

StatusView DescribeStatus(int status) {
    StatusView view;
    if (status == kDownloadCancel) {
        view.kind = StatusView::Kind::kEndCancel;
    } else if (status == kDownloadDone) {
        view.kind = StatusView::Kind::kEndOk;
    } else {
        view.percent = status;
        char buffer[64];
        std::snprintf(buffer, sizeof(buffer), texts::kDownloadStatusFormat, status);
        view.text = buffer;
    }
    return view;
}

std::string DownloadFailureText(platform::HResult result, std::string_view systemMessage) {
    if (systemMessage.empty())
        return Format(texts::kDownloadFailedNoMessageFormat, result);
    return Format(texts::kDownloadFailedFormat, result, std::string(systemMessage).c_str());
}

bool IsUsableArchiveName(std::string_view name) {
    return name.size() > kArchiveExtension.size() &&
           text::EndsWithNoCase(name, kArchiveExtension) &&
           name.find_first_of("/\\") == std::string_view::npos && zip::IsSafeMemberName(name);
}

}  // namespace update
