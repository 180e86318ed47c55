#include "refdb/MarkupReader.h"

#include <array>
#include <cstddef>
#include <limits>
#include <utility>

namespace refdb {

namespace {

constexpr std::size_t kNone = std::string_view::npos;
constexpr std::string_view kCdataOpen = "<![CDATA[";
constexpr std::string_view kCdataClose = "]]>";

// Character classes of the token scanner, looked up per byte.
constexpr unsigned char kSpace = 1;      // skipped between tokens
constexpr unsigned char kDelimiter = 2;  // ends a token; a token of its own

constexpr std::array<unsigned char, 256> MakeClasses() {
    std::array<unsigned char, 256> classes{};
    for (const char c : std::string_view(" \t\n\r")) {
        classes[static_cast<unsigned char>(c)] = kSpace | kDelimiter;
    }
    for (const char c : std::string_view("<>=\\/?!")) {
        classes[static_cast<unsigned char>(c)] = kDelimiter;
    }
    return classes;
}
constexpr std::array<unsigned char, 256> kClasses = MakeClasses();

bool IsSpace(char c) {
    return (kClasses[static_cast<unsigned char>(c)] & kSpace) != 0;
}
bool IsDelimiter(char c) {
    return (kClasses[static_cast<unsigned char>(c)] & kDelimiter) != 0;
}

// The scanner's working record. The token's text is [begin, end); a quoted
// string's text excludes its quotes. Scanning goes on from `next`.
struct MarkupToken {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
    bool quoted = false;

    std::string_view Text(std::string_view doc) const { return doc.substr(begin, end - begin); }
};

// Scans the token that follows `from` in `doc`; false at the end of `doc`.
// The caller limits the scan by the length of the view it passes.
bool NextToken(std::string_view doc, std::size_t from, MarkupToken& token) {
    std::size_t pos = from;
    while (pos < doc.size() && IsSpace(doc[pos]))
        ++pos;
    if (pos >= doc.size())
        return false;
    const char c = doc[pos];
    if (c == '"' || c == '\'') {
        token.quoted = true;
        token.begin = pos + 1;
        const std::size_t close = doc.find(c, token.begin);
        // A missing closing quote runs the string to the end of the text.
        token.end = close == kNone ? doc.size() : close;
        token.next = close == kNone ? doc.size() : close + 1;
        return true;
    }
    token.quoted = false;
    token.begin = pos;
    if (IsDelimiter(c)) {
        token.end = pos + 1;
    } else {
        std::size_t end = pos + 1;
        while (end < doc.size() && !IsDelimiter(doc[end]))
            ++end;
        token.end = end;
    }
    token.next = token.end;
    return true;
}

// A name token matches the requested name when it equals the requested name
// or a prefix of it that is followed by ' ', '=', '/' or '['.
bool NameMatches(std::string_view token, std::string_view requested) {
    if (token.size() > requested.size())
        return false;
    if (requested.compare(0, token.size(), token) != 0)
        return false;
    if (requested.size() == token.size())
        return true;
    const char next = requested[token.size()];
    return next == ' ' || next == '=' || next == '/' || next == '[';
}

// One past the end of the comment, processing instruction, CDATA section or
// declaration that starts at the '<' at `lt`; kNone when it is not one or is
// not closed.
std::size_t SkipNode(std::string_view doc, std::size_t lt) {
    if (doc.size() - lt < 3)
        return kNone;
    const auto after = [doc](std::string_view marker, std::size_t from) {
        const std::size_t at = doc.find(marker, from);
        return at == kNone ? kNone : at + marker.size();
    };
    const char first = doc[lt + 1];
    const char second = doc[lt + 2];
    if (first == '?')
        return after("?>", lt + 2);
    if (first != '!')
        return kNone;
    if (second == '[')
        return after(kCdataClose, lt + 3);
    if (second == '-')
        return after("-->", lt + 3);
    // A declaration ends at the first '>' outside square brackets, so an
    // internal subset (with its own '>' characters) is skipped whole.
    std::ptrdiff_t depth = 0;
    MarkupToken token;
    token.next = lt + 2;
    while (NextToken(doc, token.next, token)) {
        if (token.quoted)
            continue;
        if (doc[token.begin] == '>' && depth <= 0)
            return token.begin + 1;
        for (const char c : token.Text(doc)) {
            if (c == '[')
                ++depth;
            if (c == ']')
                --depth;
        }
    }
    return kNone;
}

// The '>' that closes a start tag whose name ends at `from`. Follows the
// token scanner without building tokens: a quote opens a string only where a
// token starts, and a '>' outside strings is always a token of its own. So a
// '>' inside a quoted attribute value does not end the tag.
std::size_t FindStartTagEnd(std::string_view doc, std::size_t from) {
    bool tokenStart = true;
    for (std::size_t pos = from; pos < doc.size(); ++pos) {
        const char c = doc[pos];
        if (IsDelimiter(c)) {
            if (c == '>')
                return pos;
            tokenStart = true;
        } else if (tokenStart && (c == '"' || c == '\'')) {
            pos = doc.find(c, pos + 1);
            if (pos == kNone)
                return kNone;
        } else {
            tokenStart = false;
        }
    }
    return kNone;
}

std::string DecodeEntities(std::string_view text) {
    struct Entity {
        std::string_view name;
        char character;
    };
    static constexpr Entity kEntities[] = {
        {"&lt;", '<'}, {"&amp;", '&'}, {"&gt;", '>'}, {"&apos;", '\''}, {"&quot;", '"'}};

    std::size_t amp = text.find('&');
    if (amp == kNone)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t done = 0;
    while (amp != kNone) {
        out.append(text, done, amp - done);
        done = amp + 1;
        char decoded = '&';
        for (const Entity& entity : kEntities) {
            if (text.substr(amp).starts_with(entity.name)) {
                decoded = entity.character;
                done = amp + entity.name.size();
                break;
            }
        }
        out += decoded;
        amp = text.find('&', done);
    }
    out.append(text, done);
    return out;
}

}  // namespace

bool MarkupReader::LoadText(const char* text) {
    return LoadText(text == nullptr ? std::string() : std::string(text));
}

bool MarkupReader::LoadText(std::string text) {
    document_ = std::move(text);
    lastError_.clear();
    std::vector<ElementSpan>().swap(elements_);
    parentIndex_ = 0;
    currentIndex_ = 0;
    childIndex_ = 0;
    nodeType_ = NodeType::kNone;
    if (!Parse()) {
        std::vector<ElementSpan>().swap(elements_);
        return false;
    }
    return true;
}

bool MarkupReader::Fail(std::string message) {
    lastError_ = std::move(message);
    return false;
}

std::int32_t MarkupReader::TakeEntry() {
    // Grow by half rather than doubling: the index is the reader's largest
    // allocation besides the document itself.
    if (elements_.size() == elements_.capacity()) {
        elements_.reserve(elements_.capacity() + elements_.capacity() / 2);
    }
    elements_.emplace_back();
    return static_cast<std::int32_t>(elements_.size() - 1);
}

std::string_view MarkupReader::TagName(std::int32_t index) const {
    const std::string_view doc = document_;
    MarkupToken token;
    if (!NextToken(doc, static_cast<std::size_t>(elements_[index].startLeft) + 1, token)) {
        return {};
    }
    return token.Text(doc);
}

bool MarkupReader::Parse() {
    const std::string_view doc = document_;
    // Positions and indexes are stored as 32-bit values.
    if (doc.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return Fail("Document too large");
    }
    elements_.reserve(doc.size() / 64 + 8);
    elements_.emplace_back();  // the virtual root

    // Elements whose end tag is still ahead, innermost last, each with its
    // last child so far. Kept on the heap so that deep nesting cannot
    // exhaust the call stack.
    struct OpenElement {
        std::int32_t index;
        std::int32_t lastChild;
    };
    std::vector<OpenElement> open;

    std::size_t pos = 0;
    for (;;) {
        const std::size_t lt = doc.find('<', pos);
        if (lt == kNone) {
            if (open.empty())
                return Fail("Element tag not found");
            return Fail("End tag of " + std::string(TagName(open.back().index)) +
                        " element not found");
        }
        MarkupToken token;
        if (!NextToken(doc, lt + 1, token))
            return Fail("Abrupt end within tag");
        if (token.quoted)
            return Fail("Tag starts with quote");
        const char first = doc[token.begin];

        if (first == '?' || first == '!') {
            pos = SkipNode(doc, lt);
            if (pos == kNone)
                return Fail("Invalid node");
            continue;
        }

        if (first == '/') {
            // An end tag before any element: the document has no element.
            if (open.empty())
                return Fail("Element tag not found");
            const std::int32_t index = open.back().index;
            const std::string_view name = TagName(index);
            std::size_t endRight = kNone;
            int count = 0;
            token.next = lt + 1;
            while (NextToken(doc, token.next, token)) {
                ++count;
                const bool plain = !token.quoted;
                if (count == 1) {
                    // Only a '/' brings us here; checked so this step stands alone.
                    if (plain && doc[token.begin] != '/') {
                        return Fail("Expecting end tag of element " + std::string(name));
                    }
                } else if (count == 2) {
                    if (plain && !NameMatches(token.Text(doc), name)) {
                        return Fail("End tag does not correspond to " + std::string(name));
                    }
                } else if (plain && doc[token.begin] == '>') {
                    endRight = token.begin;
                    break;
                }
            }
            if (endRight == kNone)
                return Fail("End tag not completed for element " + std::string(name));
            elements_[index].endLeft = static_cast<std::int32_t>(lt);
            elements_[index].endRight = static_cast<std::int32_t>(endRight);
            open.pop_back();
            if (open.empty())
                return true;
            pos = endRight + 1;
            continue;
        }

        const std::size_t startRight = FindStartTagEnd(doc, token.next);
        if (startRight == kNone)
            return Fail("End of tag not found");

        const std::int32_t parent = open.empty() ? 0 : open.back().index;
        const std::int32_t index = TakeEntry();
        ElementSpan& span = elements_[index];
        span.startLeft = static_cast<std::int32_t>(lt);
        span.startRight = static_cast<std::int32_t>(startRight);
        span.parent = parent;
        if (open.empty()) {
            elements_[0].firstChild = index;
        } else {
            std::int32_t& last = open.back().lastChild;
            if (last == 0) {
                elements_[parent].firstChild = index;
            } else {
                elements_[last].nextSibling = index;
            }
            last = index;
        }

        if (doc[startRight - 1] == '/') {
            span.endLeft = static_cast<std::int32_t>(startRight - 1);
            span.endRight = static_cast<std::int32_t>(startRight);
            // Only the first element of the document is parsed.
            if (open.empty())
                return true;
        } else {
            open.push_back({index, 0});
        }
        pos = startRight + 1;
    }
}

std::int32_t MarkupReader::FindSibling(std::int32_t from, const std::string_view* name) const {
    for (std::int32_t index = from; index != 0; index = elements_[index].nextSibling) {
        if (name == nullptr || NameMatches(TagName(index), *name))
            return index;
    }
    return 0;
}

bool MarkupReader::FindElementImpl(const std::string_view* name) {
    if (elements_.empty())
        return false;
    const std::int32_t from = currentIndex_ != 0 ? elements_[currentIndex_].nextSibling
                                                 : elements_[parentIndex_].firstChild;
    const std::int32_t found = FindSibling(from, name);
    if (found == 0)
        return false;
    currentIndex_ = found;
    parentIndex_ = elements_[found].parent;
    childIndex_ = 0;
    nodeType_ = NodeType::kElement;
    return true;
}

bool MarkupReader::FindChildElementImpl(const std::string_view* name) {
    if (elements_.empty())
        return false;
    if (currentIndex_ == 0 && !FindElementImpl(nullptr))
        return false;
    const std::int32_t from =
        childIndex_ != 0 ? elements_[childIndex_].nextSibling : elements_[currentIndex_].firstChild;
    const std::int32_t found = FindSibling(from, name);
    if (found == 0)
        return false;
    childIndex_ = found;
    return true;
}

bool MarkupReader::FindElement() {
    return FindElementImpl(nullptr);
}
bool MarkupReader::FindElement(std::string_view name) {
    return FindElementImpl(&name);
}
bool MarkupReader::FindChildElement() {
    return FindChildElementImpl(nullptr);
}
bool MarkupReader::FindChildElement(std::string_view name) {
    return FindChildElementImpl(&name);
}

std::string_view MarkupReader::GetTagName() const {
    if (currentIndex_ == 0 || nodeType_ != NodeType::kElement)
        return {};
    return TagName(currentIndex_);
}

bool MarkupReader::IntoElement() {
    if (currentIndex_ == 0 || nodeType_ != NodeType::kElement)
        return false;
    parentIndex_ = currentIndex_;
    currentIndex_ = childIndex_;
    childIndex_ = 0;
    nodeType_ = currentIndex_ != 0 ? NodeType::kElement : NodeType::kNone;
    return true;
}

bool MarkupReader::OutOfElement() {
    if (parentIndex_ == 0)
        return false;
    childIndex_ = currentIndex_;
    currentIndex_ = parentIndex_;
    parentIndex_ = elements_[currentIndex_].parent;
    nodeType_ = NodeType::kElement;
    return true;
}

std::string MarkupReader::AttributeOf(std::int32_t index, std::string_view name) const {
    const ElementSpan& span = elements_[index];
    // Tokens never run past the start tag: its '>' was found by this same scan.
    const std::string_view tag =
        std::string_view(document_).substr(0, static_cast<std::size_t>(span.startRight) + 1);
    MarkupToken token;
    token.next = static_cast<std::size_t>(span.startLeft) + 1;
    int count = 0;
    int matchedAt = 0;
    while (NextToken(tag, token.next, token)) {
        ++count;
        if (count == 1)
            continue;  // the tag name
        if (matchedAt != 0 && count == matchedAt + 2) {
            // name, '=', value: only a quoted value counts.
            return token.quoted ? DecodeEntities(token.Text(tag)) : std::string();
        }
        if (token.quoted)
            continue;
        const char first = tag[token.begin];
        if (first == '>' || first == '/' || first == '?')
            return {};
        if (first == '=')
            continue;
        if (matchedAt == 0 && NameMatches(token.Text(tag), name))
            matchedAt = count;
    }
    return {};
}

std::string MarkupReader::GetAttribute(std::string_view name) const {
    if (currentIndex_ == 0 || nodeType_ != NodeType::kElement)
        return {};
    return AttributeOf(currentIndex_, name);
}

std::string MarkupReader::GetChildAttribute(std::string_view name) const {
    if (childIndex_ == 0)
        return {};
    return AttributeOf(childIndex_, name);
}

std::string MarkupReader::GetData() const {
    if (currentIndex_ == 0 || nodeType_ != NodeType::kElement)
        return {};
    const ElementSpan& span = elements_[currentIndex_];
    if (span.firstChild != 0 || span.endRight == span.startRight)
        return {};
    const auto begin = static_cast<std::size_t>(span.startRight) + 1;
    const std::string_view content =
        std::string_view(document_).substr(begin, static_cast<std::size_t>(span.endLeft) - begin);

    std::size_t lead = 0;
    while (lead < content.size() && IsSpace(content[lead]))
        ++lead;
    if (content.substr(lead).starts_with(kCdataOpen)) {
        const std::size_t open = lead + kCdataOpen.size();
        const std::size_t close = content.find(kCdataClose, open);
        if (close != kNone)
            return std::string(content.substr(open, close - open));
    }
    return DecodeEntities(content);
}

}  // namespace refdb
