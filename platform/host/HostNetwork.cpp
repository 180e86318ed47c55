#include "platform/host/HostNetwork.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace platform::host {
namespace {

// The agent name the Windows program sends, so a server sees one client.
constexpr const char* kUserAgent = "Microsoft Internet Explorer";
constexpr long kConnectTimeoutSeconds = 30;
constexpr long kMaxRedirects = 10;

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using UniqueEasy = std::unique_ptr<CURL, EasyDeleter>;
using UniqueList = std::unique_ptr<curl_slist, ListDeleter>;

// The options both requests share: http and https only, redirects followed
// as WinINet follows them, nothing cached.
UniqueEasy NewRequest(std::string_view address, curl_slist* headers) {
    GlobalInit();
    UniqueEasy easy(curl_easy_init());
    if (!easy)
        return easy;
    CURL* e = easy.get();
    std::string url(address);
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    // Worker threads: no signals for timeouts.
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    return easy;
}

UniqueList NoCacheHeaders() {
    curl_slist* list = curl_slist_append(nullptr, "Accept: */*");
    list = curl_slist_append(list, "Cache-Control: no-cache");
    return UniqueList(list);
}

// What WinINet reports for the same failure of a page read.
Status PageError(CURLcode code) {
    switch (code) {
        case CURLE_OK:
            return kSuccess;
        case CURLE_URL_MALFORMAT:
            return kErrorInternetInvalidUrl;
        case CURLE_UNSUPPORTED_PROTOCOL:
            return kErrorInternetUnrecognizedScheme;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return kErrorInternetNameNotResolved;
        case CURLE_COULDNT_CONNECT:
            return kErrorInternetCannotConnect;
        case CURLE_OPERATION_TIMEDOUT:
            return kErrorInternetTimeout;
        case CURLE_OUT_OF_MEMORY:
            return kErrorNotEnoughMemory;
        default:
            return kErrorInternetConnectionAborted;
    }
}

// What the URL download facility reports for the same failure.
HResult DownloadError(CURLcode code) {
    switch (code) {
        case CURLE_OK:
            return kSOk;
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return kINetEInvalidUrl;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return kINetEResourceNotFound;
        case CURLE_COULDNT_CONNECT:
            return kINetECannotConnect;
        case CURLE_OPERATION_TIMEDOUT:
            return kINetEConnectionTimeout;
        case CURLE_ABORTED_BY_CALLBACK:
            return kEAbort;
        case CURLE_OUT_OF_MEMORY:
            return kEOutOfMemory;
        default:
            return kINetEDownloadFailure;
    }
}

struct PageState {
    std::string* body;
    bool tooLong = false;
};

std::size_t AppendToPage(char* data, std::size_t size, std::size_t count, void* user) {
    auto* state = static_cast<PageState*>(user);
    std::size_t bytes = size * count;
    if (state->body->size() + bytes > kMaxPageSize) {
        state->tooLong = true;
        return 0;  // stops the transfer with a write error
    }
    state->body->append(data, bytes);
    return bytes;
}

struct DownloadState {
    FileWriter* file;
    DownloadProgress* progress;
    Status writeError = kSuccess;
    long status = 0;
};

std::size_t WriteToFile(char* data, std::size_t size, std::size_t count, void* user) {
    auto* state = static_cast<DownloadState*>(user);
    std::size_t bytes = size * count;
    state->writeError = state->file->Write(data, bytes);
    return state->writeError == kSuccess ? bytes : 0;
}

int ReportProgress(void* user, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t) {
    auto* state = static_cast<DownloadState*>(user);
    if (state->progress == nullptr)
        return 0;
    auto known = [](curl_off_t n) { return n > 0 ? static_cast<std::uint64_t>(n) : 0u; };
    // Non-zero cancels the transfer (CURLE_ABORTED_BY_CALLBACK).
    return state->progress->OnProgress(known(received), known(total)) ? 0 : 1;
}

}  // namespace

HostNetwork::HostNetwork(FileSystem& files) : files_(files) {}

Status HostNetwork::FetchPage(std::string_view address, std::string* body) {
    body->clear();
    UniqueList headers = NoCacheHeaders();
    UniqueEasy easy = NewRequest(address, headers.get());
    if (!easy)
        return kErrorNotEnoughMemory;
    PageState state{body};
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, AppendToPage);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &state);
    CURLcode code = curl_easy_perform(easy.get());
    if (state.tooLong) {
        body->clear();
        return kErrorMoreData;
    }
    return PageError(code);
}

HResult HostNetwork::DownloadToFile(std::string_view address, std::string_view path,
                                    DownloadProgress* progress) {
    UniqueList headers = NoCacheHeaders();
    UniqueEasy easy = NewRequest(address, headers.get());
    if (!easy)
        return kEOutOfMemory;
    Status openError = kSuccess;
    std::unique_ptr<FileWriter> file = files_.OpenWrite(path, false, &openError);
    if (!file)
        return HResultFromWin32(openError);

    DownloadState state{file.get(), progress};
    CURL* e = easy.get();
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &state);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, ReportProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &state);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    // An error status fails the download, as it does on Windows.
    curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
    CURLcode code = curl_easy_perform(e);
    Status closeError = file->Close();
    file.reset();

    HResult result = DownloadError(code);
    if (code == CURLE_HTTP_RETURNED_ERROR) {
        long status = 0;
        curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
        result = status == 404 ? kINetEResourceNotFound : kINetEDownloadFailure;
    } else if (code == CURLE_WRITE_ERROR && state.writeError != kSuccess) {
        result = HResultFromWin32(state.writeError);
    } else if (result == kSOk && closeError != kSuccess) {
        result = HResultFromWin32(closeError);
    }
    if (result != kSOk)
        files_.DeleteFile(path);
    return result;
}

std::string HostNetwork::MessageText(HResult result) {
    // The system message table of Windows: generic COM and Win32 results
    // have a text, the URL-download codes have none.
    switch (result) {
        case kSOk:
            return "The operation completed successfully.";
        case kENotImpl:
            return "Not implemented";
        case kEAbort:
            return "Operation aborted";
        case kEFail:
            return "Unspecified error";
        case kEOutOfMemory:
            return "Not enough memory resources are available to complete this operation.";
        case HResultFromWin32(kErrorFileNotFound):
            return "The system cannot find the file specified.";
        case HResultFromWin32(kErrorPathNotFound):
            return "The system cannot find the path specified.";
        case HResultFromWin32(kErrorAccessDenied):
            return "Access is denied.";
        case HResultFromWin32(kErrorSharingViolation):
            return "The process cannot access the file because it is being used by another "
                   "process.";
        case HResultFromWin32(kErrorDiskFull):
            return "There is not enough space on the disk.";
        default:
            return {};
    }
}

}  // namespace platform::host
