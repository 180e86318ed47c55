#pragma once
// Builds "Order" values the way the browser lays them out, for tests and
// fuzzing seeds.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace shields::testing {

class OrderBlob {
  public:
    static constexpr std::uint16_t kLink = 0x2;
    static constexpr std::uint16_t kUnicode = 0x4;

    // Plain form: the name at offset 22, ANSI or (with kUnicode) UTF-16.
    OrderBlob& Plain(std::int32_t position, std::uint16_t flags, const std::u16string& name) {
        std::vector<std::uint8_t> item = Header(position, flags);
        if ((flags & kUnicode) != 0)
            Wide(item, name);
        else
            Narrow(item, name);
        return Add(std::move(item));
    }
    // XP form: a short name, padding to an even offset, 20 bytes, the long
    // UTF-16 name.
    OrderBlob& Xp(std::int32_t position, std::uint16_t flags, const std::u16string& shortName,
                  const std::u16string& longName) {
        std::vector<std::uint8_t> item = Header(position, flags);
        if ((flags & kUnicode) != 0)
            Wide(item, shortName);
        else
            Narrow(item, shortName);
        if (item.size() % 2 != 0)
            item.push_back(0);
        item.insert(item.end(), 20, 0xEE);
        Wide(item, longName);
        return Add(std::move(item));
    }
    // An item exactly as given, its length field included.
    OrderBlob& Raw(std::vector<std::uint8_t> item) {
        items_.push_back(std::move(item));
        return *this;
    }
    // The count field, when it should differ from the number of items.
    OrderBlob& Count(std::uint32_t count) {
        count_ = count;
        return *this;
    }

    std::vector<std::uint8_t> Bytes() const {
        std::vector<std::uint8_t> blob(16, 0x08);
        Put32(blob, count_ ? *count_ : static_cast<std::uint32_t>(items_.size()));
        for (const auto& item : items_)
            blob.insert(blob.end(), item.begin(), item.end());
        return blob;
    }

    static void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }

  private:
    static std::vector<std::uint8_t> Header(std::int32_t position, std::uint16_t flags) {
        std::vector<std::uint8_t> item;
        Put32(item, 0);  // length, set by Add
        Put32(item, static_cast<std::uint32_t>(position));
        item.push_back(0x14);
        item.push_back(0x00);
        item.push_back(static_cast<std::uint8_t>(flags));
        item.push_back(static_cast<std::uint8_t>(flags >> 8));
        item.resize(22, 0);
        return item;
    }
    static void Narrow(std::vector<std::uint8_t>& out, const std::u16string& name) {
        for (char16_t c : name)
            out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    static void Wide(std::vector<std::uint8_t>& out, const std::u16string& name) {
        for (char16_t c : name) {
            out.push_back(static_cast<std::uint8_t>(c));
            out.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        out.push_back(0);
        out.push_back(0);
    }
    OrderBlob& Add(std::vector<std::uint8_t> item) {
        const auto length = static_cast<std::uint32_t>(item.size());
        for (int i = 0; i < 4; ++i)
            item[i] = static_cast<std::uint8_t>(length >> (8 * i));
        items_.push_back(std::move(item));
        return *this;
    }

    std::vector<std::vector<std::uint8_t>> items_;
    std::optional<std::uint32_t> count_;
};

}  // namespace shields::testing
