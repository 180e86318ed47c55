#pragma once
// Writing zip archives front to back into a sink: members from memory or
// streamed from a source, stored or deflated, optionally under the
// traditional PKWARE encryption; members copied unchanged from another
// archive. Zip64 is not written: a member or an archive that would need it
// (4 GiB or more, 65535 members or more) is refused with kTooLarge.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/Text.h"
#include "zip/ZipReader.h"
#include "zip/ZipStreams.h"
#include "zip/ZipTypes.h"

namespace zip {

namespace format {
class TraditionalCipher;
}

struct MemberOptions {
    std::uint16_t method = kMethodDeflate;  // or kMethodStored
    int level = 6;                          // zlib level, 0..9
    // A member added from memory is stored instead when deflate does not make
    // it smaller. Streamed members keep the method asked for.
    bool storeIfNotSmaller = true;
    std::string password;  // empty: not encrypted
    DateTime modified;
};

class Writer {
  public:
    explicit Writer(Sink& sink);
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Member names are UTF-8 with '/' or '\\' between folders ('\\' is
    // stored as '/'); names that are not plain ASCII get the UTF-8 flag.
    // Unsafe names (see IsSafeMemberName), names ending in a separator and
    // names already added (ignoring ASCII case) are refused.
    //
    // From memory: sizes and CRC are known up front, so the local header
    // carries them and an encrypted member's check byte is the CRC's high byte.
    Error AddFromMemory(std::string_view name, std::string_view data,
                        const MemberOptions& options = {});
    // Streamed in 64 KiB chunks: the CRC and compressed size follow the data
    // in a data descriptor (flag bit 3), and an encrypted member's check byte
    // is the high byte of the MS-DOS time, as Info-ZIP zip does it. Exactly
    // data.Size() bytes must be readable.
    Error AddFromSource(std::string_view name, Source& data, const MemberOptions& options = {});
    // A folder entry; `name` gets a trailing '/' if it has none.
    Error AddDirectory(std::string_view name, const DateTime& modified = {});
    // Copies a member of an open archive without recompressing or decrypting
    // it: same name bytes, flags, method, times, attributes, extra fields
    // (without their Zip64 block) and comment.
    Error CopyFrom(Reader& reader, std::size_t index);

    // Writes the central directory and the end record. After Finish, or after
    // any failure, nothing more can be added.
    Error Finish(std::string_view comment = {});

    std::uint64_t BytesWritten() const { return offset_; }

  private:
    Error Begin();
    Error PrepareMember(std::string_view name, const DateTime& modified, Member* member);
    Error CheckMethod(const MemberOptions& options) const;
    Error Emit(const void* data, std::size_t size);
    Error EmitLocalHeader(const Member& member, std::string_view localExtra, bool sizesFollow);
    Error EmitEncryptionHeader(format::TraditionalCipher& cipher, unsigned char checkByte);
    Error EmitEncrypted(format::TraditionalCipher* cipher, const unsigned char* data,
                        std::size_t size);
    Error EmitDataDescriptor(const Member& member);
    Error Fail(Error error);

    Sink& sink_;
    std::uint64_t offset_ = 0;
    std::vector<Member> entries_;
    std::unordered_set<std::string, text::HashNoCase, text::EqualNoCase> names_;
    std::mt19937 random_;
    std::vector<unsigned char> scratch_;
    bool failed_ = false;
    bool finished_ = false;
};

// Writes to `out` a copy of `archive` with only the members `keep` accepts,
// each copied unchanged; the archive comment is kept. `removed` (optional)
// gets the number of members left out.
Error RewriteKeeping(Source& archive, const std::function<bool(const Member&)>& keep, Sink& out,
                     std::size_t* removed = nullptr);

// "Remove one member": a copy of `archive` without every member whose stored
// or UTF-8 name equals `memberName`, ignoring ASCII case. When no member has
// that name, nothing is written and the result is kNotFound.
Error RewriteWithout(Source& archive, std::string_view memberName, Sink& out,
                     std::size_t* removed = nullptr);

}  // namespace zip
