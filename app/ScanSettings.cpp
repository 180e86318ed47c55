#include "app/ScanSettings.h"

#include "registry/RegistryHelper.h"
#include "settings/Strings.h"

namespace app {

namespace {
constexpr platform::HKey kRoot = platform::kHkeyCurrentUser;
}

ScanSettingsData LoadScanSettings(platform::Registry& registry) {
    CRegistryHelper helper(registry);
    ScanSettingsData data;
    data.smartScan = helper.QueryDword(kRoot, settings::strings::kSettingsKey, "scantype", 0) != 0;
    data.includeSubfolders =
        helper.QueryDword(kRoot, settings::strings::kSettingsKey, "sbfolders", 0) != 0;
    data.includeZipFiles =
        helper.QueryDword(kRoot, settings::strings::kSettingsKey, "zipfiles", 0) != 0;
    return data;
}

bool SaveScanSettings(platform::Registry& registry, const ScanSettingsData& data) {
    CRegistryHelper helper(registry);
    bool ok =
        helper.SetDword(kRoot, settings::strings::kSettingsKey, "scantype", data.smartScan ? 1 : 0);
    ok = helper.SetDword(kRoot, settings::strings::kSettingsKey, "sbfolders",
                         data.includeSubfolders ? 1 : 0) &&
         ok;
    ok = helper.SetDword(kRoot, settings::strings::kSettingsKey, "zipfiles",
                         data.includeZipFiles ? 1 : 0) &&
         ok;
    return ok;
}

}  // namespace app
