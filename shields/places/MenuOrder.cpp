#include "shields/places/MenuOrder.h"

#include <map>
#include <string_view>

#include "platform/Text.h"

namespace shields {

namespace {

constexpr std::size_t kCountOffset = 16;
constexpr std::size_t kFirstItemOffset = 20;
constexpr std::size_t kPositionOffset = 4;
constexpr std::size_t kFlagsOffset = 10;
constexpr std::size_t kNameOffset = 22;
constexpr std::size_t kXpGapBeforeLongName = 20;
constexpr std::int32_t kOwnIndex = -5;
constexpr std::uint16_t kFlagLink = 0x2;
constexpr std::uint16_t kFlagUnicode = 0x4;

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) |
           (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[at + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

// A zero-terminated name inside `item` from `at`; `next` is set to the first
// byte after its terminator (or the end of the item when it has none).
std::string AnsiNameAt(std::span<const std::uint8_t> item, std::size_t at, std::size_t* next) {
    std::size_t end = at;
    while (end < item.size() && item[end] != 0)
        ++end;
    *next = end < item.size() ? end + 1 : end;
    return Windows1252ToUtf8(item.subspan(at, end - at));
}

std::string WideNameAt(std::span<const std::uint8_t> item, std::size_t at, std::size_t* next) {
    std::size_t end = at;
    while (end + 1 < item.size() && (item[end] != 0 || item[end + 1] != 0))
        end += 2;
    const std::size_t stop = end + 1 < item.size() ? end : item.size();
    *next = end + 1 < item.size() ? end + 2 : item.size();
    const auto* first = reinterpret_cast<const char*>(item.data() + at);
    return text::Utf16LeToUtf8(std::string_view(first, stop - at));
}

std::string ItemName(std::span<const std::uint8_t> item, std::uint16_t flags, OrderNameForm form) {
    if (item.size() <= kNameOffset)
        return {};
    const bool wide = (flags & kFlagUnicode) != 0;
    std::size_t next = 0;
    std::string shortName =
        wide ? WideNameAt(item, kNameOffset, &next) : AnsiNameAt(item, kNameOffset, &next);
    if (form == OrderNameForm::kPlain)
        return shortName;
    // XP: the long name follows the short one, after an even offset and a
    // 20-byte gap. A UTF-16 short name already ends on an even offset. An
    // item without room for a long name keeps its short one.
    if (next % 2 != 0)
        ++next;
    next += kXpGapBeforeLongName;
    if (next >= item.size())
        return shortName;
    std::size_t after = 0;
    std::string longName = WideNameAt(item, next, &after);
    return longName.empty() ? shortName : longName;
}

bool StaysInFolder(std::string_view name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (char c : name) {
        if (c == '\\' || c == '/' || c == ':' || static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return true;
}

}  // namespace

OrderNameForm OrderNameFormFor(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor) {
    constexpr std::uint32_t kPlatformNt = 2;
    return platformId == kPlatformNt && major == 5 && minor > 0 ? OrderNameForm::kXp
                                                                : OrderNameForm::kPlain;
}

std::string Windows1252ToUtf8(std::span<const std::uint8_t> bytes) {
    // 0x80 to 0x9F differ from Latin-1; 0 marks the five unassigned bytes.
    static constexpr std::uint16_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    out.reserve(bytes.size());
    for (std::uint8_t b : bytes) {
        std::uint32_t codePoint = b;
        if (b >= 0x80 && b < 0xA0)
            codePoint = kHigh[b - 0x80] != 0 ? kHigh[b - 0x80] : 0xFFFD;
        text::AppendUtf8(out, codePoint);
    }
    return out;
}

std::vector<OrderItem> ReadMenuOrder(std::span<const std::uint8_t> blob, OrderNameForm form) {
    if (blob.size() < kFirstItemOffset)
        return {};
    const std::uint32_t count = ReadU32(blob, kCountOffset);
    // Keyed by position: a table of `count` records would let a hostile count
    // claim gigabytes.
    std::map<std::uint32_t, OrderItem> byPosition;
    std::size_t offset = kFirstItemOffset;
    for (std::uint32_t index = 0; index < count && offset + 4 <= blob.size(); ++index) {
        const std::uint32_t length = ReadU32(blob, offset);
        // A length that cannot hold its own length field would never advance.
        if (length < 4)
            break;
        const std::size_t available = blob.size() - offset;
        const std::span<const std::uint8_t> item =
            blob.subspan(offset, std::min<std::size_t>(length, available));
        if (item.size() >= kFlagsOffset + 2) {
            const auto stored = static_cast<std::int32_t>(ReadU32(item, kPositionOffset));
            const std::uint32_t position =
                stored == kOwnIndex ? index : static_cast<std::uint32_t>(stored);
            const std::uint16_t flags = ReadU16(item, kFlagsOffset);
            if (position < count) {
                std::string name = ItemName(item, flags, form);
                if (StaysInFolder(name))
                    byPosition[position] = {position, (flags & kFlagLink) != 0, std::move(name)};
            }
        }
        if (length > available)
            break;
        offset += length;
    }
    std::vector<OrderItem> items;
    items.reserve(byPosition.size());
    for (auto& [position, item] : byPosition)
        items.push_back(std::move(item));
    return items;
}

}  // namespace shields
