#include "zip/ZipWriter.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "zip/ZipFormat.h"
#include "zip/ZipNames.h"

namespace zip {

using namespace format;

namespace {

constexpr std::size_t kChunkSize = 64 * 1024;
// Version 2.0: deflate, folders and traditional encryption.
constexpr std::uint16_t kVersion20 = 20;
// "Made by Unix" with both attribute sets: MS-DOS attributes in the low
// byte (what Windows extractors use) and a Unix mode in the high half. Info-ZIP
// unzip converts the names of archives made by MS-DOS from the OEM code page
// even when they carry the UTF-8 flag, so MS-DOS is not claimed.
constexpr std::uint16_t kVersionMadeBy = (3 << 8) | kVersion20;
constexpr std::uint32_t kAttributeDirectory = (0040755u << 16) | 0x10;
constexpr std::uint32_t kAttributeArchive = (0100644u << 16) | 0x20;

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// zlib raw deflate, ended whatever happens.
class Deflater {
  public:
    explicit Deflater(int level) {
        ready_ =
            deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (ready_)
            deflateEnd(&stream_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    bool Ready() const { return ready_; }

    // Compresses `size` bytes (with `finish`, also the end of the stream) and
    // hands each output chunk to `out`, which returns false to stop.
    template <typename Out>
    bool Run(const unsigned char* data, std::size_t size, bool finish, Out&& out) {
        unsigned char buffer[kChunkSize];
        // zlib counts in 32-bit units; feed large inputs in slices.
        do {
            const std::size_t slice = std::min<std::size_t>(size, 1u << 30);
            stream_.next_in = data;
            stream_.avail_in = static_cast<uInt>(slice);
            data += slice;
            size -= slice;
            const int flush = finish && size == 0 ? Z_FINISH : Z_NO_FLUSH;
            int result = Z_OK;
            do {
                stream_.next_out = buffer;
                stream_.avail_out = sizeof buffer;
                result = deflate(&stream_, flush);
                if (result == Z_STREAM_ERROR)
                    return false;
                const std::size_t produced = sizeof buffer - stream_.avail_out;
                if (produced > 0 && !out(buffer, produced))
                    return false;
            } while (stream_.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
        } while (size > 0);
        return true;
    }

  private:
    z_stream stream_{};
    bool ready_ = false;
};

std::string LocalHeader(const Member& member, std::string_view localExtra, bool sizesFollow) {
    std::string out;
    Put32(out, kLocalHeaderSignature);
    Put16(out, member.versionNeeded);
    Put16(out, member.flags);
    Put16(out, member.method);
    Put16(out, member.dosTime);
    Put16(out, member.dosDate);
    Put32(out, sizesFollow ? 0 : member.crc);
    Put32(out, sizesFollow ? 0 : static_cast<std::uint32_t>(member.compressedSize));
    Put32(out, sizesFollow ? 0 : static_cast<std::uint32_t>(member.size));
    Put16(out, static_cast<std::uint16_t>(member.name.size()));
    Put16(out, static_cast<std::uint16_t>(localExtra.size()));
    out += member.name;
    out += localExtra;
    return out;
}

void AppendCentralHeader(std::string& out, const Member& member) {
    Put32(out, kCentralHeaderSignature);
    Put16(out, member.versionMadeBy);
    Put16(out, member.versionNeeded);
    Put16(out, member.flags);
    Put16(out, member.method);
    Put16(out, member.dosTime);
    Put16(out, member.dosDate);
    Put32(out, member.crc);
    Put32(out, static_cast<std::uint32_t>(member.compressedSize));
    Put32(out, static_cast<std::uint32_t>(member.size));
    Put16(out, static_cast<std::uint16_t>(member.name.size()));
    Put16(out, static_cast<std::uint16_t>(member.extra.size()));
    Put16(out, static_cast<std::uint16_t>(member.comment.size()));
    Put16(out, 0);  // disk
    Put16(out, member.internalAttributes);
    Put32(out, member.externalAttributes);
    Put32(out, static_cast<std::uint32_t>(member.localHeaderOffset));
    out += member.name;
    out += member.extra;
    out += member.comment;
}

Error TooLarge(std::string what) {
    return MakeError(ErrorCode::kTooLarge,
                     std::move(what) + ": would need Zip64, which is not written");
}

}  // namespace

Writer::Writer(Sink& sink) : sink_(sink), scratch_(kChunkSize) {
    // Encryption headers need unpredictable bytes, not cryptographic ones:
    // the cipher itself is weak. Mix the system's entropy with the clock.
    std::random_device device;
    auto ticks =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::seed_seq seed{device(), device(), static_cast<unsigned>(ticks),
                       static_cast<unsigned>(ticks >> 32)};
    random_.seed(seed);
}

Error Writer::Fail(Error error) {
    failed_ = true;
    return error;
}

Error Writer::Begin() {
    if (finished_)
        return MakeError(ErrorCode::kInvalidArgument, "the archive is already finished");
    if (failed_)
        return MakeError(ErrorCode::kInvalidArgument,
                         "an earlier write failed; the archive is incomplete");
    if (entries_.size() >= kMax16 - 1)
        return TooLarge("65535 members or more");
    if (offset_ >= kMax32)
        return TooLarge("archive of 4 GiB or more");
    return {};
}

Error Writer::Emit(const void* data, std::size_t size) {
    if (size > 0 && !sink_.Write(data, size)) {
        return Fail(MakeError(ErrorCode::kWriteFailed, "the output did not accept the data"));
    }
    offset_ += size;
    return {};
}

Error Writer::PrepareMember(std::string_view name, const DateTime& modified, Member* member) {
    std::string stored(name);
    std::replace(stored.begin(), stored.end(), '\\', '/');
    if (!text::IsValidUtf8(stored) || stored.size() > kMax16) {
        return MakeError(ErrorCode::kInvalidArgument, "member name is not valid UTF-8 or too long");
    }
    if (!IsSafeMemberName(stored))
        return MakeError(ErrorCode::kUnsafeName, "unsafe member name \"" + stored + "\"");
    if (names_.count(stored) != 0) {
        return MakeError(ErrorCode::kDuplicateName, "member \"" + stored + "\" was already added");
    }
    member->utf8 = !IsAscii(stored);
    member->flags = member->utf8 ? kFlagUtf8 : 0;
    member->name = stored;
    member->utf8Name = std::move(stored);
    member->versionMadeBy = kVersionMadeBy;
    member->versionNeeded = kVersion20;
    member->modified = modified;
    member->dosTime = DosTime(modified);
    member->dosDate = DosDate(modified);
    member->externalAttributes = kAttributeArchive;
    member->localHeaderOffset = offset_;
    return {};
}

Error Writer::CheckMethod(const MemberOptions& options) const {
    if (options.method != kMethodStored && options.method != kMethodDeflate) {
        return MakeError(ErrorCode::kInvalidArgument,
                         "only stored and deflate members can be written");
    }
    if (options.level < 0 || options.level > 9) {
        return MakeError(ErrorCode::kInvalidArgument, "compression level must be 0 to 9");
    }
    return {};
}

Error Writer::EmitLocalHeader(const Member& member, std::string_view localExtra, bool sizesFollow) {
    std::string header = LocalHeader(member, localExtra, sizesFollow);
    return Emit(header.data(), header.size());
}

Error Writer::EmitEncryptionHeader(TraditionalCipher& cipher, unsigned char checkByte) {
    unsigned char header[kEncryptionHeaderSize];
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t i = 0; i + 1 < kEncryptionHeaderSize; ++i)
        header[i] = static_cast<unsigned char>(byte(random_));
    header[kEncryptionHeaderSize - 1] = checkByte;
    cipher.Encrypt(header, sizeof header);
    return Emit(header, sizeof header);
}

Error Writer::EmitEncrypted(TraditionalCipher* cipher, const unsigned char* data,
                            std::size_t size) {
    if (cipher == nullptr)
        return Emit(data, size);
    while (size > 0) {
        const std::size_t count = std::min(size, scratch_.size());
        std::copy(data, data + count, scratch_.begin());
        cipher->Encrypt(scratch_.data(), count);
        if (Error error = Emit(scratch_.data(), count); !error.Ok())
            return error;
        data += count;
        size -= count;
    }
    return {};
}

Error Writer::EmitDataDescriptor(const Member& member) {
    std::string descriptor;
    Put32(descriptor, kDataDescriptorSignature);
    Put32(descriptor, member.crc);
    Put32(descriptor, static_cast<std::uint32_t>(member.compressedSize));
    Put32(descriptor, static_cast<std::uint32_t>(member.size));
    return Emit(descriptor.data(), descriptor.size());
}

Error Writer::AddFromMemory(std::string_view name, std::string_view data,
                            const MemberOptions& options) {
    if (Error error = Begin(); !error.Ok())
        return error;
    if (Error error = CheckMethod(options); !error.Ok())
        return error;
    Member member;
    if (Error error = PrepareMember(name, options.modified, &member); !error.Ok())
        return error;
    if (data.size() >= kMax32)
        return TooLarge("member \"" + member.name + "\" of 4 GiB or more");
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    member.size = data.size();
    member.crc = UpdateCrc32(0, bytes, data.size());

    std::string_view payload = data;
    std::string compressed;
    member.method = kMethodStored;
    if (options.method == kMethodDeflate) {
        Deflater deflater(options.level);
        if (!deflater.Ready())
            return MakeError(ErrorCode::kInvalidArgument, "cannot start compression");
        // Stop as soon as the output is no smaller than the input when storing
        // is allowed as a fall-back.
        bool complete =
            deflater.Run(bytes, data.size(), true, [&](const unsigned char* out, std::size_t size) {
                compressed.append(reinterpret_cast<const char*>(out), size);
                return !(options.storeIfNotSmaller && compressed.size() >= data.size());
            });
        if (complete) {
            payload = compressed;
            member.method = kMethodDeflate;
        } else if (!options.storeIfNotSmaller) {
            return MakeError(ErrorCode::kInvalidArgument, "compression failed");
        }
    }

    std::optional<TraditionalCipher> cipher;
    if (!options.password.empty()) {
        cipher.emplace(options.password);
        member.flags |= kFlagEncrypted;
    }
    member.compressedSize = payload.size() + (cipher ? kEncryptionHeaderSize : 0);
    if (member.compressedSize >= kMax32)
        return TooLarge("member \"" + member.name + "\" of 4 GiB or more");

    if (Error error = EmitLocalHeader(member, {}, false); !error.Ok())
        return error;
    if (cipher) {
        if (Error error =
                EmitEncryptionHeader(*cipher, static_cast<unsigned char>(member.crc >> 24));
            !error.Ok()) {
            return error;
        }
    }
    const auto* out = reinterpret_cast<const unsigned char*>(payload.data());
    if (Error error = EmitEncrypted(cipher ? &*cipher : nullptr, out, payload.size()); !error.Ok())
        return error;
    names_.insert(member.name);
    entries_.push_back(std::move(member));
    return {};
}

Error Writer::AddFromSource(std::string_view name, Source& data, const MemberOptions& options) {
    if (Error error = Begin(); !error.Ok())
        return error;
    if (Error error = CheckMethod(options); !error.Ok())
        return error;
    Member member;
    if (Error error = PrepareMember(name, options.modified, &member); !error.Ok())
        return error;
    const std::uint64_t size = data.Size();
    if (size >= kMax32)
        return TooLarge("member \"" + member.name + "\" of 4 GiB or more");
    member.size = size;
    member.method = options.method;
    member.flags |= kFlagDataDescriptor;

    std::optional<TraditionalCipher> cipher;
    if (!options.password.empty()) {
        cipher.emplace(options.password);
        member.flags |= kFlagEncrypted;
    }
    std::optional<Deflater> deflater;
    if (member.method == kMethodDeflate) {
        deflater.emplace(options.level);
        if (!deflater->Ready())
            return MakeError(ErrorCode::kInvalidArgument, "cannot start compression");
    }

    if (Error error = EmitLocalHeader(member, {}, true); !error.Ok())
        return error;
    const std::uint64_t dataStart = offset_;
    if (cipher) {
        if (Error error =
                EmitEncryptionHeader(*cipher, static_cast<unsigned char>(member.dosTime >> 8));
            !error.Ok()) {
            return error;
        }
    }
    TraditionalCipher* cipherPointer = cipher ? &*cipher : nullptr;
    std::vector<unsigned char> input(kChunkSize);
    std::uint32_t crc = 0;
    Error emitted;
    auto emitCompressed = [&](const unsigned char* out, std::size_t count) {
        emitted = EmitEncrypted(cipherPointer, out, count);
        return emitted.Ok();
    };
    for (std::uint64_t position = 0; position < size || (deflater && position == size);) {
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - position, kChunkSize));
        if (count > 0 && data.ReadAt(position, input.data(), count) != count) {
            return Fail(MakeError(ErrorCode::kReadFailed,
                                  "member \"" + member.name + "\": cannot read its data"));
        }
        crc = UpdateCrc32(crc, input.data(), count);
        position += count;
        if (deflater) {
            const bool last = position == size;
            if (!deflater->Run(input.data(), count, last, emitCompressed)) {
                return Fail(emitted.Ok()
                                ? MakeError(ErrorCode::kInvalidArgument, "compression failed")
                                : emitted);
            }
            if (last)
                break;
        } else if (Error error = EmitEncrypted(cipherPointer, input.data(), count); !error.Ok()) {
            return error;
        }
    }
    member.crc = crc;
    member.compressedSize = offset_ - dataStart;
    if (member.compressedSize >= kMax32)
        return Fail(TooLarge("member \"" + member.name + "\" of 4 GiB or more"));
    if (Error error = EmitDataDescriptor(member); !error.Ok())
        return error;
    names_.insert(member.name);
    entries_.push_back(std::move(member));
    return {};
}

Error Writer::AddDirectory(std::string_view name, const DateTime& modified) {
    if (Error error = Begin(); !error.Ok())
        return error;
    std::string folder(name);
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\')
        folder += '/';
    Member member;
    if (Error error = PrepareMember(folder, modified, &member); !error.Ok())
        return error;
    member.method = kMethodStored;
    member.externalAttributes = kAttributeDirectory;
    if (Error error = EmitLocalHeader(member, {}, false); !error.Ok())
        return error;
    names_.insert(member.name);
    entries_.push_back(std::move(member));
    return {};
}

Error Writer::CopyFrom(Reader& reader, std::size_t index) {
    if (Error error = Begin(); !error.Ok())
        return error;
    if (index >= reader.Count())
        return MakeError(ErrorCode::kInvalidArgument, "no such member");
    Member member = reader.At(index);
    if ((member.flags & (kFlagStrongEncryption | kFlagMaskedHeaders)) != 0) {
        return MakeError(ErrorCode::kUnsupported,
                         "member \"" + member.utf8Name + "\": strong encryption cannot be copied");
    }
    if (member.size >= kMax32 || member.compressedSize >= kMax32) {
        return TooLarge("member \"" + member.utf8Name + "\" of 4 GiB or more");
    }
    std::string localExtra;
    if (Error error = reader.ReadLocalExtra(index, &localExtra); !error.Ok())
        return error;
    // The copy is written without Zip64, so its Zip64 blocks would be wrong.
    localExtra = WithoutExtra(localExtra, kExtraZip64);
    member.extra = WithoutExtra(member.extra, kExtraZip64);
    member.localHeaderOffset = offset_;

    // Flag bit 3 stays: an encrypted member's check byte depends on it.
    const bool sizesFollow = (member.flags & kFlagDataDescriptor) != 0;
    if (Error error = EmitLocalHeader(member, localExtra, sizesFollow); !error.Ok())
        return error;
    struct CountingSink final : Sink {
        Writer& writer;
        Error error;
        explicit CountingSink(Writer& owner) : writer(owner) {}
        bool Write(const void* data, std::size_t size) override {
            error = writer.Emit(data, size);
            return error.Ok();
        }
    } out(*this);
    if (Error error = reader.ReadRaw(index, out); !error.Ok())
        return Fail(out.error.Ok() ? error : out.error);
    if (sizesFollow) {
        if (Error error = EmitDataDescriptor(member); !error.Ok())
            return error;
    }
    names_.insert(member.utf8Name);
    entries_.push_back(std::move(member));
    return {};
}

Error Writer::Finish(std::string_view comment) {
    if (finished_)
        return MakeError(ErrorCode::kInvalidArgument, "the archive is already finished");
    if (failed_)
        return MakeError(ErrorCode::kInvalidArgument,
                         "an earlier write failed; the archive is incomplete");
    if (offset_ >= kMax32)
        return Fail(TooLarge("archive of 4 GiB or more"));
    if (comment.size() > kMaxCommentSize)
        return MakeError(ErrorCode::kInvalidArgument, "archive comment too long");
    const std::uint64_t directoryOffset = offset_;
    std::string directory;
    for (const Member& member : entries_) {
        AppendCentralHeader(directory, member);
        if (directory.size() >= kChunkSize) {
            if (Error error = Emit(directory.data(), directory.size()); !error.Ok())
                return error;
            directory.clear();
        }
    }
    if (Error error = Emit(directory.data(), directory.size()); !error.Ok())
        return error;
    const std::uint64_t directorySize = offset_ - directoryOffset;
    if (offset_ >= kMax32)
        return Fail(TooLarge("archive of 4 GiB or more"));

    std::string end;
    Put32(end, kEndSignature);
    Put16(end, 0);  // this disk
    Put16(end, 0);  // disk of the central directory
    Put16(end, static_cast<std::uint16_t>(entries_.size()));
    Put16(end, static_cast<std::uint16_t>(entries_.size()));
    Put32(end, static_cast<std::uint32_t>(directorySize));
    Put32(end, static_cast<std::uint32_t>(directoryOffset));
    Put16(end, static_cast<std::uint16_t>(comment.size()));
    end += comment;
    if (Error error = Emit(end.data(), end.size()); !error.Ok())
        return error;
    finished_ = true;
    return {};
}

Error RewriteKeeping(Source& archive, const std::function<bool(const Member&)>& keep, Sink& out,
                     std::size_t* removed) {
    Reader reader;
    if (Error error = reader.Open(archive); !error.Ok())
        return error;
    Writer writer(out);
    std::size_t left = 0;
    for (std::size_t i = 0; i < reader.Count(); ++i) {
        if (!keep(reader.At(i))) {
            ++left;
            continue;
        }
        if (Error error = writer.CopyFrom(reader, i); !error.Ok())
            return error;
    }
    if (removed != nullptr)
        *removed = left;
    return writer.Finish(reader.Comment());
}

Error RewriteWithout(Source& archive, std::string_view memberName, Sink& out,
                     std::size_t* removed) {
    auto matches = [&](const Member& member) {
        return text::EqualsNoCase(member.name, memberName) ||
               text::EqualsNoCase(member.utf8Name, memberName);
    };
    Reader reader;
    if (Error error = reader.Open(archive); !error.Ok())
        return error;
    if (std::none_of(reader.Members().begin(), reader.Members().end(), matches)) {
        if (removed != nullptr)
            *removed = 0;
        return MakeError(ErrorCode::kNotFound,
                         "no member named \"" + std::string(memberName) + "\"");
    }
    return RewriteKeeping(
        archive, [&](const Member& member) { return !matches(member); }, out, removed);
}

}  // namespace zip
