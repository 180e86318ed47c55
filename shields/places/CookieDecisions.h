#pragma once
// The per-cookie decisions of the cookie shield: one REG_DWORD per cookie
// name under the settings key's subkey "Cookies". The shield reads and
// records them; the "Ignored Cookies" window lists and edits the same ones.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace shields {

inline constexpr const char* kCookieDecisionsKey = "Software\\Brindlex5\\Cookies";
inline constexpr std::uint32_t kCookieAsk = 0;
inline constexpr std::uint32_t kCookieBlock = 1;   // delete without asking
inline constexpr std::uint32_t kCookieIgnore = 2;  // keep without asking

class CookieDecisionStore {
  public:
    struct Entry {
        std::string name;
        std::uint32_t decision = kCookieAsk;
    };
    virtual ~CookieDecisionStore() = default;
    // The decision for one cookie name (any case); kCookieAsk when none.
    virtual std::uint32_t Decision(std::string_view name) = 0;
    // Every recorded cookie in storage order; empty when nothing was ever
    // recorded.
    virtual std::vector<Entry> List() = 0;
    // Creates the subkey when it is missing.
    virtual bool Record(std::string_view name, std::uint32_t decision) = 0;
    // The cookie is asked about again.
    virtual bool Forget(std::string_view name) = 0;
};

// The decisions in the registry. A value that is not a REG_DWORD counts as
// no decision (ask).
class RegistryCookieDecisions : public CookieDecisionStore {
  public:
    explicit RegistryCookieDecisions(platform::Registry& registry) : registry_(registry) {}
    std::uint32_t Decision(std::string_view name) override;
    std::vector<Entry> List() override;
    bool Record(std::string_view name, std::uint32_t decision) override;
    bool Forget(std::string_view name) override;

  private:
    platform::Registry& registry_;
};

}  // namespace shields
