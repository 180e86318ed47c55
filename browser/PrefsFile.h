#pragma once
// The preference files of a browser profile (prefs.js, user.js): one
// statement per line, user_pref("name", value);. The reader splits a file
// into lines and recognises those statements; the rewriter takes out chosen
// lines and leaves every other byte as it was, whatever the file holds
// (any size, invalid UTF-8, very long lines, CR LF or LF).
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace browser {

struct PrefsLine {
    std::size_t begin = 0;  // first byte of the line
    std::size_t end = 0;    // one past its last byte, before the line end
    std::size_t next = 0;   // first byte of the next line (after "\n")
    bool isPref = false;    // a user_pref / pref / sticky_pref statement
    std::string name;       // the preference, escapes decoded
    std::string value;      // a string value decoded; a number or boolean as written
    bool isString = false;  // the value was a quoted string
};

// Every line of `text`, in order. The lines cover the text exactly: the
// first begins at 0, each begins at the `next` of the one before, the last
// ends at the end of the text. Lines inside a /* */ comment are no statements.
std::vector<PrefsLine> ReadPrefsLines(std::string_view text);

// `text` without the lines `remove` picks (each with its line end). The other
// lines keep every byte.
std::string WithoutLines(std::string_view text, const std::vector<PrefsLine>& lines,
                         const std::function<bool(const PrefsLine&)>& remove);

// The bytes of one line, without its line end.
inline std::string_view LineText(std::string_view text, const PrefsLine& line) {
    return text.substr(line.begin, line.end - line.begin);
}

// Rewrites the file at `path` without the statement lines `remove` picks:
// the new text is written beside the file and moved over it, so a failure
// leaves the file as it was. A read-only file loses that attribute (a lock
// another program set). `removed` gets the number of lines taken out; with
// none to take out the file is not touched.
platform::Status RemovePrefsLines(
    platform::FileSystem& files, std::string_view path,
    const std::function<bool(const PrefsLine&, std::string_view)>& remove, int* removed = nullptr);

}  // namespace browser
