#include "update/UpdatePage.h"

#include "platform/Text.h"

namespace update {

std::string_view TrimSpace(std::string_view text) {
    auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string ExtractPageBody(std::string_view page) {
    std::string lower = text::ToLower(page);
    std::string_view body = lower;
    constexpr std::string_view kOpen = "<body>";
    constexpr std::string_view kClose = "</body>";
    if (std::size_t open = body.find(kOpen); open != std::string_view::npos) {
        body.remove_prefix(open + kOpen.size());
    }
    if (std::size_t close = body.find(kClose); close != std::string_view::npos) {
        body = body.substr(0, close);
    }
    return std::string(TrimSpace(body));
}

bool FetchUpdatePage(platform::Network& network, std::string_view address, std::string* text,
                     bool extractBody) {
    text->clear();
    std::string page;
    if (network.FetchPage(address, &page) != platform::kSuccess)
        return false;
    *text = extractBody ? ExtractPageBody(page) : std::move(page);
    return true;
}

}  // namespace update
