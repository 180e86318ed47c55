#include "app/dialogs/IgnoredCookies.h"

#include "registry/RegistryHelper.h"
#include "registry/RegistryKey.h"

namespace app {

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

const char* CookieStatusText(std::uint32_t decision) {
    if (decision == kCookieIgnore)
        return kCookieIgnoredStatus;
    if (decision == kCookieBlock)
        return kCookieBlockedStatus;
    return "";
}

void IgnoredCookiesList::Refill() {
    rows_.clear();
    for (CookieDecisionStore::Entry& record : store_.List())
        rows_.push_back({std::move(record.name), CookieStatusText(record.decision), false});
}

void IgnoredCookiesList::RecordChecked(std::uint32_t decision) {
    for (const Row& row : rows_) {
        if (row.checked)
            store_.Record(row.name, decision);
    }
    Refill();
}

std::string_view IgnoredCookiesList::IgnoreChecked() {
    RecordChecked(kCookieIgnore);
    return kCookiesIgnoredMessage;
}

std::string_view IgnoredCookiesList::BlockChecked() {
    RecordChecked(kCookieBlock);
    return kCookiesBlockedMessage;
}

std::string_view IgnoredCookiesList::RemoveChecked() {
    for (const Row& row : rows_) {
        if (row.checked)
            store_.Forget(row.name);
    }
    return kCookiesRemovedMessage;
}

}  // namespace app
