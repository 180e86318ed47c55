#include "platform/win32/Win32Network.h"

#include "platform/win32/Windows.h"

#include <urlmon.h>
#include <wininet.h>

#include <algorithm>
#include <vector>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace platform::win32 {
namespace {

struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::InternetCloseHandle(handle); }
};
using UniqueInternet = UniqueHandle<InternetHandleTraits>;

constexpr DWORD kReadBlock = 512;

// COM for the calling thread while a download runs; undone only when this
// call was the one that set it up.
class ComScope {
  public:
    ComScope() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_))
            ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    HRESULT result_;
};

// A minimal status callback: lives on the stack for one download, so
// reference counting does nothing; only progress is of interest. COM
// interfaces have no virtual destructor: nothing is deleted through one.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class BindCallback final : public IBindStatusCallback {
  public:
    explicit BindCallback(DownloadProgress* progress) : progress_(progress) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindStatusCallback)) {
            *object = static_cast<IBindStatusCallback*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG,
                                         LPCWSTR) override {
        if (progress_ == nullptr)
            return S_OK;
        return progress_->OnProgress(progress, progressMax) ? S_OK : E_ABORT;
    }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }

  private:
    DownloadProgress* progress_;
};
#pragma GCC diagnostic pop

}  // namespace

Status Win32Network::FetchPage(std::string_view address, std::string* body) {
    body->clear();
    UniqueInternet session(::InternetOpenW(L"Microsoft Internet Explorer",
                                           INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session)
        return ::GetLastError();
    std::wstring url = Widen(address);
    UniqueInternet request(::InternetOpenUrlW(session.Get(), url.c_str(), L"Accept: */*\r\n\r\n",
                                              static_cast<DWORD>(-1), INTERNET_FLAG_NO_CACHE_WRITE,
                                              0));
    if (!request)
        return ::GetLastError();

    // What is already there comes in one read; the rest in small blocks until
    // a read returns nothing.
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(request.Get(), &available, 0, 0))
        available = 0;
    std::vector<char> buffer(std::max<DWORD>(available, kReadBlock) + 1);
    DWORD want = available;
    for (;;) {
        DWORD read = 0;
        if (want > 0 && !::InternetReadFile(request.Get(), buffer.data(), want, &read)) {
            DWORD error = ::GetLastError();
            body->clear();
            return error;
        }
        if (want > 0 && read == 0)
            return kSuccess;
        if (body->size() + read > kMaxPageSize) {
            body->clear();
            return kErrorMoreData;
        }
        body->append(buffer.data(), read);
        want = kReadBlock;
    }
}

HResult Win32Network::DownloadToFile(std::string_view address, std::string_view path,
                                     DownloadProgress* progress) {
    ComScope com;
    BindCallback callback(progress);
    std::wstring url = Widen(address);
    std::wstring file = Widen(path);
    HRESULT result = ::URLDownloadToFileW(nullptr, url.c_str(), file.c_str(), 0, &callback);
    // A cancelled or failed transfer leaves what it had received.
    if (FAILED(result))
        ::DeleteFileW(file.c_str());
    return static_cast<HResult>(result);
}

std::string Win32Network::MessageText(HResult result) {
    wchar_t* buffer = nullptr;
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, result, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr)
        return {};
    std::wstring message(buffer, length);
    ::LocalFree(buffer);
    while (!message.empty() &&
           (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
        message.pop_back();
    }
    return Narrow(message);
}

}  // namespace platform::win32
