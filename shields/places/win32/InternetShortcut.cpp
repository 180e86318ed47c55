#include "shields/places/win32/InternetShortcut.h"

#include "platform/win32/Windows.h"

#include <objbase.h>
#include <objidl.h>
// Its interfaces are declared with the COM macros of the two above.
#include <intshcut.h>

#include "platform/win32/WideText.h"

extern "C" const CLSID CLSID_InternetShortcut;
extern "C" const IID IID_IUniformResourceLocatorW;

namespace shields::win32 {

namespace {

// Releases a COM interface pointer once.
template <typename Interface>
class ComRef {
  public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (pointer_ != nullptr)
            pointer_->Release();
    }
    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    void** out() { return reinterpret_cast<void**>(&pointer_); }

  private:
    Interface* pointer_ = nullptr;
};

}  // namespace

std::optional<std::string> InternetShortcutResolver::ResolveShortcutUrl(std::string_view path) {
    const std::wstring wide = platform::win32::Widen(path);
    if (wide.empty() || wide.size() >= MAX_PATH)
        return std::nullopt;
    ComRef<IUniformResourceLocatorW> locator;
    if (FAILED(CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IUniformResourceLocatorW, locator.out()))) {
        return std::nullopt;
    }
    ComRef<IPersistFile> file;
    if (FAILED(locator->QueryInterface(IID_IPersistFile, file.out())) ||
        FAILED(file->Load(wide.c_str(), STGM_READ))) {
        return std::nullopt;
    }
    wchar_t* url = nullptr;
    if (FAILED(locator->GetURL(&url)) || url == nullptr)
        return std::nullopt;
    std::string address = platform::win32::Narrow(url);
    // The object allocates the text with the shell's (COM task) allocator.
    CoTaskMemFree(url);
    return address;
}

}  // namespace shields::win32
