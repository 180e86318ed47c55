#include "zip/ZipFormat.h"

#include <zlib.h>

#include <algorithm>

namespace zip::format {
namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

// One step of the raw CRC register, without the pre- and post-inversion; the
// cipher's key schedule is defined on this.
constexpr std::uint32_t CrcStep(std::uint32_t crc, unsigned char byte) {
    return kCrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

}  // namespace

std::uint32_t UpdateCrc32(std::uint32_t crc, const void* data, std::size_t size) {
    // zlib's CRC works on several bytes at a time; it counts in 32-bit units.
    const auto* p = static_cast<const Bytef*>(data);
    while (size > 0) {
        const auto slice = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = static_cast<std::uint32_t>(crc32(crc, p, slice));
        p += slice;
        size -= slice;
    }
    return crc;
}

TraditionalCipher::TraditionalCipher(std::string_view password)
    : keys_{0x12345678u, 0x23456789u, 0x34567890u} {
    for (char c : password)
        UpdateKeys(static_cast<unsigned char>(c));
}

unsigned char TraditionalCipher::KeyByte() const {
    std::uint32_t temp = (keys_[2] | 2u) & 0xFFFFu;
    return static_cast<unsigned char>(((temp * (temp ^ 1u)) >> 8) & 0xFFu);
}

void TraditionalCipher::UpdateKeys(unsigned char plain) {
    keys_[0] = CrcStep(keys_[0], plain);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFFu)) * 134775813u + 1u;
    keys_[2] = CrcStep(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
}

void TraditionalCipher::Encrypt(unsigned char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        unsigned char plain = data[i];
        data[i] = static_cast<unsigned char>(plain ^ KeyByte());
        UpdateKeys(plain);
    }
}

void TraditionalCipher::Decrypt(unsigned char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        auto plain = static_cast<unsigned char>(data[i] ^ KeyByte());
        data[i] = plain;
        UpdateKeys(plain);
    }
}

std::uint16_t DosTime(const DateTime& time) {
    int hour = std::clamp(time.hour, 0, 23);
    int minute = std::clamp(time.minute, 0, 59);
    int second = std::clamp(time.second, 0, 59);
    return static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

std::uint16_t DosDate(const DateTime& time) {
    int year = std::clamp(time.year, 1980, 2107) - 1980;
    int month = std::clamp(time.month, 1, 12);
    int day = std::clamp(time.day, 1, 31);
    return static_cast<std::uint16_t>((year << 9) | (month << 5) | day);
}

DateTime FromDos(std::uint16_t time, std::uint16_t date) {
    DateTime out;
    out.year = 1980 + (date >> 9);
    out.month = (date >> 5) & 0x0F;
    out.day = date & 0x1F;
    out.hour = time >> 11;
    out.minute = (time >> 5) & 0x3F;
    out.second = (time & 0x1F) * 2;
    return out;
}

namespace {

// Calls visit(id, blockWithHeader, data) for each block until visit returns
// false or a block would run past the end; returns the bytes walked over, so
// a result short of extra.size() means a malformed list.
template <typename Visit>
std::size_t ForEachExtra(std::string_view extra, Visit visit) {
    const auto* p = reinterpret_cast<const unsigned char*>(extra.data());
    std::size_t pos = 0;
    while (extra.size() - pos >= 4) {
        std::uint16_t id = Get16(p + pos);
        std::size_t length = Get16(p + pos + 2);
        if (extra.size() - pos - 4 < length)
            break;
        if (!visit(id, extra.substr(pos, 4 + length), extra.substr(pos + 4, length))) {
            return extra.size();
        }
        pos += 4 + length;
    }
    return pos;
}

}  // namespace

bool FindExtra(std::string_view extra, std::uint16_t id, std::string_view* data) {
    bool found = false;
    ForEachExtra(extra, [&](std::uint16_t blockId, std::string_view, std::string_view blockData) {
        if (blockId != id)
            return true;
        *data = blockData;
        found = true;
        return false;
    });
    return found;
}

std::string WithoutExtra(std::string_view extra, std::uint16_t id) {
    std::string out;
    std::size_t used =
        ForEachExtra(extra, [&](std::uint16_t blockId, std::string_view block, std::string_view) {
            if (blockId != id)
                out.append(block);
            return true;
        });
    // Bytes that do not form a block (some writers pad the field) are kept as
    // they were; other readers skip them alike.
    out.append(extra.substr(used));
    return out;
}

}  // namespace zip::format
