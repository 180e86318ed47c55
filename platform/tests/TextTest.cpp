#include "platform/Text.h"

#include <gtest/gtest.h>

#include <set>
#include <unordered_set>

namespace {

TEST(TextTest, CaseFoldingIsAsciiOnly) {
    EXPECT_TRUE(text::EqualsNoCase("HKEY_Current_User", "hkey_current_user"));
    EXPECT_FALSE(text::EqualsNoCase("abc", "abcd"));
    // Bytes of multi-byte characters are not folded: "É" and "é" differ.
    EXPECT_FALSE(text::EqualsNoCase("\xC3\x89", "\xC3\xA9"));
    EXPECT_LT(text::CompareNoCase("apple", "Banana"), 0);
    EXPECT_GT(text::CompareNoCase("b", "A"), 0);
    EXPECT_LT(text::CompareNoCase("ab", "ABC"), 0);
    EXPECT_EQ(text::CompareNoCase("Zed", "zED"), 0);
    EXPECT_EQ(text::ToLower("MiXeD\xC3\x89"), "mixed\xC3\x89");
    EXPECT_EQ(text::ToUpper("abc1"), "ABC1");
}

TEST(TextTest, SearchesAndAffixes) {
    EXPECT_EQ(text::FindNoCase("C:\\Windows\\System32", "SYSTEM"), 11u);
    EXPECT_EQ(text::FindNoCase("abc", "abcd"), std::string_view::npos);
    EXPECT_EQ(text::FindNoCase("aXbXc", "x", 2), 3u);
    EXPECT_TRUE(text::StartsWithNoCase("Software\\Brindlex5", "SOFTWARE\\"));
    EXPECT_TRUE(text::EndsWithNoCase("archive.ZIP", ".zip"));
    EXPECT_FALSE(text::EndsWithNoCase("zip", ".zip"));
}

TEST(TextTest, CaseInsensitiveContainers) {
    std::set<std::string, text::LessNoCase> names{"Beta", "alpha", "ALPHA"};
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(*names.begin(), "alpha");
    std::unordered_set<std::string, text::HashNoCase, text::EqualNoCase> set{"Run", "RUN", "run"};
    EXPECT_EQ(set.size(), 1u);
    EXPECT_TRUE(set.count("rUn") == 1);
}

TEST(TextTest, WildcardMatchesLikeFindFirstFile) {
    EXPECT_TRUE(text::WildcardMatch("*@site[*].txt", "user@site[1].txt"));
    EXPECT_TRUE(text::WildcardMatch("*@SITE[*].TXT", "user@site[12].txt"));
    EXPECT_FALSE(text::WildcardMatch("*@site[*].txt", "user@other[1].txt"));
    EXPECT_TRUE(text::WildcardMatch("*", ""));
    EXPECT_TRUE(text::WildcardMatch("*.*", "file.tar.gz"));
    EXPECT_TRUE(text::WildcardMatch("?at", "Cat"));
    EXPECT_FALSE(text::WildcardMatch("?at", "at"));
    EXPECT_TRUE(text::WildcardMatch("a*b*c", "aXXbYYbZc"));
    EXPECT_FALSE(text::WildcardMatch("a*b*c", "aXXbYY"));
    // A pathological pattern finishes quickly.
    std::string name(5000, 'a');
    EXPECT_FALSE(text::WildcardMatch("*a*a*a*a*a*a*b", name));
}

TEST(TextTest, SplitTrimAndPaths) {
    auto parts = text::Split("a?b??c", '?');
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[2], "");
    EXPECT_EQ(parts[3], "c");
    EXPECT_EQ(text::Trim(" \t x y \r\n"), "x y");
    EXPECT_EQ(text::FileName("C:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(text::FileName("b.txt"), "b.txt");
    EXPECT_EQ(text::ParentPath("C:\\a\\b.txt"), "C:\\a");
    EXPECT_EQ(text::ParentPath("b.txt"), "");
    EXPECT_EQ(text::JoinPath("C:\\a\\", "b"), "C:\\a\\b");
    EXPECT_EQ(text::JoinPath("C:\\a", "b"), "C:\\a\\b");
    EXPECT_EQ(text::WithoutTrailingBackslash("C:\\a\\\\"), "C:\\a");
}

TEST(TextTest, Utf8Validation) {
    EXPECT_TRUE(text::IsValidUtf8("plain"));
    EXPECT_TRUE(text::IsValidUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_FALSE(text::IsValidUtf8("\xC3"));          // cut short
    EXPECT_FALSE(text::IsValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(text::IsValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(text::IsValidUtf8("\xE2\x82"));      // cut short at the end
    EXPECT_FALSE(text::IsValidUtf8("\xFF"));
}

TEST(TextTest, Utf16LittleEndianToUtf8) {
    using namespace std::string_literals;
    EXPECT_EQ(text::Utf16LeToUtf8("A\0\xE9\0\xAC\x20"s), "A\xC3\xA9\xE2\x82\xAC");
    // A surrogate pair is one character; a lone half is a replacement one.
    EXPECT_EQ(text::Utf16LeToUtf8("\x3D\xD8\x00\xDE"s), "\xF0\x9F\x98\x80");
    EXPECT_EQ(text::Utf16LeToUtf8("\x3D\xD8"
                                  "A\0"s),
              "\xEF\xBF\xBD"
              "A");
    EXPECT_EQ(text::Utf16LeToUtf8("\x00\xDE"s), "\xEF\xBF\xBD");
    // An odd last byte is dropped.
    EXPECT_EQ(text::Utf16LeToUtf8("A\0B"s), "A");
    EXPECT_EQ(text::Utf16LeToUtf8(""), "");
}

}  // namespace
