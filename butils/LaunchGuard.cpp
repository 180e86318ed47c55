// Process creation is hooked where every Win32 path to it meets: the call of
// ntdll's NtCreateUserProcess from kernelbase (kernel32 on Windows 7). Every
// CreateProcess variant, ShellExecute, system() and cmd.exe end there, on
// Windows 7 and later and on Wine, and a module loaded later that calls
// CreateProcessW still goes through it.
#include "butils/LaunchGuard.h"

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "butils/ImportPatch.h"
#include "inject/RemoteProcess.h"
#include "platform/win32/UniqueHandle.h"
#include "realtime/LaunchMessage.h"

namespace butils {

namespace {

using Kernel = platform::win32::UniqueHandle<platform::win32::KernelHandleTraits>;
using File = platform::win32::UniqueHandle<platform::win32::FileHandleTraits>;

using NtCreateUserProcessFn = LONG(NTAPI*)(PHANDLE process, PHANDLE thread,
                                           ACCESS_MASK processAccess, ACCESS_MASK threadAccess,
                                           void* processAttributes, void* threadAttributes,
                                           ULONG processFlags, ULONG threadFlags, void* parameters,
                                           void* createInfo, void* attributeList);

constexpr LONG kStatusAccessDenied = static_cast<LONG>(0xC0000022);
constexpr ULONG kThreadCreateSuspended = 0x1;
constexpr ULONG kParametersNormalized = 0x1;

struct CountedString {
    USHORT length;  // bytes
    USHORT maximumLength;
    wchar_t* buffer;
};

// The head of RTL_USER_PROCESS_PARAMETERS up to the image path (x64 layout).
struct ProcessParametersHead {
    ULONG maximumLength;
    ULONG length;
    ULONG flags;
    ULONG debugFlags;
    BYTE unused[0x60 - 16];
    CountedString imagePathName;
};
static_assert(offsetof(ProcessParametersHead, imagePathName) == 0x60);

NtCreateUserProcessFn g_original = nullptr;
std::vector<PatchedSlot> g_slots;
std::atomic<long> g_inFlight{0};
std::atomic<bool> g_closing{false};
Kernel g_closingEvent;
std::wstring g_modulePath;
std::string g_caller;

std::string Narrow(const wchar_t* text, int length) {
    if (length <= 0)
        return {};
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    return out;
}

// The DOS path of the image to start, or nothing.
std::optional<std::wstring> ImagePath(const void* parameters) {
    if (parameters == nullptr)
        return std::nullopt;
    const auto* head = static_cast<const ProcessParametersHead*>(parameters);
    const wchar_t* buffer = head->imagePathName.buffer;
    // Parameters not yet normalized hold offsets from their own start.
    if ((head->flags & kParametersNormalized) == 0 && buffer != nullptr) {
        buffer = reinterpret_cast<const wchar_t*>(static_cast<const BYTE*>(parameters) +
                                                  reinterpret_cast<std::uintptr_t>(buffer));
    }
    if (buffer == nullptr || head->imagePathName.length == 0)
        return std::nullopt;
    std::wstring path(buffer, head->imagePathName.length / sizeof(wchar_t));
    if (path.rfind(L"\\??\\", 0) == 0)
        path.erase(0, 4);
    return path;
}

// A path that fits the message, by its short form when the long one is too
// long.
std::optional<std::string> MessagePath(const std::wstring& path) {
    std::string narrow = Narrow(path.c_str(), static_cast<int>(path.size()));
    if (narrow.size() <= realtime::kLaunchTextMax)
        return narrow;
    wchar_t shortPath[MAX_PATH];
    DWORD length = ::GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    narrow = Narrow(shortPath, static_cast<int>(length));
    if (narrow.size() > realtime::kLaunchTextMax)
        return std::nullopt;
    return narrow;
}

// Waits for an overlapped operation, the closing event or the time-out.
bool Finish(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, DWORD timeoutMs,
            DWORD* transferred) {
    if (!started && ::GetLastError() != ERROR_IO_PENDING)
        return false;
    HANDLE waits[] = {overlapped.hEvent, g_closingEvent.Get()};
    if (::WaitForMultipleObjects(2, waits, FALSE, timeoutMs) != WAIT_OBJECT_0) {
        ::CancelIoEx(pipe, &overlapped);
        ::GetOverlappedResult(pipe, &overlapped, transferred, TRUE);
        return false;
    }
    return ::GetOverlappedResult(pipe, &overlapped, transferred, FALSE) != FALSE;
}

// True while the program has an alert about a launch open.
bool ProgramIsAsking() {
    Kernel asking(::OpenEventW(SYNCHRONIZE, FALSE, realtime::kLaunchAskingEventName));
    return asking && ::WaitForSingleObject(asking.Get(), 0) == WAIT_OBJECT_0;
}

// Waits for the answer: kAnswerTimeoutMs, longer only while the program is
// asking the user. False on a time-out, a broken pipe or the module closing.
bool FinishAnswer(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, DWORD* transferred) {
    if (!started && ::GetLastError() != ERROR_IO_PENDING)
        return false;
    HANDLE waits[] = {overlapped.hEvent, g_closingEvent.Get()};
    DWORD waited = ::WaitForMultipleObjects(2, waits, FALSE, kAnswerTimeoutMs);
    while (waited == WAIT_TIMEOUT && ProgramIsAsking())
        waited = ::WaitForMultipleObjects(2, waits, FALSE, kAnswerTimeoutMs);
    if (waited != WAIT_OBJECT_0) {
        ::CancelIoEx(pipe, &overlapped);
        ::GetOverlappedResult(pipe, &overlapped, transferred, TRUE);
        return false;
    }
    return ::GetOverlappedResult(pipe, &overlapped, transferred, FALSE) != FALSE;
}

File ConnectToQueue() {
    const ULONGLONG deadline = ::GetTickCount64() + kConnectTimeoutMs;
    for (;;) {
        File pipe(::CreateFileW(realtime::kLaunchPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
        if (pipe || ::GetLastError() != ERROR_PIPE_BUSY)
            return pipe;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline || g_closing.load())
            return File();
        ::WaitNamedPipeW(realtime::kLaunchPipeName, static_cast<DWORD>(deadline - now));
    }
}

// The program's answer: true allow, false block, nothing when it did not
// answer.
std::optional<bool> AskProgram(const std::string& executable) {
    realtime::LaunchMessageBytes message;
    if (!realtime::EncodeLaunchMessage(g_caller, executable, &message))
        return std::nullopt;
    File pipe = ConnectToQueue();
    if (!pipe)
        return std::nullopt;
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!::SetNamedPipeHandleState(pipe.Get(), &mode, nullptr, nullptr))
        return std::nullopt;
    Kernel event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event)
        return std::nullopt;

    OVERLAPPED overlapped{};
    overlapped.hEvent = event.Get();
    DWORD transferred = 0;
    BOOL started = ::WriteFile(pipe.Get(), message.data(), static_cast<DWORD>(message.size()),
                               nullptr, &overlapped);
    if (!Finish(pipe.Get(), overlapped, started, kConnectTimeoutMs, &transferred) ||
        transferred != message.size()) {
        return std::nullopt;
    }
    char answer[8] = {};
    overlapped = OVERLAPPED{};
    overlapped.hEvent = event.Get();
    ::ResetEvent(event.Get());
    started = ::ReadFile(pipe.Get(), answer, sizeof answer, nullptr, &overlapped);
    if (!FinishAnswer(pipe.Get(), overlapped, started, &transferred))
        return std::nullopt;
    return realtime::DecodeLaunchAnswer(answer, transferred);
}

// Loads this module into an allowed child before it runs, so the child's own
// launches are guarded too.
void GuardChild(HANDLE process) {
    if (process == nullptr || g_modulePath.empty() || !inject::IsSameUserAndBitness(process))
        return;
    inject::RemoteLoadLibrary(process, g_modulePath, kChildLoadTimeoutMs);
}

struct InFlight {
    InFlight() { g_inFlight.fetch_add(1); }
    ~InFlight() { g_inFlight.fetch_sub(1); }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;
};

LONG NTAPI GuardedCreateUserProcess(PHANDLE process, PHANDLE thread, ACCESS_MASK processAccess,
                                    ACCESS_MASK threadAccess, void* processAttributes,
                                    void* threadAttributes, ULONG processFlags, ULONG threadFlags,
                                    void* parameters, void* createInfo, void* attributeList) {
    InFlight inFlight;
    std::optional<bool> allowed;
    if (!g_closing.load()) {
        if (auto image = ImagePath(parameters)) {
            if (auto path = MessagePath(*image))
                allowed = AskProgram(*path);
        }
    }
    if (allowed.has_value() && !*allowed)
        return kStatusAccessDenied;
    // Unanswered launches are guarded too: a program that restarts after a
    // crash finds every descendant still reporting to it.
    const bool guardChild = !g_closing.load();
    const ULONG flags = guardChild ? (threadFlags | kThreadCreateSuspended) : threadFlags;
    const LONG status =
        g_original(process, thread, processAccess, threadAccess, processAttributes,
                   threadAttributes, processFlags, flags, parameters, createInfo, attributeList);
    if (status >= 0 && guardChild) {
        GuardChild(process != nullptr ? *process : nullptr);
        if ((threadFlags & kThreadCreateSuspended) == 0 && thread != nullptr)
            ::ResumeThread(*thread);
    }
    return status;
}

}  // namespace

bool InstallLaunchGuard(HMODULE self) {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr)
        return false;
    g_original = reinterpret_cast<NtCreateUserProcessFn>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtCreateUserProcess")));
    if (g_original == nullptr)
        return false;
    g_closingEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!g_closingEvent)
        return false;

    wchar_t buffer[MAX_PATH * 4];
    DWORD length = ::GetModuleFileNameW(self, buffer, static_cast<DWORD>(std::size(buffer)));
    if (length > 0 && length < std::size(buffer))
        g_modulePath.assign(buffer, length);
    length = ::GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    if (length > 0 && length < std::size(buffer)) {
        if (auto caller = MessagePath(std::wstring(buffer, length)))
            g_caller = *caller;
    }

    for (const wchar_t* name : {L"kernelbase.dll", L"kernel32.dll"}) {
        auto slots = PatchImports(::GetModuleHandleW(name), reinterpret_cast<void*>(g_original),
                                  reinterpret_cast<void*>(&GuardedCreateUserProcess));
        g_slots.insert(g_slots.end(), slots.begin(), slots.end());
    }
    return !g_slots.empty();
}

void RemoveLaunchGuard(bool processEnding) {
    if (processEnding)
        return;
    g_closing.store(true);
    if (g_closingEvent)
        ::SetEvent(g_closingEvent.Get());
    RestoreImports(g_slots);
    g_slots.clear();
    // A thread may have read a patched slot just before it was restored and
    // not be counted yet; give it a moment, then wait for every call to leave.
    // Each call in flight is bounded by the time-outs above and returns early
    // once the closing event is set.
    ::Sleep(20);
    while (g_inFlight.load() != 0)
        ::Sleep(5);
}

}  // namespace butils
