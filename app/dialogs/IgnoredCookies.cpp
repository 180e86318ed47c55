#include "app/dialogs/IgnoredCookies.h"

namespace app {

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
