// The preference-line reader and the rewriter on arbitrary bytes: the lines
// must cover the input exactly, a rewrite that takes nothing out must give
// the input back, and one that takes out every statement must leave the
// other lines byte for byte and no statement behind.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "browser/PrefsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<browser::PrefsLine> lines = browser::ReadPrefsLines(text);
    std::size_t at = 0;
    std::string others;
    for (const browser::PrefsLine& line : lines) {
        if (line.begin != at || line.end < line.begin || line.next < line.end ||
            line.next > text.size() || line.next == line.begin)
            __builtin_trap();
        if (!line.isPref)
            others.append(text.substr(line.begin, line.next - line.begin));
        at = line.next;
    }
    if (at != text.size())
        __builtin_trap();
    if (browser::WithoutLines(text, lines, [](const browser::PrefsLine&) { return false; }) != text)
        __builtin_trap();
    const std::string stripped =
        browser::WithoutLines(text, lines, [](const browser::PrefsLine& l) { return l.isPref; });
    if (stripped != others)
        __builtin_trap();
    for (const browser::PrefsLine& line : browser::ReadPrefsLines(stripped)) {
        if (line.isPref)
            __builtin_trap();
    }
    return 0;
}
