#include "ui/Screenshot.h"

#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/win32/WideText.h"
#include "ui/PngWriter.h"

namespace ui {

using platform::win32::Narrow;
using platform::win32::Widen;

namespace {

// The pixels of `rect` on the screen, or of the window printed into a
// bitmap when it is not on the screen.
bool CaptureWindow(HWND window, std::vector<std::uint8_t>* rgb, int* width, int* height) {
    RECT rect{};
    if (!GetWindowRect(window, &rect))
        return false;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    if (*width <= 0 || *height <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = *width;
    info.bmiHeader.biHeight = -*height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool captured = false;
    if (bitmap != nullptr && memory != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (IsWindowVisible(window)) {
            // The screen shows the window as the user sees it, children and
            // themed frame included, which WM_PRINT does not always paint.
            // It is not repainted here: Wine hands a window's pixels to the
            // display a little after painting, so the caller paints and lets
            // messages run first.
            captured = BitBlt(memory, 0, 0, *width, *height, screen, rect.left, rect.top,
                              SRCCOPY) != FALSE;
        } else {
            captured = PrintWindow(window, memory, 0) != FALSE;
        }
        GdiFlush();
        SelectObject(memory, old);
        if (captured) {
            const auto* pixels = static_cast<const std::uint8_t*>(bits);
            std::size_t count =
                static_cast<std::size_t>(*width) * static_cast<std::size_t>(*height);
            rgb->resize(count * 3);
            for (std::size_t i = 0; i < count; ++i) {
                (*rgb)[i * 3] = pixels[i * 4 + 2];
                (*rgb)[i * 3 + 1] = pixels[i * 4 + 1];
                (*rgb)[i * 3 + 2] = pixels[i * 4];
            }
        }
    }
    if (bitmap != nullptr)
        DeleteObject(bitmap);
    if (memory != nullptr)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return captured;
}

}  // namespace

bool SaveWindowPng(HWND window, const std::string& path) {
    std::vector<std::uint8_t> rgb;
    int width = 0;
    int height = 0;
    if (window == nullptr || !CaptureWindow(window, &rgb, &width, &height))
        return false;
    std::string png =
        EncodePng(rgb, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    if (png.empty())
        return false;
    std::ofstream out(std::filesystem::path(Widen(path)), std::ios::binary | std::ios::trunc);
    out.write(png.data(), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(out);
}

std::string ScreenshotPath(std::string_view name) {
    wchar_t folder[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(L"BX_SCREENSHOT_DIR", folder, MAX_PATH);
    std::string file = std::string(name) + ".png";
    if (length == 0 || length >= MAX_PATH)
        return file;
    // Makes every missing folder on the way; an existing folder is fine.
    SHCreateDirectoryExW(nullptr, folder, nullptr);
    std::string base = Narrow(std::wstring_view(folder, length));
    if (!base.empty() && base.back() != '\\' && base.back() != '/')
        base += '\\';
    return base + file;
}

}  // namespace ui
