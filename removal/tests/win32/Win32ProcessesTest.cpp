// The window and process operations the removal command uses, against the
// real system: a window of this test's own class leads to this process.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/win32/Win32Processes.h"
#include "platform/win32/Windows.h"

namespace {

constexpr wchar_t kClassName[] = L"BrindlexRemovalTestWindow";

TEST(Win32Processes, FindsTheProcessOfAWindowByItsClass) {
    platform::win32::Win32Processes processes;
    std::uint32_t processId = 0;
    EXPECT_FALSE(processes.FindWindowProcess("BrindlexRemovalTestWindow", &processId));

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    ASSERT_NE(::RegisterClassW(&windowClass), 0);
    HWND window = ::CreateWindowExW(0, kClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                    nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(processes.FindWindowProcess("BrindlexRemovalTestWindow", &processId));
    EXPECT_EQ(processId, ::GetCurrentProcessId());
    ::DestroyWindow(window);
    ::UnregisterClassW(kClassName, windowClass.hInstance);
    EXPECT_FALSE(processes.FindWindowProcess("BrindlexRemovalTestWindow", &processId));
}

TEST(Win32Processes, ANonexistentProcessIsNotTerminated) {
    platform::win32::Win32Processes processes;
    // Process identifiers are multiples of 4; this one is never handed out.
    EXPECT_FALSE(processes.TerminateProcess(0xFFFFFFFDu, 0));
}

}  // namespace
