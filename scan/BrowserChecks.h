#pragma once
// The smart scan's browser step: the Chromium-family policy values and the
// Firefox preference lines that set start pages, search providers and forced
// extensions, each reported under the entry that names it or else under the
// built-in browser-policy entry.
#include "scan/ScanContext.h"

namespace scan {

inline constexpr const char* kBrowserSettingsText = "Scanning Browser Settings : ";

void CheckBrowserSettings(ScanContext& context);

}  // namespace scan
