// Damaged and hostile archives: every one gives an error value, never a crash,
// an endless loop or a huge allocation.
#include <gtest/gtest.h>

#include <random>

#include "zip/ZipFormat.h"
#include "zip/ZipReader.h"
#include "zip/ZipWriter.h"
#include "zip/tests/ZipTestSupport.h"

namespace {

using zip::ErrorCode;
using ziptest::Layout;
using ziptest::LayoutOf;
using ziptest::Read32;
using ziptest::Write16;
using ziptest::Write32;

std::string TwoMemberArchive() {
    return ziptest::WriteArchive({{"first.txt", ziptest::MixedBytes(3000, 11)},
                                  {"second.txt", ziptest::MixedBytes(4000, 12)}});
}

ErrorCode OpenCode(const std::string& archive) {
    zip::MemorySource source(archive);
    zip::Reader reader;
    return reader.Open(source).code;
}

// Opening succeeds, then member `index` fails with the code returned.
ErrorCode ExtractCode(const std::string& archive, std::size_t index, std::uint64_t cap = 1u << 20) {
    zip::MemorySource source(archive);
    zip::Reader reader;
    zip::Error error = reader.Open(source, "pw");
    EXPECT_TRUE(error.Ok()) << error.message;
    if (!error.Ok())
        return error.code;
    std::string data;
    error = reader.ExtractToMemory(index, &data, cap);
    if (!error.Ok()) {
        EXPECT_TRUE(data.empty());
    }
    return error.code;
}

TEST(ZipHostile, NotAnArchive) {
    EXPECT_EQ(OpenCode(""), ErrorCode::kNotAnArchive);
    EXPECT_EQ(OpenCode("PK\x05\x06"), ErrorCode::kNotAnArchive);
    EXPECT_EQ(OpenCode(ziptest::NoiseBytes(100000, 1)), ErrorCode::kNotAnArchive);
}

TEST(ZipHostile, EveryTruncationFailsCleanly) {
    const std::string archive = TwoMemberArchive();
    for (std::size_t length = 0; length < archive.size(); ++length) {
        EXPECT_NE(OpenCode(archive.substr(0, length)), ErrorCode::kOk)
            << "first " << length << " bytes";
        // Cutting the front moves every record away from its offset.
        if (length > 0) {
            EXPECT_NE(OpenCode(archive.substr(length)), ErrorCode::kOk) << "cut " << length;
        }
    }
}

TEST(ZipHostile, CentralDirectoryOutOfBounds) {
    const std::string archive = TwoMemberArchive();
    const Layout layout = LayoutOf(archive);
    auto patched = [&](std::size_t at, std::uint32_t value, bool wide = true) {
        std::string copy = archive;
        if (wide) {
            Write32(copy, at, value);
        } else {
            Write16(copy, at, static_cast<std::uint16_t>(value));
        }
        return copy;
    };
    EXPECT_EQ(OpenCode(patched(layout.end + 16, 0xFFFFFFF0u)), ErrorCode::kCorrupt);  // offset
    EXPECT_EQ(OpenCode(patched(layout.end + 16, 0)), ErrorCode::kCorrupt);            // at the data
    EXPECT_EQ(OpenCode(patched(layout.end + 12, 0xFFFFFF00u)), ErrorCode::kCorrupt);  // size
    EXPECT_EQ(OpenCode(patched(layout.end + 12, 10)), ErrorCode::kCorrupt);
    for (int count : {3, 999, 0xFFFF}) {
        std::string copy = archive;
        Write16(copy, layout.end + 8, static_cast<std::uint16_t>(count));
        Write16(copy, layout.end + 10, static_cast<std::uint16_t>(count));
        EXPECT_EQ(OpenCode(copy), ErrorCode::kCorrupt) << count;
    }
    EXPECT_EQ(OpenCode(patched(layout.end + 8, 1, false)),
              ErrorCode::kUnsupported);  // on this disk
    EXPECT_EQ(OpenCode(patched(layout.end + 4, 1, false)), ErrorCode::kUnsupported);  // disk number
    EXPECT_EQ(OpenCode(patched(layout.central[1] + 28, 0xFFFF, false)),
              ErrorCode::kCorrupt);  // name length
    EXPECT_EQ(OpenCode(patched(layout.central[1], 0x12345678u)), ErrorCode::kCorrupt);  // signature
    EXPECT_EQ(OpenCode(patched(layout.central[1] + 42, 0x7FFFFFFFu)),
              ErrorCode::kCorrupt);  // local offset
    EXPECT_EQ(
        OpenCode(patched(layout.central[1] + 42, static_cast<std::uint32_t>(layout.central[0]))),
        ErrorCode::kCorrupt);
}

TEST(ZipHostile, HugeClaimedSizes) {
    const std::string archive = TwoMemberArchive();
    const Layout layout = LayoutOf(archive);
    std::string bigCompressed = archive;
    Write32(bigCompressed, layout.central[0] + 20, 0xFFFFFF00u);
    EXPECT_EQ(OpenCode(bigCompressed), ErrorCode::kCorrupt);

    // A claimed 4 GiB output from a few KiB of data: refused under the cap
    // without reading, and found short when streamed.
    std::string bigOutput = archive;
    Write32(bigOutput, layout.central[0] + 24, 0xFFFFFF00u);
    EXPECT_EQ(ExtractCode(bigOutput, 0), ErrorCode::kTooLarge);
    zip::MemorySource source(bigOutput);
    zip::Reader reader;
    ASSERT_TRUE(reader.Open(source).Ok());
    std::uint64_t received = 0;
    zip::CallbackSink count([&](const char*, std::size_t size) {
        received += size;
        return true;
    });
    EXPECT_EQ(reader.ExtractTo(0, count).code, ErrorCode::kCorrupt);
    EXPECT_EQ(received, 3000u);

    // Less declared than the data holds: extraction stops at the declared size.
    std::string smallOutput = archive;
    Write32(smallOutput, layout.central[0] + 24, 100);
    EXPECT_EQ(ExtractCode(smallOutput, 0), ErrorCode::kCorrupt);
    // The other member is not affected.
    EXPECT_EQ(ExtractCode(smallOutput, 1), ErrorCode::kOk);
}

TEST(ZipHostile, DamagedLocalHeaders) {
    const std::string archive = TwoMemberArchive();
    const Layout layout = LayoutOf(archive);
    std::string badSignature = archive;
    Write32(badSignature, layout.local[1], 0);
    EXPECT_EQ(ExtractCode(badSignature, 1), ErrorCode::kCorrupt);
    EXPECT_EQ(ExtractCode(badSignature, 0), ErrorCode::kOk);

    std::string longName = archive;
    Write16(longName, layout.local[1] + 26, 0xFFFF);
    EXPECT_EQ(ExtractCode(longName, 1), ErrorCode::kCorrupt);

    // Compressed data cut short: the deflate stream does not end.
    std::string shortData = archive;
    const std::uint32_t compressed = Read32(archive, layout.central[0] + 20);
    Write32(shortData, layout.central[0] + 20, compressed / 2);
    EXPECT_EQ(ExtractCode(shortData, 0), ErrorCode::kCorrupt);

    // Stored sizes that disagree.
    zip::MemberOptions stored;
    stored.method = zip::kMethodStored;
    std::string storedArchive = ziptest::WriteArchive({{"s.txt", "stored data"}}, stored);
    Write32(storedArchive, LayoutOf(storedArchive).central[0] + 24, 5);
    EXPECT_EQ(ExtractCode(storedArchive, 0), ErrorCode::kCorrupt);
}

TEST(ZipHostile, OverlappingMembersAreRefused) {
    std::string archive = TwoMemberArchive();
    const Layout layout = LayoutOf(archive);
    // Both entries describe the first member's data.
    for (int field : {20, 24, 16}) {
        Write32(archive, layout.central[1] + field, Read32(archive, layout.central[0] + field));
    }
    Write32(archive, layout.central[1] + 42, Read32(archive, layout.central[0] + 42));
    EXPECT_EQ(OpenCode(archive), ErrorCode::kCorrupt);
}

TEST(ZipHostile, UnsupportedMembersFailAloneWithAClearError) {
    const std::string archive = TwoMemberArchive();
    const Layout layout = LayoutOf(archive);
    struct Variant {
        std::uint16_t method;
        std::uint16_t flags;
        ErrorCode expected;
    };
    for (Variant variant : {Variant{12, 0, ErrorCode::kUnsupported},      // bzip2
                            Variant{14, 0, ErrorCode::kUnsupported},      // LZMA
                            Variant{99, 1, ErrorCode::kUnsupported},      // AES
                            Variant{8, 1 | 64, ErrorCode::kUnsupported},  // strong encryption
                            Variant{8, 1, ErrorCode::kWrongPassword}}) {  // not really encrypted
        std::string copy = archive;
        Write16(copy, layout.central[0] + 10, variant.method);
        Write16(copy, layout.central[0] + 8, variant.flags);
        zip::MemorySource source(copy);
        zip::Reader reader;
        ASSERT_TRUE(reader.Open(source).Ok());
        std::string data;
        zip::Error error = reader.ExtractToMemory(0, &data, 1 << 20);
        if (variant.expected == ErrorCode::kWrongPassword) {
            EXPECT_EQ(error.code, ErrorCode::kPasswordRequired);
            reader.SetPassword("pw");
            error = reader.ExtractToMemory(0, &data, 1 << 20);
            EXPECT_NE(error.code, ErrorCode::kOk);
        } else {
            EXPECT_EQ(error.code, variant.expected) << variant.method;
            EXPECT_NE(error.message.find("first.txt"), std::string::npos) << error.message;
        }
        EXPECT_TRUE(reader.ExtractToMemory(1, &data, 1 << 20).Ok());
    }
}

TEST(ZipHostile, DataInFrontOfTheArchiveIsSkipped) {
    const std::string archive = TwoMemberArchive();
    const std::string withPrefix = "MZ" + ziptest::NoiseBytes(5000, 3) + archive;
    ziptest::Extracted plain = ziptest::ExtractAll(archive);
    ziptest::Extracted shifted = ziptest::ExtractAll(withPrefix);
    ASSERT_TRUE(shifted.error.Ok()) << shifted.error.message;
    ASSERT_EQ(shifted.members.size(), plain.members.size());
    for (std::size_t i = 0; i < plain.members.size(); ++i) {
        EXPECT_EQ(shifted.members[i].data, plain.members[i].data);
    }
}

// A hand-made Zip64 archive: every size and offset field is all ones and the
// real values sit in the Zip64 extra fields and end records.
std::string Zip64Archive(std::string_view name, std::string_view data,
                         std::uint64_t countInRecord = 1, bool withExtra = true) {
    using zip::format::Put16;
    using zip::format::Put32;
    auto put64 = [](std::string& out, std::uint64_t v) {
        Put32(out, static_cast<std::uint32_t>(v));
        Put32(out, static_cast<std::uint32_t>(v >> 32));
    };
    const std::uint32_t crc = zip::format::UpdateCrc32(0, data.data(), data.size());
    std::string out;
    std::string localExtra;
    Put16(localExtra, 1);
    Put16(localExtra, 16);
    put64(localExtra, data.size());
    put64(localExtra, data.size());
    Put32(out, 0x04034b50);
    Put16(out, 45);
    Put16(out, 0);
    Put16(out, 0);  // stored
    Put16(out, 0);
    Put16(out, 0x21);
    Put32(out, crc);
    Put32(out, 0xFFFFFFFF);
    Put32(out, 0xFFFFFFFF);
    Put16(out, static_cast<std::uint16_t>(name.size()));
    Put16(out, static_cast<std::uint16_t>(localExtra.size()));
    out += name;
    out += localExtra;
    out += data;

    const std::size_t directoryOffset = out.size();
    std::string centralExtra;
    if (withExtra) {
        Put16(centralExtra, 1);
        Put16(centralExtra, 24);
        put64(centralExtra, data.size());
        put64(centralExtra, data.size());
        put64(centralExtra, 0);
    }
    Put32(out, 0x02014b50);
    Put16(out, 45);
    Put16(out, 45);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0x21);
    Put32(out, crc);
    Put32(out, 0xFFFFFFFF);
    Put32(out, 0xFFFFFFFF);
    Put16(out, static_cast<std::uint16_t>(name.size()));
    Put16(out, static_cast<std::uint16_t>(centralExtra.size()));
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, 0);
    Put32(out, 0xFFFFFFFF);
    out += name;
    out += centralExtra;
    const std::size_t directorySize = out.size() - directoryOffset;

    const std::size_t recordOffset = out.size();
    Put32(out, 0x06064b50);
    put64(out, 44);
    Put16(out, 45);
    Put16(out, 45);
    Put32(out, 0);
    Put32(out, 0);
    put64(out, countInRecord);
    put64(out, countInRecord);
    put64(out, directorySize);
    put64(out, directoryOffset);
    Put32(out, 0x07064b50);
    Put32(out, 0);
    put64(out, recordOffset);
    Put32(out, 1);
    Put32(out, 0x06054b50);
    Put16(out, 0xFFFF);
    Put16(out, 0xFFFF);
    Put16(out, 0xFFFF);
    Put16(out, 0xFFFF);
    Put32(out, 0xFFFFFFFF);
    Put32(out, 0xFFFFFFFF);
    Put16(out, 0);
    return out;
}

TEST(ZipHostile, Zip64RecordsAreRead) {
    const std::string data = ziptest::MixedBytes(777, 8);
    const std::string archive = Zip64Archive("z64.txt", data);
    zip::MemorySource source(archive);
    zip::Reader reader;
    zip::Error error = reader.Open(source);
    ASSERT_TRUE(error.Ok()) << error.message;
    ASSERT_EQ(reader.Count(), 1u);
    EXPECT_EQ(reader.At(0).size, data.size());
    EXPECT_EQ(reader.At(0).compressedSize, data.size());
    std::string out;
    ASSERT_TRUE(reader.ExtractToMemory(0, &out, data.size()).Ok());
    EXPECT_EQ(out, data);

    // With something in front, the records are found where they really are.
    ziptest::Extracted shifted = ziptest::ExtractAll("prefix" + archive);
    ASSERT_TRUE(shifted.error.Ok()) << shifted.error.message;
    EXPECT_EQ(shifted.members.at(0).data, data);

    // The copy written back leaves Zip64 out and still reads the same.
    std::string copy;
    zip::StringSink sink(copy);
    ASSERT_TRUE(zip::RewriteKeeping(
                    source, [](const zip::Member&) { return true; }, sink)
                    .Ok());
    ziptest::Extracted copied = ziptest::ExtractAll(copy);
    ASSERT_TRUE(copied.error.Ok()) << copied.error.message;
    EXPECT_EQ(copied.members.at(0).data, data);
    zip::MemorySource copySource(copy);
    zip::Reader copyReader;
    ASSERT_TRUE(copyReader.Open(copySource).Ok());
    std::string localExtra;
    ASSERT_TRUE(copyReader.ReadLocalExtra(0, &localExtra).Ok());
    EXPECT_TRUE(localExtra.empty());
    EXPECT_TRUE(copyReader.At(0).extra.empty());
}

TEST(ZipHostile, Zip64Damage) {
    EXPECT_EQ(OpenCode(Zip64Archive("a", "abc", 1, false)), ErrorCode::kCorrupt);  // no extra
    EXPECT_EQ(OpenCode(Zip64Archive("a", "abc", 2)), ErrorCode::kCorrupt);         // count too high
    EXPECT_EQ(OpenCode(Zip64Archive("a", "abc", 1ull << 40)), ErrorCode::kCorrupt);
    std::string archive = Zip64Archive("a", "abc");
    const std::size_t locator = archive.size() - 22 - 20;
    Write32(archive, locator + 8, 0xFFFFFF);  // record offset
    Write32(archive, locator - 56, 0);        // and no record where it should be
    EXPECT_EQ(OpenCode(archive), ErrorCode::kCorrupt);
}

// Bytes that look like a Zip64 locator can end the central directory (here
// the last name); without Zip64 markers in the classic record they are data.
TEST(ZipHostile, LocatorLookalikeBeforeTheEndRecord) {
    const std::string data = "kept";
    std::string archive = ziptest::WriteArchive({{"a.txt", "first"}, {std::string(24, 'n'), data}});
    const Layout layout = LayoutOf(archive);
    const std::size_t fake = layout.central[1] + 46 + 4;  // the name's last 20 bytes
    ASSERT_EQ(fake + 20, layout.end);
    Write32(archive, fake, 0x07064b50);
    Write32(archive, fake + 4, 0);
    Write32(archive, fake + 8, 0);  // "record" at offset 0: a local header
    Write32(archive, fake + 12, 0);
    Write32(archive, fake + 16, 1);
    zip::MemorySource source(archive);
    zip::Reader reader;
    zip::Error error = reader.Open(source);
    ASSERT_TRUE(error.Ok()) << error.message;
    std::string out;
    ASSERT_TRUE(reader.ExtractToMemory(1, &out, 100).Ok());
    EXPECT_EQ(out, data);
    // With a Zip64 marker in the classic record the real record is required.
    Write16(archive, layout.end + 10, 0xFFFF);
    EXPECT_EQ(OpenCode(archive), ErrorCode::kCorrupt);
}

// Random damage: whatever happens, a member that extracts has its CRC.
TEST(ZipHostile, RandomDamageNeverYieldsWrongData) {
    const std::string clean = TwoMemberArchive();
    std::mt19937 random(1234);
    int opened = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string archive = clean;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i)
            archive[random() % archive.size()] ^= static_cast<char>(1 + random() % 255);
        zip::MemorySource source(archive);
        zip::Reader reader;
        if (!reader.Open(source, "pw").Ok())
            continue;
        ++opened;
        for (std::size_t m = 0; m < reader.Count(); ++m) {
            std::string data;
            if (reader.ExtractToMemory(m, &data, 1 << 20).Ok()) {
                EXPECT_EQ(zip::format::UpdateCrc32(0, data.data(), data.size()), reader.At(m).crc);
                EXPECT_EQ(data.size(), reader.At(m).size);
            }
        }
    }
    EXPECT_GT(opened, 1000);  // most damage hits the member data, not the directory
}

}  // namespace
