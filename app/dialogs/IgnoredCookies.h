#pragma once
// The per-cookie decisions of the cookie shield and the logic of the
// "Ignored Cookies" window that lists and edits them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace app {

// One REG_DWORD per cookie name under the settings key's subkey "Cookies".
inline constexpr const char* kCookieDecisionsKey = "Software\\Brindlex5\\Cookies";
inline constexpr std::uint32_t kCookieAsk = 0;
inline constexpr std::uint32_t kCookieBlock = 1;   // delete without asking
inline constexpr std::uint32_t kCookieIgnore = 2;  // keep without asking

inline constexpr const char* kCookieIgnoredStatus = "Cookie Being Ignored";
inline constexpr const char* kCookieBlockedStatus = "Cookie Being Blocked";
inline constexpr const char* kCookiesIgnoredMessage = "Selected Cookies Ignore";
inline constexpr const char* kCookiesBlockedMessage = "Selected Cookies Blocked";
inline constexpr const char* kCookiesRemovedMessage = "Selected Cookie Data Removed";

// Where the decisions are kept. The cookie shield and the window share it.
class CookieDecisionStore {
  public:
    struct Entry {
        std::string name;
        std::uint32_t decision = kCookieAsk;
    };
    virtual ~CookieDecisionStore() = default;
    // Every recorded cookie in storage order; empty when nothing was ever
    // recorded.
    virtual std::vector<Entry> List() = 0;
    virtual bool Record(std::string_view name, std::uint32_t decision) = 0;
    // The cookie is asked about again.
    virtual bool Forget(std::string_view name) = 0;
};

// The decisions in the registry. A value that is not a REG_DWORD counts as
// no decision (ask).
class RegistryCookieDecisions : public CookieDecisionStore {
  public:
    explicit RegistryCookieDecisions(platform::Registry& registry) : registry_(registry) {}
    std::vector<Entry> List() override;
    bool Record(std::string_view name, std::uint32_t decision) override;
    bool Forget(std::string_view name) override;

  private:
    platform::Registry& registry_;
};

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
