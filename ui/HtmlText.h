#pragma once
// The small markup of the program's HTML-like labels: <b>...</b>,
// <font color=...>...</font> (nested), <br> and the entities &amp; &lt; &gt;
// &quot; &nbsp;. Anything else in angle brackets is dropped. No Windows here:
// the label paints what this produces.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

struct TextRun {
    std::string text;
    bool bold = false;
    // 0x00BBGGRR as Windows keeps colours; none for the label's own colour.
    std::optional<std::uint32_t> color;
    // The run ends its line (a <br> or a line feed).
    bool lineBreak = false;
};

std::vector<TextRun> ParseHtmlText(std::string_view markup);

// "#RRGGBB", "RRGGBB" or one of the sixteen basic colour names, any case,
// optionally quoted; none for anything else.
std::optional<std::uint32_t> ParseHtmlColor(std::string_view value);

}  // namespace ui
