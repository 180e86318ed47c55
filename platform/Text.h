#pragma once
// Text helpers shared by every layer. "Case-insensitive" means ASCII case
// folding throughout the program; bytes of multi-byte UTF-8 characters are
// compared as they are.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace text {

constexpr char ToLowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
constexpr char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

std::string ToLower(std::string_view s);
std::string ToUpper(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// <0, 0, >0 like _stricmp.
int CompareNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view s, std::string_view prefix);
bool EndsWithNoCase(std::string_view s, std::string_view suffix);
// Position of `needle` in `haystack` ignoring case, or npos.
std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from = 0);

// Orders strings case-insensitively (for maps keyed by names).
struct LessNoCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        return CompareNoCase(a, b) < 0;
    }
};
// Hash and equality for unordered containers keyed case-insensitively.
struct HashNoCase {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const;
};
struct EqualNoCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return EqualsNoCase(a, b); }
};

// Splits on a single character; empty fields are kept.
std::vector<std::string_view> Split(std::string_view s, char separator);
std::string_view Trim(std::string_view s);

// FindFirstFile-style wildcard match of a name: '*' any run, '?' one
// character; case-insensitive.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// The value of a hexadecimal digit of either case, or -1.
int HexDigit(char c);

// Windows path pieces ('\\' separators; '/' accepted on input).
std::string_view FileName(std::string_view path);    // after the last separator
std::string_view ParentPath(std::string_view path);  // before the last separator
std::string JoinPath(std::string_view folder, std::string_view name);
std::string WithoutTrailingBackslash(std::string_view path);

// True when `s` is well-formed UTF-8.
bool IsValidUtf8(std::string_view s);

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, std::uint32_t codePoint);
// UTF-16LE bytes as UTF-8. Unpaired surrogates become U+FFFD; an odd last
// byte is dropped.
std::string Utf16LeToUtf8(std::string_view bytes);
// UTF-8 as UTF-16LE bytes. Bytes that are not UTF-8 become U+FFFD.
std::string Utf8ToUtf16Le(std::string_view s);

}  // namespace text
