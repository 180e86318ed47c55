// The filter module and the launch queue under Wine: this test process serves
// the queue, loads butils.dll into itself and starts a small marker-writing
// program every way a program gets started.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "butils/LaunchGuard.h"
#include "inject/Injection.h"
#include "inject/RemoteProcess.h"
#include "platform/win32/WideText.h"
#include "realtime/LaunchMessage.h"

#include <shellapi.h>
#include <stdlib.h>

namespace {

using platform::win32::Narrow;

enum class Policy { kAllowAll, kBlockTarget, kBlockFromTarget };

struct Query {
    std::string caller;
    std::string executable;
};

std::mutex g_lock;
std::vector<Query> g_queries;
std::vector<DWORD> g_sizes;
std::atomic<Policy> g_policy{Policy::kAllowAll};

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           _stricmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

void Answer(const wchar_t*, const void* message, DWORD length, void* answer, DWORD) {
    std::int32_t verdict = realtime::kLaunchAllow;
    auto query = realtime::DecodeLaunchMessage(message, length);
    std::lock_guard<std::mutex> lock(g_lock);
    g_sizes.push_back(length);
    if (query) {
        const Policy policy = g_policy.load();
        if ((policy == Policy::kBlockTarget &&
             EndsWith(query->executable, "\\launch_target.exe")) ||
            (policy == Policy::kBlockFromTarget &&
             EndsWith(query->caller, "\\launch_target.exe"))) {
            verdict = realtime::kLaunchBlock;
        }
        g_queries.push_back({query->caller, query->executable});
    }
    realtime::EncodeLaunchAnswer(verdict, answer);
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.rfind(L'\\'));
}

std::wstring Target() {
    return ProgramFolder() + L"\\launch_target.exe";
}
std::wstring Module() {
    return ProgramFolder() + L"\\butils.dll";
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class Markers {
  public:
    Markers() {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"bxlaunch" + std::to_wstring(::GetCurrentProcessId()) +
                  L"-" + std::to_wstring(next_++);
        ::CreateDirectoryW(folder_.c_str(), nullptr);
    }
    ~Markers() {
        for (const wchar_t* name : {L"\\a", L"\\b"})
            ::DeleteFileW((folder_ + name).c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }
    std::wstring a() const { return folder_ + L"\\a"; }
    std::wstring b() const { return folder_ + L"\\b"; }

  private:
    static inline int next_ = 0;
    std::wstring folder_;
};

// CreateProcessW and a wait for the child; the Win32 error when it failed.
DWORD Launch(const std::wstring& application, std::wstring commandLine, DWORD* exitCode = nullptr) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!::CreateProcessW(application.empty() ? nullptr : application.c_str(), commandLine.data(),
                          nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
        return ::GetLastError();
    }
    ::WaitForSingleObject(child.hProcess, 30000);
    if (exitCode != nullptr)
        ::GetExitCodeProcess(child.hProcess, exitCode);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    return ERROR_SUCCESS;
}

std::wstring Quoted(const std::wstring& text) {
    std::wstring quoted;
    quoted.reserve(text.size() + 2);
    quoted.push_back(L'"');
    quoted.append(text);
    quoted.push_back(L'"');
    return quoted;
}

std::vector<Query> TakeQueries() {
    std::lock_guard<std::mutex> lock(g_lock);
    std::vector<Query> taken;
    taken.swap(g_queries);
    g_sizes.clear();
    return taken;
}

bool Asked(const std::vector<Query>& queries, const std::string& callerTail,
           const std::string& exeTail) {
    for (const Query& query : queries) {
        if (EndsWith(query.caller, callerTail) && EndsWith(query.executable, exeTail))
            return true;
    }
    return false;
}

HANDLE OpenQueue() {
    ::WaitNamedPipeW(realtime::kLaunchPipeName, 2000);
    return ::CreateFileW(realtime::kLaunchPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
}

// With the queue served and the module loaded into this process.
class GuardedLaunchTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        inject::InitializeInjection(::GetModuleHandleW(nullptr), inject::kReasonAttach, nullptr);
        ASSERT_TRUE(inject::CreateIpcQueue(L"BrindlexRealTimeQueue", &Answer));
        module_ = ::LoadLibraryW(Module().c_str());
        ASSERT_NE(module_, nullptr);
    }
    static void TearDownTestSuite() {
        // Unloading takes the hooks out: later suites run unguarded.
        ::FreeLibrary(module_);
        inject::FinalizeInjection(::GetModuleHandleW(nullptr), inject::kReasonDetach, nullptr);
    }
    void SetUp() override {
        g_policy = Policy::kAllowAll;
        TakeQueries();
    }
    static inline HMODULE module_ = nullptr;
    Markers markers_;
};

TEST_F(GuardedLaunchTest, TheQueueRefusesASecondServerAndOversizedMessages) {
    EXPECT_FALSE(inject::CreateIpcQueue(L"BrindlexRealTimeQueue", &Answer));

    // Two clients at once, each answered; a message too long for a query
    // drops its client without an answer.
    HANDLE first = OpenQueue();
    HANDLE second = OpenQueue();
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    DWORD mode = PIPE_READMODE_MESSAGE;
    ASSERT_TRUE(::SetNamedPipeHandleState(first, &mode, nullptr, nullptr));
    ASSERT_TRUE(::SetNamedPipeHandleState(second, &mode, nullptr, nullptr));
    realtime::LaunchMessageBytes message;
    ASSERT_TRUE(realtime::EncodeLaunchMessage("caller", "C:\\x\\launch_target.exe", &message));
    g_policy = Policy::kBlockTarget;
    char answer[8] = {};
    DWORD got = 0;
    ASSERT_TRUE(::TransactNamedPipe(second, message.data(), message.size(), answer, sizeof answer,
                                    &got, nullptr));
    EXPECT_EQ(realtime::DecodeLaunchAnswer(answer, got), false);
    ASSERT_TRUE(::TransactNamedPipe(first, message.data(), message.size(), answer, sizeof answer,
                                    &got, nullptr));
    EXPECT_EQ(realtime::DecodeLaunchAnswer(answer, got), false);

    std::vector<char> oversized(5000, 'x');
    EXPECT_FALSE(::TransactNamedPipe(first, oversized.data(), static_cast<DWORD>(oversized.size()),
                                     answer, sizeof answer, &got, nullptr));
    ::CloseHandle(first);
    ::CloseHandle(second);
    std::lock_guard<std::mutex> lock(g_lock);
    EXPECT_EQ(g_sizes, (std::vector<DWORD>{522, 522}));
}

TEST_F(GuardedLaunchTest, CreateProcessIsDeniedOnZeroAndTheProgramNeverRuns) {
    g_policy = Policy::kBlockTarget;
    EXPECT_EQ(Launch(Target(), Quoted(Target()) + L" " + Quoted(markers_.a())),
              DWORD{ERROR_ACCESS_DENIED});
    // Found by the command line alone too, and through the ANSI entry.
    EXPECT_EQ(Launch(L"", Quoted(Target()) + L" " + Quoted(markers_.a())),
              DWORD{ERROR_ACCESS_DENIED});
    std::string ansi = Narrow(Quoted(Target()) + L" " + Quoted(markers_.a()));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    EXPECT_FALSE(::CreateProcessA(nullptr, ansi.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &child));
    EXPECT_EQ(::GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    EXPECT_FALSE(Exists(markers_.a()));

    const auto queries = TakeQueries();
    ASSERT_EQ(queries.size(), 3u);
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(queries[0].caller, Narrow(self));
    EXPECT_TRUE(_stricmp(queries[0].executable.c_str(), Narrow(Target()).c_str()) == 0)
        << queries[0].executable;
}

TEST_F(GuardedLaunchTest, AnAllowedChildRunsAndItsOwnLaunchesAreGuarded) {
    DWORD exitCode = 99;
    ASSERT_EQ(Launch(Target(), Quoted(Target()) + L" " + Quoted(markers_.a()), &exitCode),
              DWORD{ERROR_SUCCESS});
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(Exists(markers_.a()));
    ::DeleteFileW(markers_.a().c_str());

    // The child may run; what it starts itself is refused.
    g_policy = Policy::kBlockFromTarget;
    ASSERT_EQ(
        Launch(Target(),
               Quoted(Target()) + L" --spawn " + Quoted(markers_.a()) + L" " + Quoted(markers_.b()),
               &exitCode),
        DWORD{ERROR_SUCCESS});
    EXPECT_EQ(exitCode, 1u);
    EXPECT_TRUE(Exists(markers_.a()));
    EXPECT_FALSE(Exists(markers_.b()));
    EXPECT_TRUE(Asked(TakeQueries(), "\\launch_target.exe", "\\launch_target.exe"));

    // Allowed, the grandchild runs as well.
    g_policy = Policy::kAllowAll;
    ASSERT_EQ(
        Launch(Target(),
               Quoted(Target()) + L" --spawn " + Quoted(markers_.a()) + L" " + Quoted(markers_.b()),
               &exitCode),
        DWORD{ERROR_SUCCESS});
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(Exists(markers_.b()));
}

TEST_F(GuardedLaunchTest, ShellExecuteSystemAndCmdLaunchesAreCaught) {
    g_policy = Policy::kBlockTarget;
    const std::wstring parameters = Quoted(markers_.a());
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpFile = Target().c_str();
    const std::wstring target = Target();
    info.lpFile = target.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    if (::ShellExecuteExW(&info) && info.hProcess != nullptr) {
        ::WaitForSingleObject(info.hProcess, 30000);
        ::CloseHandle(info.hProcess);
        ADD_FAILURE() << "ShellExecuteExW started a refused program";
    }
    EXPECT_TRUE(Asked(TakeQueries(), ".exe", "\\launch_target.exe"));

    // system() and cmd /c start cmd.exe, which is allowed and guarded; its
    // own start of the target is then refused.
    const std::wstring command = Quoted(Quoted(Target()) + L" " + Quoted(markers_.a()));
    _wsystem(command.c_str());
    auto queries = TakeQueries();
    EXPECT_TRUE(Asked(queries, "", "\\cmd.exe"));
    EXPECT_TRUE(Asked(queries, "\\cmd.exe", "\\launch_target.exe"));

    DWORD exitCode = 0;
    ASSERT_EQ(Launch(L"", L"cmd.exe /c " + command, &exitCode), DWORD{ERROR_SUCCESS});
    EXPECT_NE(exitCode, 0u);
    EXPECT_TRUE(Asked(TakeQueries(), "\\cmd.exe", "\\launch_target.exe"));
    EXPECT_FALSE(Exists(markers_.a()));

    g_policy = Policy::kAllowAll;
    ASSERT_EQ(Launch(L"", L"cmd.exe /c " + command, &exitCode), DWORD{ERROR_SUCCESS});
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(Exists(markers_.a()));
}

// The module loaded but nobody serving the queue, or a server that breaks
// off: launches go ahead.
class UnansweredLaunchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = ::LoadLibraryW(Module().c_str());
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override { ::FreeLibrary(module_); }
    HMODULE module_ = nullptr;
    Markers markers_;
};

TEST_F(UnansweredLaunchTest, WithoutAQueueTheLaunchProceeds) {
    DWORD exitCode = 99;
    ASSERT_EQ(Launch(Target(), Quoted(Target()) + L" " + Quoted(markers_.a()), &exitCode),
              DWORD{ERROR_SUCCESS});
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(Exists(markers_.a()));
}

TEST_F(UnansweredLaunchTest, ABrokenPipeLetsTheLaunchProceed) {
    // A server that reads the query and closes without answering, as a
    // program killed while it asks the user would.
    HANDLE server = ::CreateNamedPipeW(realtime::kLaunchPipeName, PIPE_ACCESS_DUPLEX,
                                       PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
                                       4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    std::atomic<DWORD> received{0};
    std::thread breaker([&] {
        if (::ConnectNamedPipe(server, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED) {
            char buffer[1024];
            DWORD read = 0;
            ::ReadFile(server, buffer, sizeof buffer, &read, nullptr);
            received = read;
        }
        ::CloseHandle(server);
    });
    DWORD exitCode = 99;
    ASSERT_EQ(Launch(Target(), Quoted(Target()) + L" " + Quoted(markers_.a()), &exitCode),
              DWORD{ERROR_SUCCESS});
    breaker.join();
    EXPECT_EQ(received.load(), 522u);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(Exists(markers_.a()));
}

// Serves one query and answers "block" only after `delayMs`.
class LateServer {
  public:
    explicit LateServer(DWORD delayMs) {
        server_ = ::CreateNamedPipeW(realtime::kLaunchPipeName, PIPE_ACCESS_DUPLEX,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096,
                                     4096, 0, nullptr);
        thread_ = std::thread([this, delayMs] {
            if (::ConnectNamedPipe(server_, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED) {
                char buffer[1024];
                DWORD read = 0;
                ::ReadFile(server_, buffer, sizeof buffer, &read, nullptr);
                ::Sleep(delayMs);
                char answer[4];
                realtime::EncodeLaunchAnswer(realtime::kLaunchBlock, answer);
                DWORD written = 0;
                ::WriteFile(server_, answer, sizeof answer, &written, nullptr);
                ::FlushFileBuffers(server_);
            }
        });
    }
    ~LateServer() {
        thread_.join();
        ::CloseHandle(server_);
    }
    bool ok() const { return server_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE server_ = INVALID_HANDLE_VALUE;
    std::thread thread_;
};

TEST_F(UnansweredLaunchTest, NoAnswerWithinTheTimeOutLetsTheLaunchProceed) {
    // The refusal comes after the module stopped waiting: the program ran.
    LateServer late(butils::kAnswerTimeoutMs + 4000);
    ASSERT_TRUE(late.ok());
    DWORD exitCode = 99;
    ASSERT_EQ(Launch(Target(), Quoted(Target()) + L" " + Quoted(markers_.a()), &exitCode),
              DWORD{ERROR_SUCCESS});
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(Exists(markers_.a()));
}

TEST_F(UnansweredLaunchTest, WhileTheProgramAsksTheUserTheModuleWaitsLonger) {
    HANDLE asking = ::CreateEventW(nullptr, TRUE, TRUE, realtime::kLaunchAskingEventName);
    ASSERT_NE(asking, nullptr);
    {
        LateServer late(butils::kAnswerTimeoutMs + 4000);
        ASSERT_TRUE(late.ok());
        EXPECT_EQ(Launch(Target(), Quoted(Target()) + L" " + Quoted(markers_.a())),
                  DWORD{ERROR_ACCESS_DENIED});
    }
    ::CloseHandle(asking);
    EXPECT_FALSE(Exists(markers_.a()));
}

TEST(InjectionTest, InjectReachesARunningProcessAndUninjectTakesItOut) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION waiter{};
    std::wstring commandLine = Quoted(Target()) + L" --wait";
    ASSERT_TRUE(::CreateProcessW(Target().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                 nullptr, nullptr, &startup, &waiter));
    ::WaitForInputIdle(waiter.hProcess, 2000);
    ::Sleep(300);
    EXPECT_EQ(inject::FindRemoteModule(waiter.dwProcessId, Module()), nullptr);

    EXPECT_FALSE(inject::InjectLibraryIntoAllProcesses(-2, Module().c_str(), 7000));
    EXPECT_FALSE(inject::InjectLibraryIntoAllProcesses(-3, (Module() + L".missing").c_str(), 7000));
    inject::InjectLibraryIntoAllProcesses(inject::kAllProcesses, Module().c_str(), 7000);
    EXPECT_NE(inject::FindRemoteModule(waiter.dwProcessId, Module()), nullptr);
    // The caller itself is left out.
    EXPECT_EQ(::GetModuleHandleW(Module().c_str()), nullptr);
    // A second pass does not load it twice.
    inject::InjectLibraryIntoAllProcesses(inject::kAllProcesses, Module().c_str(), 7000);

    EXPECT_TRUE(
        inject::UninjectLibraryFromAllProcesses(inject::kAllProcesses, Module().c_str(), 7000));
    EXPECT_EQ(inject::FindRemoteModule(waiter.dwProcessId, Module()), nullptr);
    // The process survives the unload.
    EXPECT_EQ(::WaitForSingleObject(waiter.hProcess, 0), DWORD{WAIT_TIMEOUT});
    ::TerminateProcess(waiter.hProcess, 0);
    ::CloseHandle(waiter.hThread);
    ::CloseHandle(waiter.hProcess);
}

}  // namespace
