// `CRealTimeFilter` under Wine: queries over the real queue reach the owner
// window as WM_EXE_LAUNCH_PROMPT, and the window's result is the answer.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "realtime/LaunchMessage.h"
#include "realtime/win32/RealTimeFilter.h"
#include "settings/Messages.h"

namespace {

std::atomic<LRESULT> g_result{1};
std::string g_caller;
std::string g_executable;
int g_prompts = 0;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == app::WM_EXE_LAUNCH_PROMPT) {
        ++g_prompts;
        g_caller = reinterpret_cast<const char*>(wParam);
        g_executable = reinterpret_cast<const char*>(lParam);
        return g_result.load();
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeOwner() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OwnerProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"BxRealTimeFilterTestOwner";
    ::RegisterClassW(&windowClass);
    return ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                             nullptr, windowClass.hInstance, nullptr);
}

// Sends one query over the queue from another thread while this thread
// takes the sent messages; the answer's bytes, or -1 without one.
int Transact(const void* message, DWORD size) {
    std::atomic<bool> done{false};
    int answer = -1;
    std::thread client([&] {
        ::WaitNamedPipeW(realtime::kLaunchPipeName, 2000);
        HANDLE pipe = ::CreateFileW(realtime::kLaunchPipeName, GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            ::SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
            char reply[8] = {};
            DWORD got = 0;
            if (::TransactNamedPipe(pipe, const_cast<void*>(message), size, reply, sizeof reply,
                                    &got, nullptr) &&
                got == 4) {
                std::int32_t value = 0;
                std::memcpy(&value, reply, sizeof value);
                answer = value;
            }
            ::CloseHandle(pipe);
        }
        done = true;
    });
    while (!done.load()) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&msg);
    }
    client.join();
    return answer;
}

class RealTimeFilterTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        owner_ = MakeOwner();
        filter_ = std::make_unique<realtime::CRealTimeFilter>();
        ASSERT_TRUE(filter_->CreateQueue(owner_));
    }
    static void TearDownTestSuite() {
        filter_.reset();
        ::DestroyWindow(owner_);
    }
    void SetUp() override {
        g_result = 1;
        g_prompts = 0;
        g_caller.clear();
        g_executable.clear();
    }
    static inline HWND owner_ = nullptr;
    static inline std::unique_ptr<realtime::CRealTimeFilter> filter_;
};

TEST_F(RealTimeFilterTest, TheWindowDecidesAndOnlyAResultOfOneAllows) {
    realtime::LaunchMessageBytes message;
    ASSERT_TRUE(
        realtime::EncodeLaunchMessage("\"C:\\Tools\\caller.exe\"", "C:\\Tools\\x.exe", &message));
    EXPECT_EQ(Transact(message.data(), message.size()), 1);
    EXPECT_EQ(g_prompts, 1);
    EXPECT_EQ(g_caller, "\"C:\\Tools\\caller.exe\"");
    EXPECT_EQ(g_executable, "C:\\Tools\\x.exe");

    g_result = 0;
    EXPECT_EQ(Transact(message.data(), message.size()), 0);
    // Anything but exactly 1 blocks.
    g_result = 7;
    EXPECT_EQ(Transact(message.data(), message.size()), 0);
    EXPECT_EQ(g_prompts, 3);
}

TEST_F(RealTimeFilterTest, AMalformedQueryIsAllowedWithoutReachingTheWindow) {
    g_result = 0;
    realtime::LaunchMessageBytes message;
    message.fill('x');  // no terminators
    EXPECT_EQ(Transact(message.data(), message.size()), 1);
    EXPECT_EQ(Transact(message.data(), 300), 1);

    // Called directly: an answer buffer too small for an answer is left
    // alone.
    ASSERT_TRUE(realtime::EncodeLaunchMessage("a", "b", &message));
    char small[3] = {'k', 'k', 'k'};
    realtime::OnLaunchQuery(L"BrindlexRealTimeQueue", message.data(), 522, small, 3);
    EXPECT_EQ(std::string(small, 3), "kkk");
    EXPECT_EQ(g_prompts, 0);
}

TEST_F(RealTimeFilterTest, TheAskingEventStaysSetUntilTheLastAlertIsAnswered) {
    HANDLE asking = ::OpenEventW(SYNCHRONIZE, FALSE, realtime::kLaunchAskingEventName);
    ASSERT_NE(asking, nullptr);
    auto isSet = [&] { return ::WaitForSingleObject(asking, 0) == WAIT_OBJECT_0; };
    EXPECT_FALSE(isSet());
    filter_->SetAskingUser(true);
    filter_->SetAskingUser(true);
    filter_->SetAskingUser(false);
    EXPECT_TRUE(isSet());
    filter_->SetAskingUser(false);
    EXPECT_FALSE(isSet());
    ::CloseHandle(asking);
}

}  // namespace
