#include "inject/Injection.h"

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "inject/LaunchQueue.h"
#include "inject/RemoteProcess.h"
#include "platform/win32/UniqueHandle.h"

namespace inject {

namespace {

using Kernel = platform::win32::UniqueHandle<platform::win32::KernelHandleTraits>;
using Snapshot = platform::win32::UniqueHandle<platform::win32::FileHandleTraits>;

std::atomic<HMODULE> g_program{nullptr};

// Each remote call gets at least this long even when the pass is late, so a
// slow process is not left half-done.
constexpr DWORD kMinimumCallMs = 250;

DWORD Remaining(ULONGLONG deadline) {
    const ULONGLONG now = ::GetTickCount64();
    return now >= deadline
               ? kMinimumCallMs
               : static_cast<DWORD>(std::max<ULONGLONG>(deadline - now, kMinimumCallMs));
}

// Calls `visit(pid, process)` for every other process of this user and
// bitness that opens with the rights of a remote call; returns false when some
// visit failed.
template <typename Visit>
bool ForEachTarget(Visit visit) {
    Snapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return false;
    const DWORD self = ::GetCurrentProcessId();
    bool allDone = true;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == self || entry.th32ProcessID == 0)
            continue;
        Kernel process(::OpenProcess(kRemoteCallAccess, FALSE, entry.th32ProcessID));
        if (!process || !IsSameUserAndBitness(process.Get()))
            continue;
        if (!visit(entry.th32ProcessID, process.Get()))
            allDone = false;
    }
    return allDone;
}

}  // namespace

void InitializeInjection(HMODULE module, DWORD reason, void*) {
    if (reason == kReasonAttach)
        g_program.store(module);
}

void FinalizeInjection(HMODULE module, DWORD reason, void*) {
    if (reason != kReasonDetach || g_program.load() != module)
        return;
    CloseAllQueues();
    g_program.store(nullptr);
}

bool InjectLibraryIntoAllProcesses(int selector, const wchar_t* modulePath, DWORD timeoutMs) {
    if (selector != kAllProcesses || modulePath == nullptr || *modulePath == L'\0')
        return false;
    const std::wstring path(modulePath);
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    return ForEachTarget([&](DWORD pid, HANDLE process) {
        if (FindRemoteModule(pid, path) != nullptr)
            return true;
        return RemoteLoadLibrary(process, path, Remaining(deadline));
    });
}

bool UninjectLibraryFromAllProcesses(int selector, const wchar_t* modulePath, DWORD timeoutMs) {
    if (selector != kAllProcesses || modulePath == nullptr || *modulePath == L'\0')
        return false;
    const std::wstring path(modulePath);
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    return ForEachTarget([&](DWORD pid, HANDLE process) {
        // One FreeLibrary per load: a process that loaded it twice needs two.
        for (int round = 0; round < 16; ++round) {
            HMODULE module = FindRemoteModule(pid, path);
            if (module == nullptr)
                return true;
            if (!RemoteFreeLibrary(process, module, Remaining(deadline)))
                return false;
        }
        return false;
    });
}

}  // namespace inject
