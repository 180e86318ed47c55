#include "inject/RemoteProcess.h"

#include <tlhelp32.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/win32/UniqueHandle.h"

namespace inject {

namespace {

using platform::win32::UniqueHandle;
using Kernel = UniqueHandle<platform::win32::KernelHandleTraits>;
using Snapshot = UniqueHandle<platform::win32::FileHandleTraits>;

// System modules lie at the same address in every process of one bitness
// during a boot (Wine keeps this too), so a local address of kernel32 is valid
// in the target, even in a process whose loader has not run yet.
LPTHREAD_START_ROUTINE KernelFunction(const char* name) {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel == nullptr ? nullptr
                             : reinterpret_cast<LPTHREAD_START_ROUTINE>(
                                   reinterpret_cast<void*>(::GetProcAddress(kernel, name)));
}

enum class RemoteRun { kNotStarted, kStillRunning, kEnded };

// Runs `start(argument)` on a new thread in `process` and waits up to
// `timeoutMs` for it to end.
RemoteRun RunRemoteThread(HANDLE process, LPTHREAD_START_ROUTINE start, void* argument,
                          DWORD timeoutMs, DWORD* exitCode) {
    if (start == nullptr)
        return RemoteRun::kNotStarted;
    Kernel thread(::CreateRemoteThread(process, nullptr, 0, start, argument, 0, nullptr));
    if (!thread)
        return RemoteRun::kNotStarted;
    if (::WaitForSingleObject(thread.Get(), timeoutMs) != WAIT_OBJECT_0)
        return RemoteRun::kStillRunning;
    if (!::GetExitCodeThread(thread.Get(), exitCode))
        *exitCode = 0;
    return RemoteRun::kEnded;
}

std::unique_ptr<TOKEN_USER, void (*)(TOKEN_USER*)> TokenUserOf(HANDLE process) {
    auto release = [](TOKEN_USER* user) { std::free(user); };
    std::unique_ptr<TOKEN_USER, void (*)(TOKEN_USER*)> none(nullptr, release);
    Kernel token;
    if (!::OpenProcessToken(process, TOKEN_QUERY, token.Put()))
        return none;
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0)
        return none;
    auto* user = static_cast<TOKEN_USER*>(std::malloc(size));
    if (user == nullptr)
        return none;
    std::unique_ptr<TOKEN_USER, void (*)(TOKEN_USER*)> owned(user, release);
    if (!::GetTokenInformation(token.Get(), TokenUser, user, size, &size))
        return none;
    return owned;
}

}  // namespace

HMODULE FindRemoteModule(DWORD pid, const std::wstring& path) {
    Snapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
    if (!snapshot)
        return nullptr;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Module32FirstW(snapshot.Get(), &entry); more;
         more = ::Module32NextW(snapshot.Get(), &entry)) {
        if (::lstrcmpiW(entry.szExePath, path.c_str()) == 0)
            return entry.hModule;
    }
    return nullptr;
}

bool RemoteLoadLibrary(HANDLE process, const std::wstring& path, DWORD timeoutMs) {
    const SIZE_T bytes = (path.size() + 1) * sizeof(wchar_t);
    void* remote =
        ::VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote == nullptr)
        return false;
    DWORD exitCode = 0;
    RemoteRun run = RemoteRun::kNotStarted;
    if (::WriteProcessMemory(process, remote, path.c_str(), bytes, nullptr)) {
        run =
            RunRemoteThread(process, KernelFunction("LoadLibraryW"), remote, timeoutMs, &exitCode);
    }
    // A thread still running may yet read the path: the few bytes stay then.
    if (run != RemoteRun::kStillRunning)
        ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    if (run != RemoteRun::kEnded)
        return false;
    // The exit code is only the low half of the module handle, which can be
    // zero for a module above 4 GiB: ask the loader's list then.
    return exitCode != 0 || FindRemoteModule(::GetProcessId(process), path) != nullptr;
}

bool RemoteFreeLibrary(HANDLE process, HMODULE module, DWORD timeoutMs) {
    DWORD exitCode = 0;
    return RunRemoteThread(process, KernelFunction("FreeLibrary"), module, timeoutMs, &exitCode) ==
               RemoteRun::kEnded &&
           exitCode != 0;
}

bool IsSameUserAndBitness(HANDLE process) {
    BOOL theirs = FALSE;
    BOOL ours = FALSE;
    if (!::IsWow64Process(process, &theirs) || !::IsWow64Process(::GetCurrentProcess(), &ours) ||
        theirs != ours) {
        return false;
    }
    auto them = TokenUserOf(process);
    auto us = TokenUserOf(::GetCurrentProcess());
    return them && us && ::EqualSid(them->User.Sid, us->User.Sid);
}

}  // namespace inject
