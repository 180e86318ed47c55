#pragma once
// Reading zip archives: list the members, extract one into memory or stream
// it to a sink. Stored and deflated members, plain or under the traditional
// PKWARE encryption; Zip64 sizes and offsets are read. Every length and offset
// in the archive is checked against the source before it is used.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zip/ZipStreams.h"
#include "zip/ZipTypes.h"

namespace zip {

enum class Encryption {
    kNone,
    kTraditional,  // PKWARE "ZipCrypto": the one this module decrypts
    kAes,          // WinZip AES (method 99)
    kStrong,       // PKWARE strong encryption
};

// One central-directory entry.
struct Member {
    // The name bytes exactly as stored. They are UTF-8 when `utf8` is set;
    // otherwise they are in the writer's OEM code page (code page 437 for
    // most tools).
    std::string name;
    bool utf8 = false;  // general-purpose flag bit 11
    // The name as UTF-8 text, always valid: `name` itself when plain ASCII or
    // flagged UTF-8 (and valid); else the Info-ZIP Unicode path field when it
    // is present and matches the stored name; else `name` read as code page
    // 437. Separators are kept as stored.
    std::string utf8Name;

    std::uint64_t size = 0;            // uncompressed
    std::uint64_t compressedSize = 0;  // including a 12-byte encryption header
    std::uint16_t method = 0;          // kMethodStored, kMethodDeflate, or other numbers
    std::uint32_t crc = 0;
    Encryption encryption = Encryption::kNone;
    bool isDirectory = false;  // name ends in a separator, or the MS-DOS folder attribute
    DateTime modified;

    // Raw fields, kept so a member can be copied into another archive as it is.
    std::uint16_t flags = 0;
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::string extra;    // central-directory extra field
    std::string comment;  // member comment
    std::uint64_t localHeaderOffset = 0;

    bool IsEncrypted() const { return encryption != Encryption::kNone; }
};

class Reader {
  public:
    // The most central-directory entries and bytes an archive may have.
    static constexpr std::size_t kMaxMembers = 1u << 20;
    static constexpr std::uint64_t kMaxCentralDirectorySize = 256ull << 20;

    Reader() = default;
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Reads the central directory of the archive in `source`, which must stay
    // alive and unchanged while this reader uses it. The password (empty for
    // none) is used for encrypted members; it can be changed later.
    Error Open(Source& source, std::string_view password = {});
    void SetPassword(std::string_view password) { password_ = password; }
    bool IsOpen() const { return source_ != nullptr; }

    const std::vector<Member>& Members() const { return members_; }
    std::size_t Count() const { return members_.size(); }
    const Member& At(std::size_t index) const { return members_.at(index); }
    const std::string& Comment() const { return comment_; }

    // The first member whose stored name or UTF-8 name equals `name`; either
    // exactly or ignoring ASCII case.
    std::optional<std::size_t> Find(std::string_view name, bool ignoreCase = false) const;

    // Extracts a member into `out` (replaced). A member whose declared size
    // exceeds `maxSize` is refused with kTooLarge before anything is read.
    // On failure `out` is left empty.
    Error ExtractToMemory(std::size_t index, std::string* out, std::uint64_t maxSize);

    // Extracts a member chunk by chunk (at most 64 KiB each) into `sink`, in
    // bounded memory. The CRC is checked at the end, so on failure the sink
    // has already received bytes that must be thrown away.
    Error ExtractTo(std::size_t index, Sink& sink);

    // For copying a member into another archive unchanged: the extra field
    // of its local header, and its data exactly as stored (compressed,
    // encrypted).
    Error ReadLocalExtra(std::size_t index, std::string* localExtra);
    Error ReadRaw(std::size_t index, Sink& sink);

  private:
    Error ReadCentralDirectory(std::uint64_t offset, std::uint64_t size, std::uint64_t count,
                               std::uint64_t end);
    Error ParseEntry(const unsigned char* entry, std::size_t available, std::size_t* used);
    Error CheckLayout() const;
    // Validates the local header; gives where the stored data starts.
    Error LocateData(const Member& member, std::uint64_t* dataOffset, std::string* localExtra);
    Error ReadExact(std::uint64_t offset, void* buffer, std::size_t size);

    Source* source_ = nullptr;
    std::string password_;
    std::vector<Member> members_;
    std::string comment_;
    std::uint64_t centralStart_ = 0;  // local data must end before this
    std::uint64_t prefix_ = 0;        // bytes in front of the archive (self-extractors)
};

}  // namespace zip
