#pragma once
// The Windows version name, from the numbers the system reports. The inputs
// are a plain record so the rule can be checked without the system; the
// Win32 layer fills it from RtlGetVersion (GetVersionEx reports 6.2 on newer
// systems to programs without a compatibility manifest).
#include <cstdint>
#include <string>
#include <string_view>

namespace app {

// dwPlatformId values.
inline constexpr std::uint32_t kPlatformWin32s = 0;
inline constexpr std::uint32_t kPlatformWindows = 1;  // 95, 98, ME
inline constexpr std::uint32_t kPlatformNt = 2;

// wProductType values.
inline constexpr std::uint8_t kProductWorkstation = 1;
inline constexpr std::uint8_t kProductDomainController = 2;
inline constexpr std::uint8_t kProductServer = 3;

// wSuiteMask bits the name looks at.
inline constexpr std::uint16_t kSuiteEnterprise = 0x0002;
inline constexpr std::uint16_t kSuiteBackOffice = 0x0004;
inline constexpr std::uint16_t kSuiteTerminal = 0x0010;
inline constexpr std::uint16_t kSuiteDataCenter = 0x0080;
inline constexpr std::uint16_t kSuitePersonal = 0x0200;

struct VersionNumbers {
    std::uint32_t platformId = kPlatformNt;
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::uint8_t productType = kProductWorkstation;
    std::uint16_t suiteMask = 0;
};

// "Windows 95", "Windows 98", "Windows ME", "Windows NT 4.0", "Windows 2000"
// or "Windows XP"; the NT-family names up to XP carry an edition suffix from
// the product type and suite mask (" Home Edition", " Professional",
// " Server", " Domain Controller" ...). Newer systems get their own names
// ("Windows Vista", "Windows 7", "Windows 10", "Windows 11", "Windows Server
// 2019" ...) without a suffix: their editions are not told apart by these
// numbers. Anything unrecognised is plain "Windows".
std::string WindowsVersionName(const VersionNumbers& version);

// The isXP flag of the application: the name contains "XP".
bool IsXP(std::string_view versionName);

}  // namespace app
