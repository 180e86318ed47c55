#include "browser/PrefsFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/tests/support/TestSystem.h"

namespace {

using browser::PrefsLine;
using browser::ReadPrefsLines;

std::vector<PrefsLine> Statements(std::string_view text) {
    std::vector<PrefsLine> found;
    for (const PrefsLine& line : ReadPrefsLines(text)) {
        if (line.isPref)
            found.push_back(line);
    }
    return found;
}

TEST(PrefsLinesTest, StatementsAndWhatIsNotOne) {
    const std::string text =
        "// Mozilla User Preferences\r\n"
        "user_pref(\"browser.startup.homepage\", \"http://a.example/|http://b.example/\");\r\n"
        "  user_pref ( 'single' ,  -12 ) ;   // trailing comment\r\n"
        "pref(\"esc\\\"aped\", \"\\u00e9\\x41\\\\\\n\");\n"
        "sticky_pref(\"flag\", false);\n"
        "/* block opens\n"
        "user_pref(\"in.comment\", 1);\n"
        "closes */ user_pref(\"after.comment\", 1);\n"
        "user_pref(\"no.semicolon\", 1)\n"
        "user_pref(\"garbage\", 1); x\n"
        "user_prefs(\"other.word\", 1);\n"
        "user_pref(\"unterminated, 1);\n"
        "user_pref(\"bare\", abc);\n"
        "user_pref(\"last\", true);";
    const std::vector<PrefsLine> lines = ReadPrefsLines(text);
    ASSERT_EQ(lines.size(), 14u);
    const std::vector<PrefsLine> found = Statements(text);
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found[0].name, "browser.startup.homepage");
    EXPECT_EQ(found[0].value, "http://a.example/|http://b.example/");
    EXPECT_TRUE(found[0].isString);
    // CR LF: the CR is part of the line end, not of the line.
    EXPECT_EQ(browser::LineText(text, found[0]).back(), ';');
    EXPECT_EQ(found[1].name, "single");
    EXPECT_EQ(found[1].value, "-12");
    EXPECT_FALSE(found[1].isString);
    EXPECT_EQ(found[2].name, "esc\"aped");
    EXPECT_EQ(found[2].value,
              "\xC3\xA9"
              "A\\\n");
    EXPECT_EQ(found[3].name, "flag");
    EXPECT_EQ(found[3].value, "false");
    EXPECT_EQ(found[4].name, "last");
    EXPECT_EQ(found[4].next, text.size());
    // A comment in a string opens nothing.
    EXPECT_EQ(Statements("user_pref(\"a\", \"/* x\");\nuser_pref(\"b\", 1);\n").size(), 2u);
    EXPECT_EQ(Statements("x = \"/*\";\nuser_pref(\"b\", 1);\n").size(), 1u);
    EXPECT_EQ(Statements("// /*\nuser_pref(\"b\", 1);\n").size(), 1u);
    EXPECT_TRUE(ReadPrefsLines("").empty());
}

class PrefsRewriteTest : public ::testing::Test {
  protected:
    PrefsRewriteTest() { host.files().CreateDirectory("C:\\p"); }
    std::string Read(const char* path) {
        std::string text;
        EXPECT_EQ(host.files().ReadFile(path, &text), platform::kSuccess);
        return text;
    }
    int RemoveNamed(const char* path, std::string_view name) {
        int removed = -1;
        EXPECT_EQ(browser::RemovePrefsLines(
                      host.files(), path,
                      [&](const PrefsLine& line, std::string_view) { return line.name == name; },
                      &removed),
                  platform::kSuccess);
        return removed;
    }
    testsupport::TestSystem host;
};

TEST_F(PrefsRewriteTest, LargeFileLosesOnlyTheChosenLines) {
    // More than 10 MB of statements and comments, CR LF and LF mixed.
    std::string kept;
    std::string original;
    int hijacks = 0;
    for (int i = 0; original.size() < 11u * 1024 * 1024; ++i) {
        const std::string line = "user_pref(\"filler." + std::to_string(i) + "\", \"" +
                                 std::string(200, static_cast<char>('a' + i % 26)) + "\");" +
                                 (i % 2 ? "\r\n" : "\n");
        original += line;
        kept += line;
        if (i % 1000 == 0) {
            const std::string hijack =
                "user_pref(\"browser.startup.homepage\", \"http://x.example/\");\r\n";
            original += hijack;
            ++hijacks;
        }
    }
    ASSERT_EQ(host.files().WriteFile("C:\\p\\prefs.js", original), platform::kSuccess);
    ASSERT_GT(hijacks, 40);
    EXPECT_EQ(RemoveNamed("C:\\p\\prefs.js", "browser.startup.homepage"), hijacks);
    EXPECT_EQ(Read("C:\\p\\prefs.js"), kept);
    EXPECT_FALSE(host.files().Exists("C:\\p\\prefs.js.bxnew"));
}

TEST_F(PrefsRewriteTest, InvalidUtf8AndVeryLongLinesStayByteForByte) {
    const std::string longLine =
        "user_pref(\"long\", \"" + std::string(2 * 1024 * 1024, 'z') + "\xFF\xFE\");\n";
    const std::string junk = "\xC3\x28\xA0\xA1 not a statement \xF0\x28\x8C\x28\r\n";
    const std::string badName = "user_pref(\"bad\xFF\", \"\xC3\x28\");\n";
    const std::string target = "user_pref(\"browser.startup.homepage\", \"http://y.example\");";
    const std::string original = junk + longLine + badName + target;  // no final line end
    ASSERT_EQ(host.files().WriteFile("C:\\p\\user.js", original), platform::kSuccess);

    const std::vector<PrefsLine> found = Statements(original);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].value.size(), 2u * 1024 * 1024 + 2);
    EXPECT_EQ(found[1].name, "bad\xFF");
    EXPECT_EQ(found[1].value, "\xC3\x28");

    EXPECT_EQ(RemoveNamed("C:\\p\\user.js", "browser.startup.homepage"), 1);
    EXPECT_EQ(Read("C:\\p\\user.js"), junk + longLine + badName);
    EXPECT_EQ(RemoveNamed("C:\\p\\user.js", "bad\xFF"), 1);
    EXPECT_EQ(Read("C:\\p\\user.js"), junk + longLine);
}

TEST_F(PrefsRewriteTest, NothingToTakeOutReadOnlyFilesAndFailedWrites) {
    const std::string original = "user_pref(\"a\", 1);\nuser_pref(\"b\", 2);\n";
    ASSERT_EQ(host.files().WriteFile("C:\\p\\user.js", original), platform::kSuccess);
    EXPECT_EQ(RemoveNamed("C:\\p\\user.js", "absent"), 0);
    EXPECT_EQ(Read("C:\\p\\user.js"), original);

    // A lock another program put on the file does not keep the line.
    ASSERT_EQ(host.files().SetAttributes("C:\\p\\user.js", platform::kAttrReadOnly),
              platform::kSuccess);
    EXPECT_EQ(RemoveNamed("C:\\p\\user.js", "a"), 1);
    EXPECT_EQ(Read("C:\\p\\user.js"), "user_pref(\"b\", 2);\n");
    EXPECT_EQ(host.files().GetAttributes("C:\\p\\user.js") & platform::kAttrReadOnly, 0u);

    // When the new text cannot be written beside, the file stays as it was.
    ASSERT_EQ(host.files().CreateDirectory("C:\\p\\user.js.bxnew"), platform::kSuccess);
    int removed = -1;
    EXPECT_NE(browser::RemovePrefsLines(
                  host.files(), "C:\\p\\user.js",
                  [](const PrefsLine&, std::string_view) { return true; }, &removed),
              platform::kSuccess);
    EXPECT_EQ(removed, 0);
    EXPECT_EQ(Read("C:\\p\\user.js"), "user_pref(\"b\", 2);\n");

    // A missing file is an error, not an empty success.
    EXPECT_NE(browser::RemovePrefsLines(host.files(), "C:\\p\\none.js",
                                        [](const PrefsLine&, std::string_view) { return true; }),
              platform::kSuccess);
}

}  // namespace
