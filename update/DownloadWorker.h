#pragma once
// The download of a new Reference file: the worker of the download dialog,
// its progress reports and the process-wide abort flag.
#include <string>
#include <string_view>
#include <thread>

#include "platform/Network.h"
#include "platform/System.h"
#include "update/Signature.h"
#include "update/UpdatePrompts.h"
#include "update/UpdateServer.h"

namespace update {

// WM_DOWNLOAD_STATUS, from the worker to its dialog: wParam 0 to 100 is the
// percentage done, kDownloadCancel ends the dialog with Cancel,
// kDownloadDone with OK.
inline constexpr unsigned kWmDownloadStatus = 0x0BC2;
inline constexpr int kDownloadCancel = -1;
inline constexpr int kDownloadDone = -2;

// The abort flag: cleared when a worker starts, set by the dialog's "Abort"
// button (or Ctrl+C on the console; safe in a signal handler).
void ClearDownloadAbort();
void RequestDownloadAbort();
bool DownloadAbortRequested();

// Where the worker reports to.
class DownloadStatusSink {
  public:
    virtual ~DownloadStatusSink() = default;
    // A percentage; the download goes on once it has been handled.
    virtual void SendStatus(int percent) = 0;
    // The last report, kDownloadCancel or kDownloadDone; not waited for.
    virtual void PostStatus(int status) = 0;
};

enum class UpdateOutcome {
    kInstalled,
    kConnectionFailed,  // the update page could not be read
    kDeclined,          // nothing to download, or the user did not want it
    kBadArchiveName,    // the page named something that is not a plain archive name
    kDownloadFailed,    // includes an abort
    kIntegrityFailed,   // the signature is missing or does not match
    kNotInstalled,      // the archive did not give a Reference file that loads
};

struct UpdateResult {
    UpdateOutcome outcome = UpdateOutcome::kDeclined;
    std::string archiveName;
    std::string referencePath;  // the new Reference file once installed
    platform::HResult downloadResult = platform::kSOk;
    std::string detail;  // why an archive was not installed, for logs
};

// The download callback: checks the abort flag at every report and passes
// the percentage on (0 while the size is unknown).
class DownloadReporter : public platform::DownloadProgress {
  public:
    explicit DownloadReporter(DownloadStatusSink& sink) : sink_(sink) {}
    bool OnProgress(std::uint64_t received, std::uint64_t total) override;

  private:
    DownloadStatusSink& sink_;
};

class DownloadWorker {
  public:
    // Archives must carry a signature made with `key`'s private half.
    DownloadWorker(platform::System& system, UpdatePrompts& prompts, DownloadStatusSink& sink,
                   UpdateAddresses addresses, const PublicKey& key);

    // The worker thread: decides, downloads, checks the signature, unpacks
    // beside the program, switches "rfp" and "df" and deletes the old file;
    // ends by posting kDownloadDone or kDownloadCancel.
    UpdateResult Run();

  private:
    UpdateResult Finish(UpdateResult result);
    bool VerifyArchive(const std::string& address, const std::string& archivePath,
                       std::string* detail);

    platform::System& system_;
    UpdatePrompts& prompts_;
    DownloadStatusSink& sink_;
    UpdateAddresses addresses_;
    PublicKey key_;
};

// The dialog's initialisation: clears the abort flag and runs `worker` on
// a thread of its own; when no thread can be made, tells the user and gives
// false.
bool StartDownloadThread(DownloadWorker& worker, UpdatePrompts& prompts, std::thread* thread);

// How the download dialog shows a status report.
struct StatusView {
    enum class Kind { kProgress, kEndOk, kEndCancel };
    Kind kind = Kind::kProgress;
    int percent = 0;
    std::string text;  // "Download Status: 40% Complete"
};
StatusView DescribeStatus(int status);

// "Download failed.  Error = 0x800C0005..." with the system's message, or
// the words for none.
std::string DownloadFailureText(platform::HResult result, std::string_view systemMessage);

// True for a name the page may give: one plain file name ending in ".zip".
bool IsUsableArchiveName(std::string_view name);

}  // namespace update
