#pragma once
// Member names: which are safe to extract, where they land, and how stored
// bytes become UTF-8 text.
#include <optional>
#include <string>
#include <string_view>

namespace zip {

// True when extracting a member of this name below a folder cannot leave the
// folder or hit something that is not a plain file there. Either '/' or '\\'
// separates components. Refused: empty names; a leading separator; a drive or
// stream colon anywhere; components made only of dots and spaces ("..",
// "." and what Windows trims to them, like ". ." or "..."); empty components
// other than one trailing separator (a folder member "dir/"); control
// characters and the characters Windows forbids in names (<>"|?*); device
// names (CON, NUL, COM1, LPT1 ... with or without an extension).
bool IsSafeMemberName(std::string_view name);

// The Windows path of a member below `folder`: folder, one backslash, the
// member name with '/' turned into '\\' and a trailing separator dropped.
// Nothing when the name is not safe.
std::optional<std::string> JoinMemberPath(std::string_view folder, std::string_view memberName);

// Code page 437 bytes (what zip tools store without the UTF-8 flag) as UTF-8.
std::string Cp437ToUtf8(std::string_view bytes);

}  // namespace zip
