#pragma once
// The last component of a FindFirstFile pattern, matched with Windows' rules:
// "*.*" is every name, '?' also matches nothing before a dot or at the end, a
// dot before a wildcard also matches the end of the name, and a trailing dot
// limits a final '*' to names without an extension ("*."). Case-insensitive
// (ASCII folding). "." and ".." match patterns made of wildcards and dots.
// Matching is linear in the product of the lengths, whatever the pattern.
#include <string_view>
#include <vector>

namespace platform::host {

class FindPattern {
  public:
    explicit FindPattern(std::string_view pattern);
    bool Matches(std::string_view name) const;

  private:
    enum class Token { kLiteral, kStar, kDosStar, kDosQm, kDosDot };
    struct Item {
        Token token;
        char c;
    };
    bool MatchesName(std::string_view name) const;

    std::vector<Item> items_;
};

inline bool FindPatternMatches(std::string_view pattern, std::string_view name) {
    return FindPattern(pattern).Matches(name);
}

// A name as Windows stores it: trailing dots and spaces dropped.
std::string_view WithoutTrailingDotsAndSpaces(std::string_view name);

}  // namespace platform::host
