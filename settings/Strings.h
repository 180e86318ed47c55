#pragma once
// Texts of the program's string table that the portable logic needs. The
// Windows resource script carries the same entries under these identifiers.

namespace settings::strings {

inline constexpr int kIdsAboutBox = 101;
inline constexpr int kIdsDefaultReferenceFile = 102;
inline constexpr int kIdsUpdatePageAddress = 103;
inline constexpr int kIdsSettingsKey = 32802;
inline constexpr int kIdsSettingsKeyName = 32803;

inline constexpr const char* kDefaultReferenceFile = "brindlex4_010907.bx";
// Entry 103: the update page. No public update server exists, so the default
// host lies under the reserved ".invalid" domain; the "updsrv" setting names
// a real one.
inline constexpr const char* kUpdatePageAddress =
    "https://update.brindlex.invalid/def/def_zip.html";
inline constexpr const char* kSettingsKey = "Software\\Brindlex5";
inline constexpr const char* kSettingsKeyName = "Brindlex5";
inline constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunEntryName = "Brindlex5";
inline constexpr const char* kBrowserMainKey = "Software\\Microsoft\\Internet Explorer\\Main";

// The search page that replaces a browser search page of no known portal.
inline constexpr const char* kDefaultSearchPage = "https://search.brindlex.invalid/";

// Entry 101: the system menu's item for the About box.
inline constexpr const char* kAboutMenuText = "&About Brindlex...";

inline constexpr int kIdsMinimizeNotice = 32796;
inline constexpr int kIdsScheduledExitQuestion = 32797;
inline constexpr int kIdsShieldsExitQuestion = 32798;
inline constexpr int kIdsReferenceNotFound = 32799;

// Entry 32796: the notice of dialog 228 when the window goes to the tray.
inline constexpr const char* kMinimizeNotice =
    "Brindlex keeps running in the system tray so that your shields and scheduled scans stay "
    "active.\n\nTo open Brindlex again, double-click its icon in the system tray. To close it "
    "completely, right-click the icon and choose Exit.";
// Entry 32797: the tray's Exit while a scan is scheduled (OK/Cancel); "%s"
// is replaced by the next scan's time.
inline constexpr const char* kScheduledExitQuestion =
    "A scan is scheduled for %s. It will not run if Brindlex is closed.\n\nPress OK to exit "
    "anyway, or Cancel to keep Brindlex running.";
// Entry 32798: the tray's Exit while a shield is on (Yes/No).
inline constexpr const char* kShieldsExitQuestion =
    "Your shields are on. Once Brindlex is closed, changes that unwanted programs make to your "
    "computer are no longer caught.\n\nDo you want to exit anyway?";
inline constexpr const char* kReferenceNotFoundQuestion =
    "Reference file was not found at the location specified.  Would you like our software to "
    "retrieve the latest file from our update server?";

}  // namespace settings::strings
