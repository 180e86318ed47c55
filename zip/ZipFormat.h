#pragma once
// Internal to the zip module: record layouts, little-endian access, CRC-32,
// the traditional PKWARE cipher and MS-DOS time conversion.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "zip/ZipTypes.h"

namespace zip::format {

inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
inline constexpr std::uint32_t kEndSignature = 0x06054b50;
inline constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
inline constexpr std::uint32_t kDataDescriptorSignature = 0x08074b50;

inline constexpr std::size_t kLocalHeaderSize = 30;
inline constexpr std::size_t kCentralHeaderSize = 46;
inline constexpr std::size_t kEndSize = 22;
inline constexpr std::size_t kZip64EndSize = 56;
inline constexpr std::size_t kZip64LocatorSize = 20;
inline constexpr std::size_t kDataDescriptorSize = 16;  // with its signature
inline constexpr std::size_t kMaxCommentSize = 0xFFFF;
inline constexpr std::size_t kEncryptionHeaderSize = 12;

inline constexpr std::uint16_t kFlagEncrypted = 1u << 0;
inline constexpr std::uint16_t kFlagDataDescriptor = 1u << 3;
inline constexpr std::uint16_t kFlagStrongEncryption = 1u << 6;
inline constexpr std::uint16_t kFlagUtf8 = 1u << 11;
inline constexpr std::uint16_t kFlagMaskedHeaders = 1u << 13;

inline constexpr std::uint16_t kMethodAes = 99;
inline constexpr std::uint16_t kExtraZip64 = 0x0001;
inline constexpr std::uint16_t kExtraUnicodePath = 0x7075;

inline constexpr std::uint32_t kMax32 = 0xFFFFFFFFu;
inline constexpr std::uint16_t kMax16 = 0xFFFFu;

inline std::uint16_t Get16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Get64(const unsigned char* p) {
    return static_cast<std::uint64_t>(Get32(p)) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32);
}
inline void Put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
inline void Put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// CRC-32 as zip uses it (the zlib polynomial), updated chunk by chunk.
std::uint32_t UpdateCrc32(std::uint32_t crc, const void* data, std::size_t size);

// The traditional PKWARE stream cipher ("ZipCrypto").
class TraditionalCipher {
  public:
    explicit TraditionalCipher(std::string_view password);
    void Encrypt(unsigned char* data, std::size_t size);
    void Decrypt(unsigned char* data, std::size_t size);

  private:
    unsigned char KeyByte() const;
    void UpdateKeys(unsigned char plain);

    std::array<std::uint32_t, 3> keys_;
};

// MS-DOS date and time words; out-of-range fields are clamped.
std::uint16_t DosTime(const DateTime& time);
std::uint16_t DosDate(const DateTime& time);
DateTime FromDos(std::uint16_t time, std::uint16_t date);

// Extra-field blocks: finds the data of block `id` (false when absent or the
// block list is malformed before it), or copies the list without block `id`.
bool FindExtra(std::string_view extra, std::uint16_t id, std::string_view* data);
std::string WithoutExtra(std::string_view extra, std::uint16_t id);

}  // namespace zip::format
