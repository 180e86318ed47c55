#include "refdb/Scramble.h"

#include "refdb/MarkupReader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string AllByteValues() {
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    return bytes;
}

TEST(ScrambleTest, ScramblingTwiceGivesTheOriginalBack) {
    const std::string original = AllByteValues() + "<BX TOTAL=\"1\"/>\r\n" + AllByteValues();
    std::string bytes = original;
    refdb::Scramble(bytes);
    refdb::Scramble(bytes);
    EXPECT_EQ(bytes, original);
    EXPECT_EQ(refdb::Scrambled(refdb::Scrambled(original)), original);

    std::string empty;
    refdb::Scramble(empty);
    EXPECT_TRUE(empty.empty());
}

TEST(ScrambleTest, EveryByteChangesAndNoneIsLost) {
    const std::string values = AllByteValues();
    const std::string scrambled = refdb::Scrambled(values);
    std::string seen(256, '\0');
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_NE(scrambled[i], values[i]) << "byte " << i;
        seen[static_cast<unsigned char>(scrambled[i])] = 1;
    }
    // A byte-for-byte mapping: all 256 values still occur once.
    EXPECT_EQ(seen, std::string(256, '\1'));

    // Lengths that do not fill whole words are scrambled to the last byte,
    // each byte the same way wherever it stands.
    for (std::size_t length = 1; length <= 19; ++length) {
        const std::string text = values.substr(100, length);
        const std::string out = refdb::Scrambled(text);
        ASSERT_EQ(out.size(), length);
        for (std::size_t i = 0; i < length; ++i) {
            EXPECT_EQ(out[i], scrambled[100 + i]) << "length " << length << " byte " << i;
        }
    }
}

TEST(ScrambleTest, ScrambledMarkupIsReadableOnlyAfterUnscrambling) {
    const std::string markup = "<BX TOTAL=\"1\"><SW NAME=\"Fictional Adware\"/></BX>";
    std::string stored = refdb::Scrambled(markup);
    refdb::MarkupReader reader;
    EXPECT_FALSE(reader.LoadText(stored));
    refdb::Scramble(stored);
    ASSERT_TRUE(reader.LoadText(stored));
    ASSERT_TRUE(reader.FindChildElement("SW"));
    EXPECT_EQ(reader.GetChildAttribute("NAME"), "Fictional Adware");
}

TEST(ScrambleTest, FilesWrittenEarlierStayReadable) {
    // Stored bytes of "<BX/>" as written by this program: the key byte is part
    // of the file format.
    const std::string stored = "\x89\xF7\xED\x9A\x8B";
    EXPECT_EQ(refdb::Scrambled(stored), "<BX/>");
}

}  // namespace
