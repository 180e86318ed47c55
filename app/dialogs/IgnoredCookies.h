#pragma once
// The logic of the "Ignored Cookies" window, which lists and edits the
// per-cookie decisions of the cookie shield.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "shields/places/CookieDecisions.h"

namespace app {

// The decisions are the cookie shield's own store.
using shields::CookieDecisionStore;
using shields::kCookieAsk;
using shields::kCookieBlock;
using shields::kCookieDecisionsKey;
using shields::kCookieIgnore;
using shields::RegistryCookieDecisions;

inline constexpr const char* kCookieIgnoredStatus = "Cookie Being Ignored";
inline constexpr const char* kCookieBlockedStatus = "Cookie Being Blocked";
inline constexpr const char* kCookiesIgnoredMessage = "Selected Cookies Ignore";
inline constexpr const char* kCookiesBlockedMessage = "Selected Cookies Blocked";
inline constexpr const char* kCookiesRemovedMessage = "Selected Cookie Data Removed";

// "Cookie Being Ignored", "Cookie Being Blocked", or empty for anything else.
const char* CookieStatusText(std::uint32_t decision);

// The rows of the "Ignored Cookies" window and what its buttons do.
class IgnoredCookiesList {
  public:
    struct Row {
        std::string name;
        std::string status;
        bool checked = false;
    };

    explicit IgnoredCookiesList(CookieDecisionStore& store) : store_(store) {}

    std::vector<Row>& rows() { return rows_; }
    const std::vector<Row>& rows() const { return rows_; }

    // Rebuilds the rows from the store, all unchecked.
    void Refill();
    // "Ignore Checked" and "Block Checked": record the decision for every
    // checked row and refill. Return the message to show.
    std::string_view IgnoreChecked();
    std::string_view BlockChecked();
    // "Remove Selected": forgets every checked row. Returns the message; the
    // window closes afterwards.
    std::string_view RemoveChecked();

  private:
    void RecordChecked(std::uint32_t decision);

    CookieDecisionStore& store_;
    std::vector<Row> rows_;
};

}  // namespace app
