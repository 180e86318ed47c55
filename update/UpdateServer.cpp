#include "update/UpdateServer.h"

#include "platform/Text.h"
#include "settings/Strings.h"

namespace update {

UpdateAddresses AddressesFor(std::string_view base) {
    base = text::Trim(base);
    if (base.empty()) {
        // The definitions folder is the page's own folder.
        std::string page = settings::strings::kUpdatePageAddress;
        return {page, page.substr(0, page.rfind('/'))};
    }
    while (!base.empty() && base.back() == '/')
        base.remove_suffix(1);
    std::string definitions = std::string(base) + "/" + kDefinitionsFolder;
    return {definitions + "/" + kUpdatePageName, definitions};
}

UpdateAddresses ConfiguredAddresses(const settings::SettingsStore& settings,
                                    std::string_view overrideBase) {
    if (!text::Trim(overrideBase).empty())
        return AddressesFor(overrideBase);
    std::string configured;
    if (settings.GetSetting(kServerSetting, &configured))
        return AddressesFor(configured);
    return AddressesFor({});
}

}  // namespace update
