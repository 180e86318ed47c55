#pragma once
// What the update shows the user, word for word.

namespace update::texts {

inline constexpr const char* kConnectionError =
    "Error Connecting to Brindlex server , Please be sure you are connected to the internet and "
    "that no firewall is active that might be preventing Brindlex from accessing the internet.";
inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kAlreadyUpdated =
    "Your reference file is already updated!\nDo you still want to download the latest file?";
inline constexpr const char* kAlertCaption = "Alert";
inline constexpr const char* kUpdatesAvailable =
    "New updates are available, Do you want to update?";
inline constexpr const char* kProgramCaption = "Brindlex";
inline constexpr const char* kCheckingForUpdates = "Checking for updates ...";
inline constexpr const char* kDownloadCaption = "Downloading Update ......";
inline constexpr const char* kWorkerThreadFailed = "Couldn't create worker thread!";
// printf formats of the download failure, with and without a system message.
inline constexpr const char* kDownloadFailedFormat = "Download failed.  Error = 0x%08lX\n\n%s";
inline constexpr const char* kDownloadFailedNoMessageFormat =
    "Download failed.  Error = 0x%08lX\n\nNo message available.";
inline constexpr const char* kDownloadStatusFormat = "Download Status: %d%% Complete";
inline constexpr const char* kUpdateInstalled = "Update successfully downloaded and initialized";
inline constexpr const char* kIntegrityFailed =
    "The downloaded update failed its integrity check and was not installed.";
inline constexpr const char* kNewFileUnusable =
    "The downloaded Reference file could not be loaded and was not installed. The previous "
    "Reference file stays in use.";
inline constexpr const char* kBadArchiveName =
    "The update server offered an archive under a name that cannot be used. Nothing was "
    "downloaded.";

}  // namespace update::texts
