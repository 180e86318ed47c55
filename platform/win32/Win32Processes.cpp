#include "platform/win32/Win32Processes.h"

#include "platform/win32/Windows.h"

#include <string>

#include "platform/win32/WideText.h"

namespace platform::win32 {

std::string Win32Processes::ModuleFileName() {
    // GetModuleFileName truncates silently and returns the buffer size when
    // the name does not fit: grow until it does.
    constexpr DWORD kLongestPath = 32768;
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0)
            return {};
        if (length < size) {
            buffer.resize(length);
            return Narrow(buffer);
        }
        if (size >= kLongestPath)
            return {};
        buffer.resize(static_cast<std::size_t>(size) * 2);
    }
}

}  // namespace platform::win32
