#include "app/SystemInfo.h"

namespace app {

namespace {

std::string NineXName(std::uint32_t minor) {
    if (minor < 10)
        return "Windows 95";
    if (minor < 90)
        return "Windows 98";
    return "Windows ME";
}

// The edition suffix of the NT-family names up to XP.
const char* EditionSuffix(const VersionNumbers& v) {
    if (v.productType == kProductWorkstation) {
        if (v.major <= 4)
            return " Workstation";
        if ((v.suiteMask & kSuitePersonal) != 0)
            return " Home Edition";
        // 2000 is "Professional"; XP's editions are named "Home Edition" and
        // "Professional Edition".
        return (v.major == 5 && v.minor == 0) ? " Professional" : " Professional Edition";
    }
    if (v.productType == kProductDomainController)
        return " Domain Controller";
    if ((v.suiteMask & kSuiteDataCenter) != 0)
        return " DataCenter";
    if ((v.suiteMask & kSuiteEnterprise) != 0)
        return " Advanced";
    if ((v.suiteMask & kSuiteBackOffice) != 0)
        return " BackOffice";
    if ((v.suiteMask & kSuiteTerminal) != 0)
        return " Terminal";
    return " Server";
}

std::string Server10Name(std::uint32_t build) {
    if (build >= 26100)
        return "Windows Server 2025";
    if (build >= 20348)
        return "Windows Server 2022";
    if (build >= 17763)
        return "Windows Server 2019";
    return "Windows Server 2016";
}

// Vista and later: one name per version, server and client apart.
std::string ModernName(const VersionNumbers& v) {
    bool server = v.productType != kProductWorkstation;
    if (v.major == 6) {
        switch (v.minor) {
            case 0:
                return server ? "Windows Server 2008" : "Windows Vista";
            case 1:
                return server ? "Windows Server 2008 R2" : "Windows 7";
            case 2:
                return server ? "Windows Server 2012" : "Windows 8";
            default:
                return server ? "Windows Server 2012 R2" : "Windows 8.1";
        }
    }
    if (server)
        return Server10Name(v.build);
    // Windows 11 kept the version number 10.0; only the build tells.
    return v.build >= 22000 ? "Windows 11" : "Windows 10";
}

}  // namespace

std::string WindowsVersionName(const VersionNumbers& v) {
    if (v.platformId == kPlatformWindows && v.major == 4)
        return NineXName(v.minor);
    if (v.platformId != kPlatformNt || v.major < 4)
        return "Windows";
    if (v.major >= 6)
        return ModernName(v);

    std::string name;
    if (v.major == 4) {
        name = "Windows NT 4.0";
    } else if (v.minor == 0) {
        name = "Windows 2000";
    } else if (v.minor == 1 || v.productType == kProductWorkstation) {
        // 5.2 as a workstation is the 64-bit XP.
        name = "Windows XP";
    } else {
        return "Windows Server 2003";
    }
    return name + EditionSuffix(v);
}

bool IsXP(std::string_view versionName) {
    return versionName.find("XP") != std::string_view::npos;
}

}  // namespace app
