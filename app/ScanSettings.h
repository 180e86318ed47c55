#pragma once
// The Scan Settings dialog (dialog 133, `CScanSettingsDialog`) without its
// window: the three REG_DWORD scan options and the dialog's texts.
#include <cstdint>

#include "platform/Registry.h"

namespace app {

namespace scan_settings_dialog {
inline constexpr const char* kCaption = "Scan Settings";
inline constexpr int kSmartScanRadio = 1002;   // "Smart System Scan"
inline constexpr int kFullScanRadio = 1003;    // "Full System Scan"
inline constexpr int kSubfoldersCheck = 1004;  // "Include Subfolders in Files/Folders scan"
inline constexpr int kZipFilesCheck = 1012;    // "Include zip files in scan"
inline constexpr int kIntroText = 1077;
inline constexpr int kWarningText = 1005;  // painted in kWarningColour
inline constexpr std::uint32_t kWarningColour = 0x0000FF;

inline constexpr const char* kIntro =
    "The settings below affect how Brindlex will scan your PC. A Smart System scan is recommended "
    "when you use Brindlex on a weekly basis for instance, while a Full System Scan is ideal for a "
    "complete system scan and cleaning.";
inline constexpr const char* kWarning =
    "Please note that a full system scan can take quite a long time depending on your system "
    "configuration.";
}  // namespace scan_settings_dialog

struct ScanSettingsData {
    bool smartScan = false;          // "scantype" nonzero
    bool includeSubfolders = false;  // "sbfolders" nonzero
    bool includeZipFiles = false;    // "zipfiles" nonzero
};

// Reads "scantype", "sbfolders" and "zipfiles" (0 when absent).
ScanSettingsData LoadScanSettings(platform::Registry& registry);
// OK: writes "scantype" 1 (smart) or 0 (full), "sbfolders" and "zipfiles"
// 1 or 0, all REG_DWORD. False when any write failed.
bool SaveScanSettings(platform::Registry& registry, const ScanSettingsData& data);

}  // namespace app
