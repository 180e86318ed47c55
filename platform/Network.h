#pragma once
// The network as the update logic uses it: a small page read whole (WinINet
// on Windows) and a file downloaded with progress (the URL download facility
// on Windows). Results are the numbers Windows gives: a Win32 or WinINet
// error code for pages, an HRESULT for downloads.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Win32Error.h"

namespace platform {

// WinINet errors a page fetch reports (Win32 error numbers).
inline constexpr Status kErrorInternetTimeout = 12002;
inline constexpr Status kErrorInternetInvalidUrl = 12005;
inline constexpr Status kErrorInternetUnrecognizedScheme = 12006;
inline constexpr Status kErrorInternetNameNotResolved = 12007;
inline constexpr Status kErrorInternetConnectionAborted = 12030;
inline constexpr Status kErrorInternetCannotConnect = 12029;

// HRESULTs of a download.
using HResult = std::uint32_t;
inline constexpr HResult kSOk = 0;
inline constexpr HResult kENotImpl = 0x80004001u;
inline constexpr HResult kEAbort = 0x80004004u;
inline constexpr HResult kEFail = 0x80004005u;
inline constexpr HResult kEOutOfMemory = 0x8007000Eu;
inline constexpr HResult kINetEInvalidUrl = 0x800C0002u;
inline constexpr HResult kINetENoSession = 0x800C0003u;
inline constexpr HResult kINetECannotConnect = 0x800C0004u;
inline constexpr HResult kINetEResourceNotFound = 0x800C0005u;
inline constexpr HResult kINetEObjectNotFound = 0x800C0006u;
inline constexpr HResult kINetEDataNotAvailable = 0x800C0007u;
inline constexpr HResult kINetEDownloadFailure = 0x800C0008u;
inline constexpr HResult kINetEConnectionTimeout = 0x800C000Bu;
inline constexpr HResult kINetECannotLoadData = 0x800C000Fu;
// HRESULT_FROM_WIN32 of a Win32 error (a local file that cannot be written).
constexpr HResult HResultFromWin32(Status error) {
    return error == 0 ? kSOk : ((error & 0xFFFFu) | 0x80070000u);
}

// The most a page may hold; a longer one is refused with kErrorMoreData
// rather than read without end.
inline constexpr std::size_t kMaxPageSize = 1u << 20;

// Told how a download goes; runs on the downloading thread.
class DownloadProgress {
  public:
    virtual ~DownloadProgress() = default;
    // `total` is 0 while the size is unknown. Returning false cancels the
    // download, which then ends with kEAbort.
    virtual bool OnProgress(std::uint64_t received, std::uint64_t total) = 0;
};

class Network {
  public:
    virtual ~Network() = default;

    // Reads the resource at `address` whole into `body` (emptied first),
    // keeping it out of any cache. An HTTP error status is not a failure: its page is
    // the body, as with WinINet. kSuccess, or the WinINet or Win32 error
    // that stopped the session, the connection or a read (kErrorMoreData
    // past kMaxPageSize bytes).
    virtual Status FetchPage(std::string_view address, std::string* body) = 0;

    // Downloads `address` to the file `path` (created or replaced), telling
    // `progress` (may be null) as bytes arrive. kSOk, or the failure: an HTTP
    // error status or a missing resource, no connection, kEAbort when the
    // progress callback cancelled. A failed download leaves no file at
    // `path` (the Windows facility leaves a partial one; it is removed).
    virtual HResult DownloadToFile(std::string_view address, std::string_view path,
                                   DownloadProgress* progress) = 0;

    // The system's message text for a download result, without trailing
    // line breaks; empty when the system has none.
    virtual std::string MessageText(HResult result) = 0;
};

}  // namespace platform
