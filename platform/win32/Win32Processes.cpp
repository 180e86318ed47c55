#include "platform/win32/Win32Processes.h"

#include "platform/win32/Windows.h"

#include <shellapi.h>

#include <string>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

namespace platform::win32 {

namespace {
constexpr DWORD kRunProgramWaitMs = 120000;
}  // namespace

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

bool Win32Processes::RunProgram(std::string_view program, std::string_view parameters, bool wait) {
    const std::wstring file = Widen(program);
    const std::wstring arguments = Widen(parameters);
    if (!wait) {
        // ShellExecute reports failure as a value of 32 or below.
        const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(
            nullptr, nullptr, file.c_str(), arguments.c_str(), nullptr, SW_SHOWNORMAL));
        return result > 32;
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = file.c_str();
    info.lpParameters = arguments.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (::ShellExecuteExW(&info)) {
        UniqueKernelHandle process(info.hProcess);
        if (process)
            ::WaitForSingleObject(process.Get(), kRunProgramWaitMs);
    }
    // Callers learn whether the program did its work from what it leaves behind.
    return true;
}

bool Win32Processes::FindWindowProcess(std::string_view windowClass, std::uint32_t* processId) {
    const std::wstring className = Widen(windowClass);
    HWND window = ::FindWindowW(className.c_str(), nullptr);
    if (window == nullptr)
        return false;
    DWORD id = 0;
    ::GetWindowThreadProcessId(window, &id);
    *processId = id;
    return true;
}

bool Win32Processes::TerminateProcess(std::uint32_t processId, std::uint32_t exitCode) {
    UniqueKernelHandle process(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId));
    if (!process)
        return false;
    return ::TerminateProcess(process.Get(), exitCode) != FALSE;
}

bool Win32Processes::ShutDownSystem(std::uint32_t flags, std::uint32_t reason) {
    // Every supported system is of the NT family: a reboot needs the
    // shutdown privilege enabled in the process token first.
    UniqueKernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                            token.Put()))
        return false;
    TOKEN_PRIVILEGES privileges{};
    if (!::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        return false;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // Its result says nothing useful: ExitWindowsEx reports a missing privilege.
    ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    return ::ExitWindowsEx(flags, reason) != FALSE;
}

}  // namespace platform::win32
