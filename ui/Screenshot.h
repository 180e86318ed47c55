#pragma once
// Pictures of the program's windows for the test artifacts.
#include <string>
#include <string_view>

#include "platform/win32/Windows.h"

namespace ui {

// Writes what `window` shows (frame included) as a 24-bit PNG; false when
// the window cannot be captured or the file cannot be written.
bool SaveWindowPng(HWND window, const std::string& path);

// The folder named by BX_SCREENSHOT_DIR (made when missing; the current
// folder without it) + `name` + ".png".
std::string ScreenshotPath(std::string_view name);

}  // namespace ui
