// bxprobe.exe: looks at the top-level windows of other processes for the
// scripts that run brindlex.exe itself. Exit code 0 means yes/done, 1 no or
// timed out, 2 a usage error.
//   bxprobe wait TITLE [MS]       a window titled TITLE exists
//   bxprobe gone TITLE [MS]       no window titled TITLE exists
//   bxprobe visible TITLE [MS]    it is visible
//   bxprobe hidden TITLE [MS]     it exists and is hidden
//   bxprobe foreground TITLE [MS] it is the foreground window
//   bxprobe count TITLE           prints how many there are
//   bxprobe shown PROGRAM.exe [MS] a visible window of a process of that name
//   bxprobe tray-shield           prints how many pixels of the tray show the shield
//   bxprobe command TITLE ID      posts WM_COMMAND ID to it
//   bxprobe text TITLE ID         prints the text of its control ID
//   bxprobe check TITLE ID        ticks its check box ID
//   bxprobe shot TITLE FILE       writes its picture as PNG ("-" for the desktop)
//   bxprobe click TITLE ID        clicks its button ID (BM_CLICK)
//   bxprobe responsive TITLE MS   it answers a message within MS
//   bxprobe burst ROOT PATH COUNT DISTINCT
//                                 COUNT value writes into the key, cycling over
//                                 DISTINCT values "burstN" = "C:\burst\N.exe";
//                                 prints the milliseconds taken
//   bxprobe latency TITLE ROOT PATH NAME DATA MS
//                                 writes the value, then prints the milliseconds
//                                 until a visible window titled TITLE exists
// ROOT is HKCU or HKLM.
#include "platform/win32/Windows.h"

#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"
#include "ui/Screenshot.h"

namespace {

std::vector<HWND> WindowsTitled(const std::wstring& title) {
    struct Search {
        const std::wstring* title;
        std::vector<HWND> found;
    } search{&title, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t text[512] = {};
            GetWindowTextW(window, text, 512);
            if (*s->title == text)
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WindowTitled(const std::wstring& title) {
    std::vector<HWND> found = WindowsTitled(title);
    return found.empty() ? nullptr : found.front();
}

// The file name of the executable of the process that owns `window`.
std::wstring ProgramOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    platform::win32::UniqueKernelHandle process{
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id)};
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!process || !QueryFullProcessImageNameW(process.Get(), 0, path, &size))
        return {};
    std::wstring full(path, size);
    return full.substr(full.find_last_of(L'\\') + 1);
}

bool ProgramShowsWindow(const std::wstring& program) {
    struct Search {
        const std::wstring* program;
        bool found = false;
    } search{&program};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (IsWindowVisible(window) &&
                _wcsicmp(ProgramOf(window).c_str(), s->program->c_str()) == 0) {
                s->found = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done())
            return true;
        if (GetTickCount64() > deadline)
            return false;
        Sleep(50);
    }
}

// Pixels of the program's teal shield in the taskbar's right half: the
// notification area. Wine draws its icons there without a window each.
int CountShieldPixelsInTray() {
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT rect{};
    if (tray == nullptr || !GetWindowRect(tray, &rect))
        return -1;
    rect.left += (rect.right - rect.left) / 2;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return -1;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    int count = 0;
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        const auto* pixels = static_cast<const unsigned char*>(bits);
        for (int i = 0; i < width * height; ++i) {
            const int b = pixels[i * 4];
            const int g = pixels[i * 4 + 1];
            const int r = pixels[i * 4 + 2];
            // The shield's bright teal; the desktop's blue is darker.
            if (g > 140 && b > 130 && r < 90 && g - b < 40 && b - g < 40)
                ++count;
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return count;
}

HKEY RootNamed(const std::wstring& name) {
    if (name == L"HKCU")
        return HKEY_CURRENT_USER;
    if (name == L"HKLM")
        return HKEY_LOCAL_MACHINE;
    return nullptr;
}

bool WriteString(HKEY key, const std::wstring& name, const std::wstring& data) {
    return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

HKEY CreateKey(const std::wstring& root, const std::wstring& path) {
    HKEY top = RootNamed(root);
    HKEY key = nullptr;
    if (top == nullptr || RegCreateKeyExW(top, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                          &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

int Burst(const std::wstring& root, const std::wstring& path, unsigned count, unsigned distinct) {
    HKEY key = CreateKey(root, path);
    if (key == nullptr || distinct == 0)
        return 1;
    const ULONGLONG start = GetTickCount64();
    bool ok = true;
    for (unsigned i = 0; i < count && ok; ++i) {
        const std::wstring n = std::to_wstring(i % distinct);
        ok = WriteString(key, L"burst" + n, L"C:\\burst\\" + n + L".exe");
    }
    RegCloseKey(key);
    std::printf("%llu\n", GetTickCount64() - start);
    return ok ? 0 : 1;
}

int Latency(const std::wstring& title, const std::wstring& root, const std::wstring& path,
            const std::wstring& name, const std::wstring& data, DWORD timeoutMs) {
    HKEY key = CreateKey(root, path);
    if (key == nullptr)
        return 1;
    LARGE_INTEGER frequency{}, start{}, now{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const bool written = WriteString(key, name, data);
    RegCloseKey(key);
    if (!written)
        return 1;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!IsWindowVisible(WindowTitled(title))) {
        if (GetTickCount64() > deadline)
            return 1;
        Sleep(1);
    }
    QueryPerformanceCounter(&now);
    std::printf("%.1f\n", 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                              static_cast<double>(frequency.QuadPart));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    const std::wstring command = argv[1];
    if (command == L"tray-shield") {
        std::printf("%d\n", CountShieldPixelsInTray());
        return 0;
    }
    if (argc < 3)
        return 2;
    if (command == L"burst") {
        return argc > 5 ? Burst(argv[2], argv[3],
                                static_cast<unsigned>(std::wcstoul(argv[4], nullptr, 10)),
                                static_cast<unsigned>(std::wcstoul(argv[5], nullptr, 10)))
                        : 2;
    }
    if (command == L"latency") {
        return argc > 7 ? Latency(argv[2], argv[3], argv[4], argv[5], argv[6],
                                  static_cast<DWORD>(std::wcstoul(argv[7], nullptr, 10)))
                        : 2;
    }
    const std::wstring title = argv[2];
    const DWORD timeout = argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 0;
    if (command == L"wait")
        return WaitFor([&] { return WindowTitled(title) != nullptr; }, timeout) ? 0 : 1;
    if (command == L"gone")
        return WaitFor([&] { return WindowTitled(title) == nullptr; }, timeout) ? 0 : 1;
    if (command == L"visible") {
        return WaitFor([&] { return IsWindowVisible(WindowTitled(title)) != FALSE; }, timeout) ? 0
                                                                                               : 1;
    }
    if (command == L"hidden") {
        return WaitFor(
                   [&] {
                       HWND window = WindowTitled(title);
                       return window != nullptr && !IsWindowVisible(window);
                   },
                   timeout)
                   ? 0
                   : 1;
    }
    if (command == L"foreground") {
        return WaitFor(
                   [&] {
                       HWND window = WindowTitled(title);
                       return window != nullptr && GetForegroundWindow() == window;
                   },
                   timeout)
                   ? 0
                   : 1;
    }
    if (command == L"shown")
        return WaitFor([&] { return ProgramShowsWindow(title); }, timeout) ? 0 : 1;
    if (command == L"count") {
        std::printf("%u\n", static_cast<unsigned>(WindowsTitled(title).size()));
        return 0;
    }
    if (command == L"command" && argc > 3) {
        HWND window = WindowTitled(title);
        return window != nullptr &&
                       PostMessageW(window, WM_COMMAND, std::wcstoul(argv[3], nullptr, 10), 0)
                   ? 0
                   : 1;
    }
    if ((command == L"text" || command == L"check") && argc > 3) {
        HWND window = WindowTitled(title);
        HWND control =
            window != nullptr
                ? GetDlgItem(window, static_cast<int>(std::wcstoul(argv[3], nullptr, 10)))
                : nullptr;
        if (control == nullptr)
            return 1;
        if (command == L"check")
            return SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0) == 0 ? 0 : 1;
        // WM_GETTEXT itself: GetWindowText does not ask a control of another
        // process (an edit box) for its text.
        wchar_t text[4096] = {};
        DWORD_PTR copied = 0;
        if (SendMessageTimeoutW(control, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text),
                                SMTO_ABORTIFHUNG, 5000, &copied) == 0)
            return 1;
        std::printf("%s\n", platform::win32::Narrow(text).c_str());
        return 0;
    }
    if (command == L"click" && argc > 3) {
        HWND control =
            GetDlgItem(WindowTitled(title), static_cast<int>(std::wcstol(argv[3], nullptr, 10)));
        DWORD_PTR answer = 0;
        return control != nullptr && SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG,
                                                         5000, &answer) != 0
                   ? 0
                   : 1;
    }
    if (command == L"responsive") {
        HWND window = WindowTitled(title);
        DWORD_PTR answer = 0;
        return window != nullptr && SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                                        timeout, &answer) != 0
                   ? 0
                   : 1;
    }
    if (command == L"shot" && argc > 3) {
        HWND window = title == L"-" ? GetDesktopWindow() : WindowTitled(title);
        return window != nullptr && ui::SaveWindowPng(window, platform::win32::Narrow(argv[3])) ? 0
                                                                                                : 1;
    }
    return 2;
}
