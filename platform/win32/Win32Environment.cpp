#include "platform/win32/Win32Environment.h"

#include "platform/win32/Windows.h"

#include <sddl.h>
#include <shlobj.h>

#include <vector>

#include "platform/Text.h"
#include "platform/win32/WideText.h"

namespace platform::win32 {

namespace {

// Calls a Get...Directory-style function that reports the needed size when
// the buffer is short.
template <typename Getter>
std::string QueryFolder(Getter getter) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 4; ++attempt) {
        UINT n = getter(buffer.data(), static_cast<UINT>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            return text::WithoutTrailingBackslash(Narrow(std::wstring_view(buffer.data(), n)));
        }
        buffer.resize(n + 1);
    }
    return {};
}

std::string SidOfToken(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        return {};
    auto* user = reinterpret_cast<TOKEN_USER*>(buffer.data());
    wchar_t* textSid = nullptr;
    if (!ConvertSidToStringSidW(user->User.Sid, &textSid))
        return {};
    std::string result = Narrow(textSid);
    LocalFree(textSid);
    return result;
}

}  // namespace

std::string Win32Environment::WindowsFolder() {
    return QueryFolder([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); });
}

std::string Win32Environment::SystemFolder() {
    return QueryFolder([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); });
}

bool Win32Environment::ExpandEnvironmentStrings(std::string_view textIn, std::string* expanded) {
    std::wstring wide = Widen(textIn);
    DWORD needed = ExpandEnvironmentStringsW(wide.c_str(), nullptr, 0);
    if (needed == 0)
        return false;
    std::vector<wchar_t> buffer(needed);
    DWORD written = ExpandEnvironmentStringsW(wide.c_str(), buffer.data(), needed);
    if (written == 0 || written > needed)
        return false;
    *expanded = Narrow(std::wstring_view(buffer.data(), written - 1));
    return true;
}

std::string Win32Environment::ProgramFilesFolder() {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_PROGRAM_FILES, FALSE))
        return {};
    return text::WithoutTrailingBackslash(Narrow(buffer));
}

std::string Win32Environment::ShellFolderPath(ShellFolder folder) {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, static_cast<int>(folder), FALSE))
        return {};
    return text::WithoutTrailingBackslash(Narrow(buffer));
}

std::string Win32Environment::UserSid() {
    HANDLE token = nullptr;
    // The thread's token when it impersonates, else the process's.
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    std::string sid = SidOfToken(token);
    CloseHandle(token);
    return sid;
}

}  // namespace platform::win32
