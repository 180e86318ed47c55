#pragma once
// The Reference file and the ignore list are stored with every byte
// exclusive-or'ed with one fixed key byte. The operation is its own inverse:
// the same call scrambles and unscrambles.
#include <string>
#include <string_view>

namespace refdb {

// Shared by every reader and writer of scrambled files; changing it makes
// existing files unreadable.
inline constexpr unsigned char kScrambleKey = 0xB5;

// Scrambles (or unscrambles) `bytes` in place.
void Scramble(std::string& bytes);
// A scrambled (or unscrambled) copy of `bytes`.
std::string Scrambled(std::string_view bytes);

}  // namespace refdb
