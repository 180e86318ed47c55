#pragma once
// Texts of the program's string table that the portable logic needs. The
// Windows resource script carries the same entries under these identifiers.

namespace app::strings {

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

}  // namespace app::strings
