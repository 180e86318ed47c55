#include "zip/ZipReader.h"

#include <zlib.h>

#include <algorithm>
#include <optional>

#include "platform/Text.h"
#include "zip/ZipFormat.h"
#include "zip/ZipNames.h"

namespace zip {

using namespace format;

namespace {

constexpr std::size_t kChunkSize = 64 * 1024;

Error Corrupt(std::string message) {
    return MakeError(ErrorCode::kCorrupt, std::move(message));
}

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string MemberLabel(const Member& member) {
    return "member \"" + member.utf8Name + "\": ";
}

// The name as UTF-8, from the flag, the Info-ZIP Unicode path field
// (version 1, then the CRC-32 of the stored name, then the UTF-8 name) or
// code page 437.
std::string Utf8NameOf(std::string_view name, bool flaggedUtf8, std::string_view extra) {
    if ((flaggedUtf8 && text::IsValidUtf8(name)) || IsAscii(name))
        return std::string(name);
    std::string_view unicode;
    if (FindExtra(extra, kExtraUnicodePath, &unicode) && unicode.size() > 5 && unicode[0] == 1) {
        const auto* p = reinterpret_cast<const unsigned char*>(unicode.data());
        std::string_view utf8 = unicode.substr(5);
        if (Get32(p + 1) == UpdateCrc32(0, name.data(), name.size()) && text::IsValidUtf8(utf8)) {
            return std::string(utf8);
        }
    }
    return Cp437ToUtf8(name);
}

bool LooksLikeDirectory(std::string_view name, std::uint16_t versionMadeBy,
                        std::uint32_t external) {
    if (!name.empty() && (name.back() == '/' || name.back() == '\\'))
        return true;
    unsigned host = versionMadeBy >> 8;
    constexpr unsigned kHostMsDos = 0, kHostUnix = 3, kHostNtfs = 11, kHostVfat = 14;
    if (host == kHostUnix && ((external >> 16) & 0170000u) == 0040000u)
        return true;
    bool dosAttributes =
        host == kHostMsDos || host == kHostUnix || host == kHostNtfs || host == kHostVfat;
    return dosAttributes && (external & 0x10u) != 0;
}

// zlib raw inflate, ended whatever happens.
class Inflater {
  public:
    Inflater() { ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
    ~Inflater() {
        if (ready_)
            inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    bool Ready() const { return ready_; }
    z_stream& Stream() { return stream_; }

  private:
    z_stream stream_{};
    bool ready_ = false;
};

// The fields of the end of central directory record, classic or Zip64.
struct EndRecord {
    std::uint64_t disk = 0;
    std::uint64_t directoryDisk = 0;
    std::uint64_t countOnDisk = 0;
    std::uint64_t count = 0;
    std::uint64_t directorySize = 0;
    std::uint64_t directoryOffset = 0;
    std::uint64_t directoryEnd = 0;  // the central directory ends before this
};

bool ReadAll(Source& source, std::uint64_t offset, void* buffer, std::size_t size) {
    return source.ReadAt(offset, buffer, size) == size;
}

// Replaces the classic values by those of a Zip64 end record when a locator
// right before the classic record points at one. Member names and comments
// can hold bytes that look like a locator, so a record that is missing or
// disagrees with a classic field that is not a Zip64 marker is ignored, unless
// the classic record needs it.
Error ReadZip64End(Source& source, std::uint64_t endOffset, EndRecord* end) {
    if (endOffset < kZip64LocatorSize + kZip64EndSize)
        return {};
    unsigned char locator[kZip64LocatorSize];
    if (!ReadAll(source, endOffset - kZip64LocatorSize, locator, sizeof locator)) {
        return MakeError(ErrorCode::kReadFailed, "cannot read the Zip64 locator");
    }
    if (Get32(locator) != kZip64LocatorSignature)
        return {};
    const bool needed = end->disk == kMax16 || end->directoryDisk == kMax16 ||
                        end->countOnDisk == kMax16 || end->count == kMax16 ||
                        end->directorySize == kMax32 || end->directoryOffset == kMax32;

    // Data in front of the archive shifts the record from where the locator
    // says; then it sits right before the locator.
    const std::uint64_t latest = endOffset - kZip64LocatorSize - kZip64EndSize;
    std::optional<EndRecord> found;
    for (std::uint64_t candidate : {Get64(locator + 8), latest}) {
        unsigned char record[kZip64EndSize];
        if (candidate > latest || !ReadAll(source, candidate, record, sizeof record) ||
            Get32(record) != kZip64EndSignature) {
            continue;
        }
        found = EndRecord{Get32(record + 16), Get32(record + 20), Get64(record + 24),
                          Get64(record + 32), Get64(record + 40), Get64(record + 48),
                          candidate};
        break;
    }
    auto agrees = [](std::uint64_t classic, std::uint64_t marker, std::uint64_t wide) {
        return classic == marker || classic == wide;
    };
    const bool consistent = found && agrees(end->disk, kMax16, found->disk) &&
                            agrees(end->directoryDisk, kMax16, found->directoryDisk) &&
                            agrees(end->countOnDisk, kMax16, found->countOnDisk) &&
                            agrees(end->count, kMax16, found->count) &&
                            agrees(end->directorySize, kMax32, found->directorySize) &&
                            agrees(end->directoryOffset, kMax32, found->directoryOffset);
    if (!consistent) {
        return needed ? Corrupt("Zip64 end of central directory record not found") : Error{};
    }
    if (Get32(locator + 4) != 0 || Get32(locator + 16) > 1) {
        return MakeError(ErrorCode::kUnsupported,
                         "archives split over several disks are not supported");
    }
    *end = *found;
    return {};
}

}  // namespace

Error Reader::ReadExact(std::uint64_t offset, void* buffer, std::size_t size) {
    if (source_->ReadAt(offset, buffer, size) != size) {
        return MakeError(ErrorCode::kReadFailed, "cannot read " + std::to_string(size) +
                                                     " bytes at offset " + std::to_string(offset));
    }
    return {};
}

Error Reader::Open(Source& source, std::string_view password) {
    members_.clear();
    comment_.clear();
    prefix_ = 0;
    centralStart_ = 0;
    password_ = password;
    source_ = &source;
    // Any failure below leaves the reader closed.
    struct CloseOnFailure {
        Reader& reader;
        bool keep = false;
        ~CloseOnFailure() {
            if (!keep) {
                reader.source_ = nullptr;
                reader.members_.clear();
                reader.comment_.clear();
            }
        }
    } guard{*this};

    const std::uint64_t size = source.Size();
    if (size < kEndSize)
        return MakeError(ErrorCode::kNotAnArchive, "too small to be a zip archive");

    // The end record sits in the last 22 bytes plus a comment of up to 64 KiB.
    const std::size_t tailSize =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, kEndSize + kMaxCommentSize));
    const std::uint64_t tailOffset = size - tailSize;
    std::string tail(tailSize, '\0');
    if (Error error = ReadExact(tailOffset, tail.data(), tailSize); !error.Ok())
        return error;
    const auto* t = reinterpret_cast<const unsigned char*>(tail.data());
    std::optional<std::size_t> endPos;
    for (std::size_t pos = tailSize - kEndSize + 1; pos-- > 0;) {
        if (Get32(t + pos) == kEndSignature && pos + kEndSize + Get16(t + pos + 20) <= tailSize) {
            endPos = pos;
            break;
        }
    }
    if (!endPos)
        return MakeError(ErrorCode::kNotAnArchive, "no end of central directory record");
    const unsigned char* end = t + *endPos;
    const std::uint64_t endOffset = tailOffset + *endPos;
    comment_.assign(tail, *endPos + kEndSize, Get16(end + 20));

    EndRecord record;
    record.disk = Get16(end + 4);
    record.directoryDisk = Get16(end + 6);
    record.countOnDisk = Get16(end + 8);
    record.count = Get16(end + 10);
    record.directorySize = Get32(end + 12);
    record.directoryOffset = Get32(end + 16);
    record.directoryEnd = endOffset;
    if (Error error = ReadZip64End(source, endOffset, &record); !error.Ok())
        return error;
    const std::uint64_t count = record.count;
    const std::uint64_t directorySize = record.directorySize;
    const std::uint64_t directoryOffset = record.directoryOffset;
    const std::uint64_t directoryEnd = record.directoryEnd;

    if (record.disk != 0 || record.directoryDisk != 0 || record.countOnDisk != count) {
        return MakeError(ErrorCode::kUnsupported,
                         "archives split over several disks are not supported");
    }
    if (directorySize > directoryEnd || count > directorySize / kCentralHeaderSize) {
        return Corrupt("central directory size does not fit the archive");
    }
    if (count > kMaxMembers) {
        return MakeError(ErrorCode::kTooLarge, "too many members (" + std::to_string(count) + ")");
    }
    if (directorySize > kMaxCentralDirectorySize) {
        return MakeError(ErrorCode::kTooLarge, "central directory too large");
    }
    const std::uint64_t actualStart = directoryEnd - directorySize;
    if (directoryOffset > actualStart)
        return Corrupt("central directory offset is beyond its end");
    if (directoryOffset < actualStart && count > 0) {
        // Either something sits between the directory and the end record, or
        // the whole archive was appended to other data (self-extractors).
        unsigned char signature[4];
        if (Error error = ReadExact(directoryOffset, signature, 4); !error.Ok())
            return error;
        if (Get32(signature) != kCentralHeaderSignature) {
            if (Error error = ReadExact(actualStart, signature, 4); !error.Ok())
                return error;
            if (Get32(signature) != kCentralHeaderSignature)
                return Corrupt("central directory not found");
            prefix_ = actualStart - directoryOffset;
        }
    }
    centralStart_ = directoryOffset + prefix_;
    if (Error error = ReadCentralDirectory(centralStart_, directorySize, count, directoryEnd);
        !error.Ok()) {
        return error;
    }
    if (Error error = CheckLayout(); !error.Ok())
        return error;
    guard.keep = true;
    return {};
}

Error Reader::ReadCentralDirectory(std::uint64_t offset, std::uint64_t size, std::uint64_t count,
                                   std::uint64_t end) {
    if (offset > end || size > end - offset)
        return Corrupt("central directory runs past its end");
    std::string directory(static_cast<std::size_t>(size), '\0');
    if (Error error = ReadExact(offset, directory.data(), directory.size()); !error.Ok())
        return error;
    members_.reserve(static_cast<std::size_t>(count));
    const auto* p = reinterpret_cast<const unsigned char*>(directory.data());
    std::size_t pos = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        std::size_t used = 0;
        if (Error error = ParseEntry(p + pos, directory.size() - pos, &used); !error.Ok())
            return error;
        pos += used;
    }
    return {};
}

Error Reader::ParseEntry(const unsigned char* entry, std::size_t available, std::size_t* used) {
    if (available < kCentralHeaderSize || Get32(entry) != kCentralHeaderSignature) {
        return Corrupt("central directory entry " + std::to_string(members_.size()) +
                       " is damaged");
    }
    const std::size_t nameLength = Get16(entry + 28);
    const std::size_t extraLength = Get16(entry + 30);
    const std::size_t commentLength = Get16(entry + 32);
    const std::size_t total = kCentralHeaderSize + nameLength + extraLength + commentLength;
    if (total > available) {
        return Corrupt("central directory entry " + std::to_string(members_.size()) +
                       " runs past the directory");
    }
    *used = total;

    Member member;
    member.versionMadeBy = Get16(entry + 4);
    member.versionNeeded = Get16(entry + 6);
    member.flags = Get16(entry + 8);
    member.method = Get16(entry + 10);
    member.dosTime = Get16(entry + 12);
    member.dosDate = Get16(entry + 14);
    member.crc = Get32(entry + 16);
    member.compressedSize = Get32(entry + 20);
    member.size = Get32(entry + 24);
    std::uint32_t startDisk = Get16(entry + 34);
    member.internalAttributes = Get16(entry + 36);
    member.externalAttributes = Get32(entry + 38);
    std::uint64_t localOffset = Get32(entry + 42);
    const auto* text = reinterpret_cast<const char*>(entry + kCentralHeaderSize);
    member.name.assign(text, nameLength);
    member.extra.assign(text + nameLength, extraLength);
    member.comment.assign(text + nameLength + extraLength, commentLength);
    member.utf8 = (member.flags & kFlagUtf8) != 0;
    member.utf8Name = Utf8NameOf(member.name, member.utf8, member.extra);

    // Zip64: each field that is all ones continues in the extra block, in
    // this order, 8 bytes each (the disk number 4).
    const bool needsZip64 = member.size == kMax32 || member.compressedSize == kMax32 ||
                            localOffset == kMax32 || startDisk == kMax16;
    if (needsZip64) {
        std::string_view zip64;
        if (!FindExtra(member.extra, kExtraZip64, &zip64)) {
            return Corrupt(MemberLabel(member) + "Zip64 sizes are missing");
        }
        const auto* z = reinterpret_cast<const unsigned char*>(zip64.data());
        std::size_t at = 0;
        auto take64 = [&](std::uint64_t* field) {
            if (*field != kMax32)
                return true;
            if (zip64.size() - at < 8)
                return false;
            *field = Get64(z + at);
            at += 8;
            return true;
        };
        if (!take64(&member.size) || !take64(&member.compressedSize) || !take64(&localOffset)) {
            return Corrupt(MemberLabel(member) + "Zip64 sizes are missing");
        }
        if (startDisk == kMax16) {
            if (zip64.size() - at < 4)
                return Corrupt(MemberLabel(member) + "Zip64 sizes are missing");
            startDisk = Get32(z + at);
        }
    }
    if (startDisk != 0) {
        return MakeError(ErrorCode::kUnsupported,
                         "archives split over several disks are not supported");
    }
    // Local data lies in front of the central directory (offsets counted
    // from the archive's own start).
    const std::uint64_t directoryOffset = centralStart_ - prefix_;
    if (directoryOffset < kLocalHeaderSize || localOffset > directoryOffset - kLocalHeaderSize) {
        return Corrupt(MemberLabel(member) + "local header offset is out of range");
    }
    member.localHeaderOffset = localOffset + prefix_;
    if (member.compressedSize > centralStart_ - member.localHeaderOffset - kLocalHeaderSize) {
        return Corrupt(MemberLabel(member) + "compressed size runs past the data");
    }

    if ((member.flags & kFlagStrongEncryption) != 0) {
        member.encryption = Encryption::kStrong;
    } else if (member.method == kMethodAes) {
        member.encryption = Encryption::kAes;
    } else if ((member.flags & kFlagEncrypted) != 0) {
        member.encryption = Encryption::kTraditional;
    }
    member.isDirectory =
        LooksLikeDirectory(member.name, member.versionMadeBy, member.externalAttributes);
    member.modified = FromDos(member.dosTime, member.dosDate);
    members_.push_back(std::move(member));
    return {};
}

Error Reader::CheckLayout() const {
    // Members whose data overlap are the trick of small archives that expand
    // to enormous sizes; no tool writes them.
    std::vector<const Member*> byOffset;
    byOffset.reserve(members_.size());
    for (const Member& member : members_)
        byOffset.push_back(&member);
    std::sort(byOffset.begin(), byOffset.end(), [](const Member* a, const Member* b) {
        return a->localHeaderOffset < b->localHeaderOffset;
    });
    for (std::size_t i = 1; i < byOffset.size(); ++i) {
        const Member& before = *byOffset[i - 1];
        const std::uint64_t beforeEnd =
            before.localHeaderOffset + kLocalHeaderSize + before.compressedSize;
        if (beforeEnd > byOffset[i]->localHeaderOffset) {
            return Corrupt("members \"" + before.utf8Name + "\" and \"" + byOffset[i]->utf8Name +
                           "\" overlap");
        }
    }
    return {};
}

std::optional<std::size_t> Reader::Find(std::string_view name, bool ignoreCase) const {
    auto same = [&](std::string_view candidate) {
        return ignoreCase ? text::EqualsNoCase(candidate, name) : candidate == name;
    };
    for (std::size_t i = 0; i < members_.size(); ++i) {
        if (same(members_[i].name) || same(members_[i].utf8Name))
            return i;
    }
    return std::nullopt;
}

Error Reader::LocateData(const Member& member, std::uint64_t* dataOffset, std::string* localExtra) {
    unsigned char header[kLocalHeaderSize];
    if (Error error = ReadExact(member.localHeaderOffset, header, sizeof header); !error.Ok())
        return error;
    if (Get32(header) != kLocalHeaderSignature)
        return Corrupt(MemberLabel(member) + "local header not found");
    const std::uint64_t nameLength = Get16(header + 26);
    const std::uint64_t extraLength = Get16(header + 28);
    const std::uint64_t start =
        member.localHeaderOffset + kLocalHeaderSize + nameLength + extraLength;
    if (start > centralStart_ || member.compressedSize > centralStart_ - start) {
        return Corrupt(MemberLabel(member) + "data runs into the central directory");
    }
    if (localExtra != nullptr) {
        localExtra->assign(static_cast<std::size_t>(extraLength), '\0');
        if (Error error = ReadExact(start - extraLength, localExtra->data(), localExtra->size());
            !error.Ok()) {
            return error;
        }
    }
    *dataOffset = start;
    return {};
}

Error Reader::ExtractToMemory(std::size_t index, std::string* out, std::uint64_t maxSize) {
    out->clear();
    if (source_ == nullptr || index >= members_.size()) {
        return MakeError(ErrorCode::kInvalidArgument, "no such member");
    }
    const Member& member = members_[index];
    if (member.size > maxSize) {
        return MakeError(ErrorCode::kTooLarge,
                         MemberLabel(member) + "size " + std::to_string(member.size) +
                             " is over the limit of " + std::to_string(maxSize));
    }
    // Reserve no more than the data can plausibly yield; a lying header must
    // not make us allocate.
    constexpr std::uint64_t kReserveCap = 16u << 20;
    out->reserve(static_cast<std::size_t>(std::min(member.size, kReserveCap)));
    StringSink sink(*out, static_cast<std::size_t>(std::min<std::uint64_t>(maxSize, SIZE_MAX)));
    Error error = ExtractTo(index, sink);
    if (!error.Ok())
        out->clear();
    return error;
}

Error Reader::ExtractTo(std::size_t index, Sink& sink) {
    if (source_ == nullptr || index >= members_.size()) {
        return MakeError(ErrorCode::kInvalidArgument, "no such member");
    }
    const Member& member = members_[index];
    const std::string label = MemberLabel(member);
    switch (member.encryption) {
        case Encryption::kAes:
            return MakeError(ErrorCode::kUnsupported, label + "AES encryption is not supported");
        case Encryption::kStrong:
            return MakeError(ErrorCode::kUnsupported, label + "strong encryption is not supported");
        case Encryption::kTraditional:
            if (password_.empty())
                return MakeError(ErrorCode::kPasswordRequired,
                                 label + "encrypted, no password given");
            break;
        case Encryption::kNone:
            break;
    }
    if (member.method != kMethodStored && member.method != kMethodDeflate) {
        return MakeError(
            ErrorCode::kUnsupported,
            label + "compression method " + std::to_string(member.method) + " is not supported");
    }

    std::uint64_t position = 0;
    if (Error error = LocateData(member, &position, nullptr); !error.Ok())
        return error;
    std::uint64_t remaining = member.compressedSize;

    std::optional<TraditionalCipher> cipher;
    if (member.encryption == Encryption::kTraditional) {
        if (remaining < kEncryptionHeaderSize)
            return Corrupt(label + "encryption header is missing");
        unsigned char header[kEncryptionHeaderSize];
        if (Error error = ReadExact(position, header, sizeof header); !error.Ok())
            return error;
        cipher.emplace(password_);
        cipher->Decrypt(header, sizeof header);
        // The last header byte repeats the CRC's high byte, or the time's
        // when the CRC was written after the data.
        const auto expected = static_cast<unsigned char>(
            (member.flags & kFlagDataDescriptor) != 0 ? member.dosTime >> 8 : member.crc >> 24);
        if (header[kEncryptionHeaderSize - 1] != expected) {
            return MakeError(ErrorCode::kWrongPassword, label + "wrong password");
        }
        position += kEncryptionHeaderSize;
        remaining -= kEncryptionHeaderSize;
    }
    const std::string damaged = cipher ? "data damaged or wrong password" : "data damaged";
    const bool stored = member.method == kMethodStored;
    if (stored && remaining != member.size)
        return Corrupt(label + "stored size does not match");

    std::optional<Inflater> inflater;
    if (!stored) {
        inflater.emplace();
        if (!inflater->Ready())
            return MakeError(ErrorCode::kUnsupported, "cannot start decompression");
    }
    std::vector<unsigned char> input(kChunkSize);
    std::vector<unsigned char> output(stored ? 0 : kChunkSize);
    std::uint32_t crc = 0;
    std::uint64_t produced = 0;
    bool ended = stored || (member.size == 0 && remaining == 0);

    auto deliver = [&](const unsigned char* data, std::size_t size) -> Error {
        if (size > member.size - produced)
            return Corrupt(label + "more data than the declared size");
        produced += size;
        crc = UpdateCrc32(crc, data, size);
        if (size > 0 && !sink.Write(data, size)) {
            return MakeError(ErrorCode::kWriteFailed, label + "the output did not accept the data");
        }
        return {};
    };

    while (remaining > 0) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kChunkSize));
        if (Error error = ReadExact(position, input.data(), count); !error.Ok())
            return error;
        position += count;
        remaining -= count;
        if (cipher)
            cipher->Decrypt(input.data(), count);
        if (stored) {
            if (Error error = deliver(input.data(), count); !error.Ok())
                return error;
            continue;
        }
        z_stream& stream = inflater->Stream();
        stream.next_in = input.data();
        stream.avail_in = static_cast<uInt>(count);
        do {
            stream.next_out = output.data();
            stream.avail_out = static_cast<uInt>(output.size());
            int result = inflate(&stream, Z_NO_FLUSH);
            if (result == Z_STREAM_END) {
                ended = true;
            } else if (result != Z_OK && !(result == Z_BUF_ERROR && stream.avail_in == 0)) {
                return Corrupt(label + damaged);
            }
            if (Error error = deliver(output.data(), output.size() - stream.avail_out); !error.Ok())
                return error;
        } while (!ended && (stream.avail_in > 0 || stream.avail_out == 0));
        if (ended)
            break;
    }
    if (!ended)
        return Corrupt(label + "compressed data ends early");
    if (produced != member.size)
        return Corrupt(label + "less data than the declared size");
    if (crc != member.crc) {
        return MakeError(ErrorCode::kCrcMismatch,
                         label + "CRC mismatch" + (cipher ? " (wrong password?)" : ""));
    }
    return {};
}

Error Reader::ReadLocalExtra(std::size_t index, std::string* localExtra) {
    if (source_ == nullptr || index >= members_.size()) {
        return MakeError(ErrorCode::kInvalidArgument, "no such member");
    }
    std::uint64_t position = 0;
    return LocateData(members_[index], &position, localExtra);
}

Error Reader::ReadRaw(std::size_t index, Sink& sink) {
    if (source_ == nullptr || index >= members_.size()) {
        return MakeError(ErrorCode::kInvalidArgument, "no such member");
    }
    const Member& member = members_[index];
    std::uint64_t position = 0;
    if (Error error = LocateData(member, &position, nullptr); !error.Ok())
        return error;
    std::vector<char> buffer(kChunkSize);
    for (std::uint64_t remaining = member.compressedSize; remaining > 0;) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kChunkSize));
        if (Error error = ReadExact(position, buffer.data(), count); !error.Ok())
            return error;
        if (!sink.Write(buffer.data(), count)) {
            return MakeError(ErrorCode::kWriteFailed,
                             MemberLabel(member) + "the output did not accept the data");
        }
        position += count;
        remaining -= count;
    }
    return {};
}

}  // namespace zip
