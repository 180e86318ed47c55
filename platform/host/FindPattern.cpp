#include "platform/host/FindPattern.h"

#include <algorithm>

#include "platform/Text.h"

namespace platform::host {

std::string_view WithoutTrailingDotsAndSpaces(std::string_view name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.remove_suffix(1);
    return name;
}

// Windows rewrites the pattern before the file system matches it: "*.*"
// becomes "*"; every '?' becomes DOS_QM; a '.' before '?' or '*' becomes
// DOS_DOT; a '*' before a '.' becomes DOS_STAR (anything up to the last dot of
// the name); and when the pattern ended in a dot (dropped like every trailing
// dot), a final '*' becomes DOS_STAR too, which is what makes "*." list the
// names without a dot.
FindPattern::FindPattern(std::string_view pattern) {
    const bool endsInDot = !pattern.empty() && pattern.back() == '.';
    const std::string_view p = WithoutTrailingDotsAndSpaces(pattern);
    if (p == "*.*") {
        items_.push_back({Token::kStar, '*'});
        return;
    }
    items_.reserve(p.size());
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (i > 0 && c == '.' && p[i - 1] == '*')
            items_[i - 1].token = Token::kDosStar;
        if (c == '?' || c == '*') {
            if (i > 0 && p[i - 1] == '.')
                items_[i - 1].token = Token::kDosDot;
            items_.push_back({c == '?' ? Token::kDosQm : Token::kStar, c});
        } else {
            items_.push_back({Token::kLiteral, c});
        }
    }
    if (endsInDot && !items_.empty() && items_.back().token == Token::kStar) {
        items_.back().token = Token::kDosStar;
    }
}

bool FindPattern::Matches(std::string_view name) const {
    if (name == "." || name == "..") {
        // The folder's own entries answer to wildcards and dots alone.
        return std::all_of(items_.begin(), items_.end(), [](const Item& item) {
            return item.token != Token::kLiteral || item.c == '.';
        });
    }
    return MatchesName(name);
}

// Runs the pattern as a set of states over the name, so no pattern can make
// it backtrack.
bool FindPattern::MatchesName(std::string_view name) const {
    const std::size_t count = items_.size();
    const std::size_t lastDot = name.rfind('.');
    std::vector<char> current(count + 1, 0), next(count + 1, 0);
    // The moves that consume nothing at position `at` of the name.
    auto addSkips = [&](std::vector<char>& states, std::size_t at) {
        const bool atEnd = at == name.size();
        for (std::size_t k = 0; k < count; ++k) {
            if (!states[k])
                continue;
            const Token token = items_[k].token;
            if (token == Token::kStar || token == Token::kDosStar ||
                (token == Token::kDosQm && (atEnd || name[at] == '.')) ||
                (token == Token::kDosDot && atEnd)) {
                states[k + 1] = 1;
            }
        }
    };
    current[0] = 1;
    addSkips(current, 0);
    for (std::size_t i = 0; i < name.size(); ++i) {
        std::fill(next.begin(), next.end(), 0);
        const char c = name[i];
        for (std::size_t k = 0; k < count; ++k) {
            if (!current[k])
                continue;
            const Item& item = items_[k];
            switch (item.token) {
                case Token::kLiteral:
                    if (text::ToLowerAscii(item.c) == text::ToLowerAscii(c))
                        next[k + 1] = 1;
                    break;
                case Token::kStar:
                    next[k] = 1;
                    break;
                case Token::kDosStar:  // never past the last dot
                    if (!(c == '.' && i == lastDot))
                        next[k] = 1;
                    break;
                case Token::kDosQm:  // never the dot itself
                    if (c != '.')
                        next[k + 1] = 1;
                    break;
                case Token::kDosDot:
                    if (c == '.')
                        next[k + 1] = 1;
                    break;
            }
        }
        addSkips(next, i + 1);
        if (std::find(next.begin(), next.end(), 1) == next.end())
            return false;
        current.swap(next);
    }
    return current[count] != 0;
}

}  // namespace platform::host
