#include "ui/HtmlText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "platform/Text.h"

namespace ui {
namespace {

struct NamedColor {
    const char* name;
    std::uint32_t rgb;  // 0xRRGGBB
};

constexpr std::array<NamedColor, 16> kNamedColors{{
    {"black", 0x000000},
    {"silver", 0xC0C0C0},
    {"gray", 0x808080},
    {"white", 0xFFFFFF},
    {"maroon", 0x800000},
    {"red", 0xFF0000},
    {"purple", 0x800080},
    {"fuchsia", 0xFF00FF},
    {"green", 0x008000},
    {"lime", 0x00FF00},
    {"olive", 0x808000},
    {"yellow", 0xFFFF00},
    {"navy", 0x000080},
    {"blue", 0x0000FF},
    {"teal", 0x008080},
    {"aqua", 0x00FFFF},
}};

std::uint32_t ToWindowsColor(std::uint32_t rgb) {
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The value of `name=` inside a tag's text, quotes removed; empty when absent.
std::string_view AttributeValue(std::string_view tag, std::string_view name) {
    std::size_t at = 0;
    while (at < tag.size()) {
        std::size_t found = tag.find('=', at);
        if (found == std::string_view::npos)
            return {};
        std::string_view key = Trim(tag.substr(at, found - at));
        std::size_t space = key.find_last_of(" \t");
        if (space != std::string_view::npos)
            key = key.substr(space + 1);
        std::size_t begin = found + 1;
        while (begin < tag.size() && tag[begin] == ' ')
            ++begin;
        std::size_t end = begin;
        if (begin < tag.size() && (tag[begin] == '"' || tag[begin] == '\'')) {
            const char quote = tag[begin];
            ++begin;
            end = tag.find(quote, begin);
            if (end == std::string_view::npos)
                end = tag.size();
        } else {
            end = tag.find_first_of(" \t", begin);
            if (end == std::string_view::npos)
                end = tag.size();
        }
        if (text::EqualsNoCase(key, name))
            return tag.substr(begin, end - begin);
        at = end + 1;
    }
    return {};
}

struct Entity {
    const char* name;
    const char* text;
};
constexpr std::array<Entity, 5> kEntities{
    {{"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&nbsp;", " "}}};

}  // namespace

std::optional<std::uint32_t> ParseHtmlColor(std::string_view value) {
    value = Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    if (!value.empty() && value.front() == '#')
        value.remove_prefix(1);
    for (const NamedColor& named : kNamedColors) {
        if (text::EqualsNoCase(value, named.name))
            return ToWindowsColor(named.rgb);
    }
    if (value.size() != 6)
        return std::nullopt;
    std::uint32_t rgb = 0;
    for (char c : value) {
        int digit = text::HexDigit(c);
        if (digit < 0)
            return std::nullopt;
        rgb = (rgb << 4) | static_cast<std::uint32_t>(digit);
    }
    return ToWindowsColor(rgb);
}

std::vector<TextRun> ParseHtmlText(std::string_view markup) {
    std::vector<TextRun> runs;
    int boldDepth = 0;
    std::vector<std::optional<std::uint32_t>> colors;
    TextRun current;
    auto style = [&] {
        TextRun run;
        run.bold = boldDepth > 0;
        run.color = colors.empty() ? std::nullopt : colors.back();
        return run;
    };
    auto flush = [&](bool lineBreak) {
        if (!current.text.empty() || lineBreak) {
            current.lineBreak = lineBreak;
            runs.push_back(std::move(current));
        }
        current = style();
    };
    current = style();
    std::size_t at = 0;
    while (at < markup.size()) {
        const char c = markup[at];
        std::size_t close = c == '<' ? markup.find('>', at + 1) : std::string_view::npos;
        // A tag starts with a name or "/" and holds no other "<"; any other
        // bracket is text ("a < b").
        if (close != std::string_view::npos &&
            (at + 1 >= markup.size() ||
             !(std::isalpha(static_cast<unsigned char>(markup[at + 1])) || markup[at + 1] == '/') ||
             markup.substr(at + 1, close - at - 1).find('<') != std::string_view::npos)) {
            close = std::string_view::npos;
        }
        if (close != std::string_view::npos) {
            std::string_view tag = Trim(markup.substr(at + 1, close - at - 1));
            at = close + 1;
            const bool ending = !tag.empty() && tag.front() == '/';
            if (ending)
                tag.remove_prefix(1);
            std::string_view name = tag.substr(0, tag.find_first_of(" \t/"));
            if (text::EqualsNoCase(name, "b")) {
                flush(false);
                boldDepth = ending ? std::max(0, boldDepth - 1) : boldDepth + 1;
                current = style();
            } else if (text::EqualsNoCase(name, "font")) {
                flush(false);
                if (ending) {
                    if (!colors.empty())
                        colors.pop_back();
                } else {
                    std::optional<std::uint32_t> color =
                        ParseHtmlColor(AttributeValue(tag, "color"));
                    // A font without a usable colour keeps the one around it.
                    colors.push_back(color ? color
                                           : (colors.empty() ? std::nullopt : colors.back()));
                }
                current = style();
            } else if (text::EqualsNoCase(name, "br")) {
                flush(true);
            }
            continue;
        }
        if (c == '&') {
            bool replaced = false;
            for (const Entity& entity : kEntities) {
                std::string_view entityName(entity.name);
                if (markup.substr(at, entityName.size()) == entityName) {
                    current.text += entity.text;
                    at += entityName.size();
                    replaced = true;
                    break;
                }
            }
            if (replaced)
                continue;
        }
        if (c == '\r') {
            ++at;
            continue;
        }
        if (c == '\n') {
            flush(true);
            ++at;
            continue;
        }
        current.text.push_back(c);
        ++at;
    }
    flush(false);
    return runs;
}

}  // namespace ui
