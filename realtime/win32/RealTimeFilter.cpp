#include "realtime/win32/RealTimeFilter.h"

#include <atomic>

#include "inject/Injection.h"
#include "platform/win32/WideText.h"
#include "realtime/LaunchMessage.h"
#include "settings/Messages.h"

namespace realtime {

namespace {

constexpr int kInjectSelector = inject::kAllProcesses;
constexpr DWORD kInjectTimeoutMs = 7000;

// Written once, before the first query can arrive.
std::atomic<HWND> g_owner{nullptr};
// The program's own module, one per process.
HMODULE g_programModule = nullptr;

// The allocation base of this code, when the memory query says it is a
// committed image.
HMODULE OwnModule() {
    MEMORY_BASIC_INFORMATION info{};
    if (::VirtualQuery(reinterpret_cast<const void*>(&OwnModule), &info, sizeof info) == 0 ||
        info.State != MEM_COMMIT || info.AllocationBase == nullptr) {
        return nullptr;
    }
    return static_cast<HMODULE>(info.AllocationBase);
}

}  // namespace

CRealTimeFilter::CRealTimeFilter() {
    if (g_programModule == nullptr) {
        g_programModule = OwnModule();
        if (g_programModule != nullptr)
            inject::InitializeInjection(g_programModule, inject::kReasonAttach, nullptr);
    }
}

CRealTimeFilter::~CRealTimeFilter() {
    if (g_programModule != nullptr) {
        inject::FinalizeInjection(g_programModule, inject::kReasonDetach, nullptr);
        g_programModule = nullptr;
    }
    g_owner.store(nullptr);
}

bool CRealTimeFilter::CreateQueue(HWND owner) {
    const std::wstring name = platform::win32::Widen(kLaunchQueueName);
    if (!inject::CreateIpcQueue(name.c_str(), &OnLaunchQuery))
        return false;
    owner_ = owner;
    g_owner.store(owner);
    asking_.Reset(::CreateEventW(nullptr, TRUE, FALSE, kLaunchAskingEventName));
    return true;
}

void CRealTimeFilter::SetAskingUser(bool asking) {
    // Alerts nest (a second one opens while the first waits): the event
    // stays set until the last has been answered.
    askingCount_ += asking ? 1 : -1;
    if (!asking_)
        return;
    if (askingCount_ > 0)
        ::SetEvent(asking_.Get());
    else
        ::ResetEvent(asking_.Get());
}

void CRealTimeFilter::Inject() {
    const std::wstring path = platform::win32::Widen(modulePath_);
    inject::InjectLibraryIntoAllProcesses(kInjectSelector, path.c_str(), kInjectTimeoutMs);
    injected_ = 1;
}

void CRealTimeFilter::Uninject() {
    const std::wstring path = platform::win32::Widen(modulePath_);
    inject::UninjectLibraryFromAllProcesses(kInjectSelector, path.c_str(), kInjectTimeoutMs);
    injected_ = 0;
}

void OnLaunchQuery(const wchar_t*, const void* message, DWORD messageLength, void* answer,
                   DWORD answerLength) {
    if (answer == nullptr || answerLength < kLaunchAnswerSize)
        return;
    // A malformed query names nothing to look up: it is not one to refuse.
    std::int32_t verdict = kLaunchAllow;
    HWND owner = g_owner.load();
    auto query = DecodeLaunchMessage(message, messageLength);
    // With the window gone the program is ending: a launch waiting for it
    // goes ahead rather than being refused by nobody.
    // Each client has its own thread, and the window takes sent messages
    // while an alert waits for the user: a launch that needs no alert is
    // answered meanwhile instead of waiting for that user.
    if (query && owner != nullptr && ::IsWindow(owner)) {
        const LRESULT result = ::SendMessageW(owner, app::WM_EXE_LAUNCH_PROMPT,
                                              reinterpret_cast<WPARAM>(query->caller.c_str()),
                                              reinterpret_cast<LPARAM>(query->executable.c_str()));
        // A window destroyed while it was asked answers nothing.
        if (::IsWindow(owner))
            verdict = result == 1 ? kLaunchAllow : kLaunchBlock;
    }
    EncodeLaunchAnswer(verdict, answer);
}

}  // namespace realtime
