#include "app/win32/SystemInfo.h"

#include "platform/win32/Windows.h"

#include <psapi.h>

#include <cstdio>

#include "app/SystemInfo.h"
#include "platform/win32/WideText.h"
#include "registry/RegistryHelper.h"

namespace app {
namespace {

using platform::win32::Narrow;

// RtlGetVersion tells the truth where GetVersionEx answers 6.2 to programs
// that do not declare the newer systems.
VersionNumbers ReadVersion() {
    VersionNumbers numbers;
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto rtlGetVersion = ntdll != nullptr
                             ? reinterpret_cast<RtlGetVersionFunction>(
                                   reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                             : nullptr;
    if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0)
        return numbers;
    numbers.platformId = info.dwPlatformId;
    numbers.major = info.dwMajorVersion;
    numbers.minor = info.dwMinorVersion;
    numbers.build = info.dwBuildNumber;
    numbers.productType = info.wProductType;
    numbers.suiteMask = info.wSuiteMask;
    return numbers;
}

std::optional<ProcessMemory> ReadProcessMemory() {
    using GetProcessMemoryInfoFunction = BOOL(WINAPI*)(HANDLE, PROCESS_MEMORY_COUNTERS*, DWORD);
    HMODULE psapi = LoadLibraryW(L"psapi.dll");
    if (psapi == nullptr)
        return std::nullopt;
    auto getInfo = reinterpret_cast<GetProcessMemoryInfoFunction>(
        reinterpret_cast<void*>(GetProcAddress(psapi, "GetProcessMemoryInfo")));
    std::optional<ProcessMemory> memory;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (getInfo != nullptr && getInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
        memory = ProcessMemory{counters.WorkingSetSize, counters.PeakWorkingSetSize,
                               counters.PagefileUsage};
    }
    FreeLibrary(psapi);
    return memory;
}

bool InAdministratorsGroup() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators))
        return false;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member))
        member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

std::string UserName() {
    wchar_t name[257] = {};
    DWORD size = 257;
    if (!GetUserNameW(name, &size))
        return {};
    return Narrow(name);
}

}  // namespace

void CSystemInfo::Gather(platform::System& system) {
    versionName = WindowsVersionName(ReadVersion());
    memory = ReadProcessMemory();
    SYSTEM_INFO systemInfo{};
    GetSystemInfo(&systemInfo);
    processorCount = systemInfo.dwNumberOfProcessors;

    CRegistryHelper registry(system.registry);
    const char* cpuKey = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
    processorIdentifier =
        registry.QueryString(platform::kHkeyLocalMachine, cpuKey, "Identifier", "");
    processorVendor =
        registry.QueryString(platform::kHkeyLocalMachine, cpuKey, "VendorIdentifier", "");
    processorName =
        registry.QueryString(platform::kHkeyLocalMachine, cpuKey, "ProcessorNameString", "");
    processorMhz = registry.QueryDword(platform::kHkeyLocalMachine, cpuKey, "~MHz", 0);

    std::string browser = registry.QueryString(
        platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Internet Explorer", "Version", "");
    if (std::sscanf(browser.c_str(), "%d.%d.%d.%d", &browserVersion[0], &browserVersion[1],
                    &browserVersion[2], &browserVersion[3]) <= 0) {
        browserVersion[0] = browserVersion[1] = browserVersion[2] = browserVersion[3] = 0;
    }
    dataAccessVersion = registry.QueryString(
        platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\DataAccess", "FullInstallVer", "");
    if (dataAccessVersion.empty()) {
        dataAccessVersion = registry.QueryString(platform::kHkeyLocalMachine,
                                                 "SOFTWARE\\Microsoft\\DataAccess", "Version", "");
    }
    isAdministrator = InAdministratorsGroup();
    userName = UserName();
    executablePath = system.processes.ModuleFileName();
}

}  // namespace app
