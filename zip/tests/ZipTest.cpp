// Round trips through the module's own writer and reader, and the writer's
// refusals.
#include <gtest/gtest.h>

#include <algorithm>

#include "zip/ZipFormat.h"
#include "zip/ZipReader.h"
#include "zip/ZipWriter.h"
#include "zip/tests/ZipTestSupport.h"

namespace {

using ziptest::NamedData;

std::vector<NamedData> SampleMembers() {
    return {
        {"readme.txt", ziptest::MixedBytes(5000, 1)},
        {"empty.bin", ""},
        {"noise.bin", ziptest::NoiseBytes(70000, 2)},  // deflate does not shrink it
        {"folder/sub/deep.txt", ziptest::MixedBytes(200000, 3)},
        {"one.txt", "x"},
    };
}

struct RoundTripCase {
    const char* label;
    std::uint16_t method;
    const char* password;
    bool streamed;
};

void PrintTo(const RoundTripCase& test, std::ostream* out) {
    *out << test.label;
}

class RoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, EveryMemberComesBackWithItsAttributes) {
    const RoundTripCase& param = GetParam();
    zip::MemberOptions options;
    options.method = param.method;
    options.password = param.password;
    options.modified = {2007, 7, 4, 9, 5, 31};
    const std::vector<NamedData> members = SampleMembers();
    const std::string archive = ziptest::WriteArchive(members, options, param.streamed);

    zip::MemorySource source(archive);
    zip::Reader reader;
    ASSERT_TRUE(reader.Open(source, param.password).Ok());
    ASSERT_EQ(reader.Count(), members.size());
    for (std::size_t i = 0; i < members.size(); ++i) {
        const zip::Member& member = reader.At(i);
        EXPECT_EQ(member.name, members[i].name);
        EXPECT_EQ(member.size, members[i].data.size());
        EXPECT_EQ(member.crc,
                  zip::format::UpdateCrc32(0, members[i].data.data(), members[i].data.size()));
        EXPECT_EQ(member.IsEncrypted(), *param.password != '\0');
        EXPECT_FALSE(member.isDirectory);
        // MS-DOS times keep even seconds only.
        EXPECT_EQ(member.modified, (zip::DateTime{2007, 7, 4, 9, 5, 30}));
        std::string data;
        zip::Error error = reader.ExtractToMemory(i, &data, members[i].data.size());
        ASSERT_TRUE(error.Ok()) << members[i].name << ": " << error.message;
        EXPECT_EQ(data, members[i].data) << members[i].name;
    }
    // Deflate from memory falls back to stored where it does not shrink;
    // a streamed member keeps the method asked for.
    const zip::Member& noise = reader.At(2);
    const zip::Member& text = reader.At(3);
    if (param.method == zip::kMethodDeflate) {
        EXPECT_EQ(text.method, zip::kMethodDeflate);
        EXPECT_LT(text.compressedSize, text.size / 2);
        EXPECT_EQ(noise.method, param.streamed ? zip::kMethodDeflate : zip::kMethodStored);
    } else {
        EXPECT_EQ(text.method, zip::kMethodStored);
        EXPECT_EQ(text.compressedSize, text.size + (reader.At(3).IsEncrypted() ? 12u : 0u));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Zip, RoundTrip,
    testing::Values(RoundTripCase{"Stored", zip::kMethodStored, "", false},
                    RoundTripCase{"Deflate", zip::kMethodDeflate, "", false},
                    RoundTripCase{"StoredEncrypted", zip::kMethodStored, "tindrake_7_vlts", false},
                    RoundTripCase{"DeflateEncrypted", zip::kMethodDeflate, "tindrake_7_vlts",
                                  false},
                    RoundTripCase{"StreamedStored", zip::kMethodStored, "", true},
                    RoundTripCase{"StreamedDeflate", zip::kMethodDeflate, "", true},
                    RoundTripCase{"StreamedStoredEncrypted", zip::kMethodStored, "pw", true},
                    RoundTripCase{"StreamedDeflateEncrypted", zip::kMethodDeflate, "pw", true}),
    [](const testing::TestParamInfo<RoundTripCase>& test) {
        return std::string(test.param.label);
    });

// A source that makes its bytes on demand and records the largest read.
class GeneratedSource final : public zip::Source {
  public:
    explicit GeneratedSource(std::uint64_t size) : size_(size) {}
    std::uint64_t Size() const override { return size_; }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        largestRead = std::max(largestRead, size);
        auto* out = static_cast<unsigned char*>(buffer);
        std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - offset));
        for (std::size_t i = 0; i < count; ++i)
            out[i] = ByteAt(offset + i);
        return count;
    }
    static unsigned char ByteAt(std::uint64_t offset) {
        // Compressible but not trivially so.
        std::uint64_t x = offset / 7;
        return static_cast<unsigned char>(((x * 2654435761u) >> 24) & 0x3F);
    }
    std::size_t largestRead = 0;

  private:
    std::uint64_t size_;
};

// Checks streamed output against the generator without keeping it.
class VerifyingSink final : public zip::Sink {
  public:
    bool Write(const void* data, std::size_t size) override {
        largestWrite = std::max(largestWrite, size);
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) {
            if (bytes[i] != GeneratedSource::ByteAt(received + i))
                mismatches++;
        }
        received += size;
        return true;
    }
    std::uint64_t received = 0;
    std::uint64_t mismatches = 0;
    std::size_t largestWrite = 0;
};

TEST(ZipStreaming, LargeMemberGoesThroughInBoundedChunks) {
    constexpr std::uint64_t kSize = 24ull << 20;
    for (const char* password : {"", "secret"}) {
        GeneratedSource input(kSize);
        std::string archive;
        zip::StringSink archiveSink(archive);
        zip::Writer writer(archiveSink);
        zip::MemberOptions options;
        options.password = password;
        ASSERT_TRUE(writer.AddFromSource("big.dat", input, options).Ok());
        ASSERT_TRUE(writer.Finish().Ok());
        EXPECT_LE(input.largestRead, 64u * 1024);
        EXPECT_LT(archive.size(), kSize / 2);

        zip::MemorySource source(archive);
        zip::Reader reader;
        ASSERT_TRUE(reader.Open(source, password).Ok());
        VerifyingSink out;
        zip::Error error = reader.ExtractTo(0, out);
        ASSERT_TRUE(error.Ok()) << error.message;
        EXPECT_EQ(out.received, kSize);
        EXPECT_EQ(out.mismatches, 0u);
        EXPECT_LE(out.largestWrite, 64u * 1024);
        // The in-memory path refuses it under a smaller cap, before reading.
        std::string data;
        EXPECT_EQ(reader.ExtractToMemory(0, &data, kSize - 1).code, zip::ErrorCode::kTooLarge);
        EXPECT_TRUE(data.empty());
    }
}

TEST(ZipStreaming, SinkCanStopExtraction) {
    const std::string archive = ziptest::WriteArchive({{"a.txt", ziptest::MixedBytes(300000, 9)}});
    zip::MemorySource source(archive);
    zip::Reader reader;
    ASSERT_TRUE(reader.Open(source).Ok());
    std::size_t calls = 0;
    zip::CallbackSink stopAfterOne([&](const char*, std::size_t) { return ++calls < 2; });
    EXPECT_EQ(reader.ExtractTo(0, stopAfterOne).code, zip::ErrorCode::kWriteFailed);
    EXPECT_EQ(calls, 2u);
}

TEST(ZipNamesStored, NonAsciiNamesGetTheUtf8Flag) {
    const std::vector<NamedData> members = {{"plain.txt", "a"},
                                            {"Pr\xC3\xBC"
                                             "fung/\xE6\x97\xA5\xE6\x9C\xAC.txt",
                                             "b"},
                                            {"back\\slash.txt", "c"}};
    const std::string archive = ziptest::WriteArchive(members);
    zip::MemorySource source(archive);
    zip::Reader reader;
    ASSERT_TRUE(reader.Open(source).Ok());
    EXPECT_FALSE(reader.At(0).utf8);
    EXPECT_TRUE(reader.At(1).utf8);
    EXPECT_EQ(reader.At(1).name, members[1].name);
    EXPECT_EQ(reader.At(1).utf8Name, members[1].name);
    EXPECT_EQ(reader.At(2).name, "back/slash.txt");
    ASSERT_TRUE(reader
                    .Find("PR\xC3\xBC"
                          "FUNG/\xE6\x97\xA5\xE6\x9C\xAC.TXT",
                          true)
                    .has_value());
    EXPECT_FALSE(reader.Find("PLAIN.TXT").has_value());
    EXPECT_EQ(reader.Find("PLAIN.TXT", true), std::optional<std::size_t>(0));
}

TEST(ZipNamesStored, UnflaggedHighBytesReadAsCodePage437) {
    std::string archive = ziptest::WriteArchive({{"caf\xC3\xA9.txt", "x"}});
    // Make it look like a DOS tool wrote it: no UTF-8 flag and CP437 bytes
    // (0x82 is e-acute there) in place of the two UTF-8 bytes.
    const ziptest::Layout layout = ziptest::LayoutOf(archive);
    for (std::size_t header : {layout.local[0], layout.central[0]}) {
        const std::size_t flagsAt = header + (header == layout.local[0] ? 6 : 8);
        ziptest::Write16(archive, flagsAt, 0);
        const std::size_t nameAt = header + (header == layout.local[0] ? 30 : 46);
        archive[nameAt + 3] = '\x82';
        archive[nameAt + 4] = '\x82';
    }
    zip::MemorySource source(archive);
    zip::Reader reader;
    ASSERT_TRUE(reader.Open(source).Ok());
    EXPECT_FALSE(reader.At(0).utf8);
    EXPECT_EQ(reader.At(0).name, "caf\x82\x82.txt");
    EXPECT_EQ(reader.At(0).utf8Name, "caf\xC3\xA9\xC3\xA9.txt");
}

TEST(ZipDirectories, FolderEntriesAreListedAsFolders) {
    std::string archive;
    zip::StringSink sink(archive);
    zip::Writer writer(sink);
    ASSERT_TRUE(writer.AddDirectory("docs").Ok());
    ASSERT_TRUE(writer.AddFromMemory("docs/a.txt", "hello").Ok());
    ASSERT_TRUE(writer.Finish().Ok());
    zip::MemorySource source(archive);
    zip::Reader reader;
    ASSERT_TRUE(reader.Open(source).Ok());
    ASSERT_EQ(reader.Count(), 2u);
    EXPECT_EQ(reader.At(0).name, "docs/");
    EXPECT_TRUE(reader.At(0).isDirectory);
    EXPECT_FALSE(reader.At(1).isDirectory);
    std::string data;
    EXPECT_TRUE(reader.ExtractToMemory(0, &data, 0).Ok());
    EXPECT_TRUE(data.empty());
}

TEST(ZipPasswords, WrongOrMissingPasswordNeverYieldsData) {
    const std::string text = ziptest::MixedBytes(40000, 4);
    int wrongPasswordCodes = 0;
    // The check byte lets a wrong password through 1 time in 256; the CRC or
    // the inflater must then catch it. Many archives exercise both paths.
    for (int round = 0; round < 64; ++round) {
        zip::MemberOptions options;
        options.password = "right";
        const std::string archive =
            ziptest::WriteArchive({{"a.txt", text}}, options, round % 2 == 1);
        ziptest::Extracted wrong = ziptest::ExtractAll(archive, "wrong" + std::to_string(round));
        ASSERT_FALSE(wrong.error.Ok());
        EXPECT_TRUE(wrong.error.code == zip::ErrorCode::kWrongPassword ||
                    wrong.error.code == zip::ErrorCode::kCrcMismatch ||
                    wrong.error.code == zip::ErrorCode::kCorrupt)
            << wrong.error.message;
        wrongPasswordCodes += wrong.error.code == zip::ErrorCode::kWrongPassword;
        EXPECT_EQ(ziptest::ExtractAll(archive).error.code, zip::ErrorCode::kPasswordRequired);
        ziptest::Extracted right = ziptest::ExtractAll(archive, "right");
        ASSERT_TRUE(right.error.Ok()) << right.error.message;
        EXPECT_EQ(right.members.at(0).data, text);
    }
    EXPECT_GE(wrongPasswordCodes, 56);
}

TEST(ZipPasswords, EncryptionHeadersDifferBetweenArchives) {
    zip::MemberOptions options;
    options.password = "pw";
    const std::string first = ziptest::WriteArchive({{"a.txt", "same"}}, options);
    const std::string second = ziptest::WriteArchive({{"a.txt", "same"}}, options);
    EXPECT_NE(first, second);
    // And the data does not appear in clear.
    EXPECT_EQ(ziptest::WriteArchive({{"a.txt", "plain-visible-text"}}, options)
                  .find("plain-visible-text"),
              std::string::npos);
}

TEST(ZipIntegrity, DamagedDataIsACrcMismatch) {
    for (std::uint16_t method : {zip::kMethodStored, zip::kMethodDeflate}) {
        zip::MemberOptions options;
        options.method = method;
        options.level = 0;  // deflate's stored blocks: a changed byte still inflates
        std::string archive =
            ziptest::WriteArchive({{"a.txt", ziptest::MixedBytes(2000, 5)}}, options);
        const ziptest::Layout layout = ziptest::LayoutOf(archive);
        archive[layout.local[0] + 30 + 5 + 100] ^= 0x01;
        EXPECT_EQ(ziptest::ExtractAll(archive).error.code, zip::ErrorCode::kCrcMismatch) << method;
    }
    // A wrong CRC in the directory is caught the same way.
    std::string archive = ziptest::WriteArchive({{"a.txt", "content"}});
    const ziptest::Layout layout = ziptest::LayoutOf(archive);
    ziptest::Write32(archive, layout.central[0] + 16,
                     ziptest::Read32(archive, layout.central[0] + 16) ^ 1);
    EXPECT_EQ(ziptest::ExtractAll(archive).error.code, zip::ErrorCode::kCrcMismatch);
}

TEST(ZipWriterRefuses, BadNamesDuplicatesAndUseAfterFinish) {
    std::string archive;
    zip::StringSink sink(archive);
    zip::Writer writer(sink);
    EXPECT_EQ(writer.AddFromMemory("../evil.txt", "x").code, zip::ErrorCode::kUnsafeName);
    EXPECT_EQ(writer.AddFromMemory("C:/evil.txt", "x").code, zip::ErrorCode::kUnsafeName);
    EXPECT_EQ(writer.AddFromMemory("", "x").code, zip::ErrorCode::kUnsafeName);
    EXPECT_EQ(writer.AddFromMemory("bad\xFF.txt", "x").code, zip::ErrorCode::kInvalidArgument);
    zip::MemberOptions bzip2;
    bzip2.method = 12;
    EXPECT_EQ(writer.AddFromMemory("a.txt", "x", bzip2).code, zip::ErrorCode::kInvalidArgument);
    ASSERT_TRUE(writer.AddFromMemory("a.txt", "x").Ok());
    EXPECT_EQ(writer.AddFromMemory("A.TXT", "y").code, zip::ErrorCode::kDuplicateName);
    // Refused adds leave nothing behind: the archive holds exactly one member.
    ASSERT_TRUE(writer.Finish().Ok());
    EXPECT_EQ(writer.AddFromMemory("b.txt", "x").code, zip::ErrorCode::kInvalidArgument);
    EXPECT_EQ(writer.Finish().code, zip::ErrorCode::kInvalidArgument);
    ziptest::Extracted all = ziptest::ExtractAll(archive);
    ASSERT_TRUE(all.error.Ok());
    ASSERT_EQ(all.members.size(), 1u);
    EXPECT_EQ(all.members[0].data, "x");
}

TEST(ZipWriterRefuses, MembersThatWouldNeedZip64) {
    class HugeSource final : public zip::Source {
      public:
        std::uint64_t Size() const override { return 5ull << 30; }
        std::size_t ReadAt(std::uint64_t, void*, std::size_t) override {
            ADD_FAILURE() << "nothing should be read";
            return 0;
        }
    } huge;
    std::string archive;
    zip::StringSink sink(archive);
    zip::Writer writer(sink);
    EXPECT_EQ(writer.AddFromSource("huge.bin", huge).code, zip::ErrorCode::kTooLarge);
    EXPECT_TRUE(writer.AddFromMemory("small.txt", "ok").Ok());
    EXPECT_TRUE(writer.Finish().Ok());
}

TEST(ZipWriterRefuses, FailedOutputEndsTheArchive) {
    class LimitedSink final : public zip::Sink {
      public:
        bool Write(const void*, std::size_t size) override {
            written += size;
            return written <= 1000;
        }
        std::size_t written = 0;
    } sink;
    zip::Writer writer(sink);
    EXPECT_EQ(writer.AddFromMemory("a.bin", ziptest::NoiseBytes(5000, 6)).code,
              zip::ErrorCode::kWriteFailed);
    EXPECT_EQ(writer.AddFromMemory("b.bin", "x").code, zip::ErrorCode::kInvalidArgument);
    EXPECT_EQ(writer.Finish().code, zip::ErrorCode::kInvalidArgument);
}

TEST(ZipWriterRefuses, ShortSourceIsAReadError) {
    class ShortSource final : public zip::Source {
      public:
        std::uint64_t Size() const override { return 200000; }
        std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
            if (offset >= 100000)
                return 0;
            std::size_t count = std::min<std::size_t>(size, 100000 - offset);
            std::fill_n(static_cast<char*>(buffer), count, 'a');
            return count;
        }
    } shortSource;
    std::string archive;
    zip::StringSink sink(archive);
    zip::Writer writer(sink);
    EXPECT_EQ(writer.AddFromSource("a.txt", shortSource).code, zip::ErrorCode::kReadFailed);
    EXPECT_EQ(writer.Finish().code, zip::ErrorCode::kInvalidArgument);
}

// Removing a member rewrites the rest unchanged, encrypted ones included.
TEST(ZipRewrite, RemovesOneMemberAndCopiesTheOthersAsTheyAre) {
    std::string original;
    zip::StringSink sink(original);
    zip::Writer writer(sink);
    zip::MemberOptions encrypted;
    encrypted.password = "pw";
    const std::string big = ziptest::MixedBytes(150000, 7);
    ASSERT_TRUE(writer.AddFromMemory("keep/first.txt", big, encrypted).Ok());
    ASSERT_TRUE(writer.AddFromMemory("Bad.EXE", "malware").Ok());
    zip::MemorySource streamedData(big);
    ASSERT_TRUE(writer.AddFromSource("keep/streamed.txt", streamedData, encrypted).Ok());
    ASSERT_TRUE(writer.AddFromMemory("last.txt", "bye").Ok());
    ASSERT_TRUE(writer.Finish("archive comment").Ok());

    zip::MemorySource source(original);
    std::string rewritten;
    zip::StringSink out(rewritten);
    std::size_t removed = 0;
    zip::Error error = zip::RewriteWithout(source, "bad.exe", out, &removed);
    ASSERT_TRUE(error.Ok()) << error.message;
    EXPECT_EQ(removed, 1u);

    zip::Reader before;
    zip::Reader after;
    zip::MemorySource rewrittenSource(rewritten);
    ASSERT_TRUE(before.Open(source, "pw").Ok());
    ASSERT_TRUE(after.Open(rewrittenSource, "pw").Ok());
    ASSERT_EQ(after.Count(), 3u);
    EXPECT_EQ(after.Comment(), "archive comment");
    EXPECT_FALSE(after.Find("Bad.EXE").has_value());
    for (std::size_t i = 0; i < after.Count(); ++i) {
        const zip::Member& copy = after.At(i);
        const zip::Member& was = before.At(*before.Find(copy.name));
        EXPECT_EQ(copy.flags, was.flags);
        EXPECT_EQ(copy.method, was.method);
        EXPECT_EQ(copy.compressedSize, was.compressedSize);
        EXPECT_EQ(copy.crc, was.crc);
        std::string expected;
        std::string actual;
        ASSERT_TRUE(before.ExtractToMemory(*before.Find(copy.name), &expected, 1 << 20).Ok());
        error = after.ExtractToMemory(i, &actual, 1 << 20);
        ASSERT_TRUE(error.Ok()) << copy.name << ": " << error.message;
        EXPECT_EQ(actual, expected);
    }
}

TEST(ZipRewrite, MissingMemberWritesNothing) {
    const std::string original = ziptest::WriteArchive({{"a.txt", "a"}});
    zip::MemorySource source(original);
    std::string rewritten;
    zip::StringSink out(rewritten);
    EXPECT_EQ(zip::RewriteWithout(source, "b.txt", out).code, zip::ErrorCode::kNotFound);
    EXPECT_TRUE(rewritten.empty());
    // Removing the only member leaves a valid empty archive.
    std::size_t removed = 0;
    ASSERT_TRUE(zip::RewriteWithout(source, "A.txt", out, &removed).Ok());
    EXPECT_EQ(removed, 1u);
    zip::MemorySource emptySource(rewritten);
    zip::Reader reader;
    ASSERT_TRUE(reader.Open(emptySource).Ok());
    EXPECT_EQ(reader.Count(), 0u);
}

}  // namespace
