// Prints what the filter module adds to a launch under Wine or Windows: 200
// CreateProcessW + wait of a tiny program without the module, with it and an
// unlisted answer (allowed: the child is also created suspended and given the
// module), and with a refusal. The queue answers from an index of 60,000
// executables, as the program does. Figures, not a test.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "inject/Injection.h"
#include "platform/win32/WideText.h"
#include "realtime/LaunchDecision.h"
#include "realtime/LaunchMessage.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<refdb::SpywareEntry> g_entries(60000);
std::vector<refdb::ExeRecord> g_records;
realtime::LaunchIndex g_index;
std::string g_blocked;

void Answer(const wchar_t*, const void* message, DWORD length, void* answer, DWORD) {
    std::int32_t verdict = realtime::kLaunchAllow;
    if (auto query = realtime::DecodeLaunchMessage(message, length)) {
        const realtime::LaunchTarget target =
            realtime::ResolveTarget(query->caller, query->executable);
        if (g_index.Find(target) != nullptr ||
            (!g_blocked.empty() && text::EqualsNoCase(query->executable, g_blocked)))
            verdict = realtime::kLaunchBlock;
    }
    realtime::EncodeLaunchAnswer(verdict, answer);
}

std::wstring Folder() {
    wchar_t path[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.rfind(L'\\'));
}

// Milliseconds per launch over `count` launches; `failures` counts refusals.
double TimeLaunches(const std::wstring& program, int count, int* failures) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        std::wstring commandLine(1, L'"');
        commandLine.append(program).push_back(L'"');
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION child{};
        if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                              nullptr, nullptr, &startup, &child)) {
            ++*failures;
            continue;
        }
        ::WaitForSingleObject(child.hProcess, INFINITE);
        ::CloseHandle(child.hThread);
        ::CloseHandle(child.hProcess);
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / count;
}

}  // namespace

int wmain() {
    for (std::size_t i = 0; i < g_entries.size(); ++i) {
        g_records.push_back({"tool" + std::to_string(i) + ".exe",
                             "C:\\Program Files\\Vendor" + std::to_string(i % 977), "",
                             &g_entries[i]});
    }
    g_index.Rebuild(g_records);
    const std::wstring target = Folder() + L"\\launch_target.exe";
    g_blocked = platform::win32::Narrow(target);
    constexpr int kLaunches = 200;

    int failures = 0;
    TimeLaunches(target, 5, &failures);  // warm the file cache
    const double bare = TimeLaunches(target, kLaunches, &failures);

    inject::InitializeInjection(::GetModuleHandleW(nullptr), inject::kReasonAttach, nullptr);
    if (!inject::CreateIpcQueue(L"BrindlexRealTimeQueue", &Answer)) {
        std::printf("the launch queue is served by another process; stop it first\n");
        return 1;
    }
    // The query alone: connect, send, answer, close.
    realtime::LaunchMessageBytes message;
    realtime::EncodeLaunchMessage("C:\\caller.exe", "C:\\Elsewhere\\x.exe", &message);
    const auto queryStart = Clock::now();
    for (int i = 0; i < kLaunches; ++i) {
        ::WaitNamedPipeW(realtime::kLaunchPipeName, 1000);
        HANDLE pipe = ::CreateFileW(realtime::kLaunchPipeName, GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD mode = PIPE_READMODE_MESSAGE;
        ::SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
        char answer[4];
        DWORD got = 0;
        ::TransactNamedPipe(pipe, message.data(), static_cast<DWORD>(message.size()), answer,
                            sizeof answer, &got, nullptr);
        ::CloseHandle(pipe);
    }
    const double queryMs =
        std::chrono::duration<double, std::milli>(Clock::now() - queryStart).count() / kLaunches;
    HMODULE module = ::LoadLibraryW((Folder() + L"\\butils.dll").c_str());
    if (module == nullptr) {
        std::printf("butils.dll not found beside the benchmark\n");
        return 1;
    }
    // Unlisted: the queue is asked, allows, and the child gets the module.
    g_blocked.clear();
    const double unlisted = TimeLaunches(target, kLaunches, &failures);
    // Listed: refused, nothing starts.
    g_blocked = platform::win32::Narrow(target);
    int refused = 0;
    const double listed = TimeLaunches(target, kLaunches, &refused);
    ::FreeLibrary(module);
    inject::FinalizeInjection(::GetModuleHandleW(nullptr), inject::kReasonDetach, nullptr);

    std::printf("launches: %d each, lookup index of %zu executables\n", kLaunches, g_index.size());
    std::printf("one query round trip:     %.2f ms\n", queryMs);
    std::printf("without the module:       %.2f ms per launch\n", bare);
    std::printf("with it, unlisted:        %.2f ms per launch (+%.2f ms, ratio %.2f)\n", unlisted,
                unlisted - bare, unlisted / bare);
    std::printf("with it, refused (%d/%d): %.2f ms per launch attempt\n", refused, kLaunches,
                listed);
    return failures == 0 ? 0 : 1;
}
