#include "shields/places/CookieDecisions.h"

#include "registry/RegistryHelper.h"
#include "registry/RegistryKey.h"

namespace shields {

std::uint32_t RegistryCookieDecisions::Decision(std::string_view name) {
    platform::ScopedKey key;
    if (platform::ScopedKey::Open(registry_, platform::kHkeyCurrentUser, kCookieDecisionsKey,
                                  platform::kKeyQueryValue, &key) != platform::kSuccess) {
        return kCookieAsk;
    }
    std::uint32_t type = 0;
    std::uint32_t value = 0;
    std::uint32_t size = sizeof value;
    if (registry_.QueryValue(key.get(), name, &type, &value, &size) != platform::kSuccess ||
        type != platform::kRegDword || size != sizeof value) {
        return kCookieAsk;
    }
    return value;
}

std::vector<CookieDecisionStore::Entry> RegistryCookieDecisions::List() {
    std::vector<Entry> records;
    try {
        CRegistryKey key(registry_, platform::kHkeyCurrentUser, kCookieDecisionsKey,
                         platform::kKeyRead);
        for (auto it = key.BeginValueIteration(); it != key.EndValueIteration(); ++it) {
            CRegistryKey::Value value = *it;
            std::uint32_t decision = kCookieAsk;
            if (value.GetType() == platform::kRegDword && value.GetSize() >= 4)
                decision = value.AsDWORD();
            records.push_back({value.GetName(), decision});
        }
    } catch (const CRegistryKey::Exception&) {
        // No "Cookies" key yet (nothing was ever decided), or it went away
        // while being listed: what was read so far is the list.
    }
    return records;
}

bool RegistryCookieDecisions::Record(std::string_view name, std::uint32_t decision) {
    return CRegistryHelper(registry_).SetDword(platform::kHkeyCurrentUser, kCookieDecisionsKey,
                                               name, decision);
}

bool RegistryCookieDecisions::Forget(std::string_view name) {
    return CRegistryHelper(registry_).DeleteValue(platform::kHkeyCurrentUser, kCookieDecisionsKey,
                                                  name) == platform::kSuccess;
}

}  // namespace shields
