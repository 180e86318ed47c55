#include <gtest/gtest.h>

#include "ui/HtmlText.h"

namespace {

using ui::ParseHtmlColor;
using ui::ParseHtmlText;

TEST(HtmlText, BoldAndColouredRunsKeepTheirOrderAndNesting) {
    auto runs =
        ParseHtmlText("Found <b>3</b> items in <font color=\"#FF0000\">red <b>bold</b></font>.");
    ASSERT_EQ(runs.size(), 6u);
    EXPECT_EQ(runs[0].text, "Found ");
    EXPECT_FALSE(runs[0].bold);
    EXPECT_EQ(runs[1].text, "3");
    EXPECT_TRUE(runs[1].bold);
    EXPECT_EQ(runs[2].text, " items in ");
    EXPECT_FALSE(runs[2].color.has_value());
    // Windows colour order: 0x00BBGGRR.
    EXPECT_EQ(runs[3].text, "red ");
    EXPECT_EQ(runs[3].color, 0x0000FFu);
    EXPECT_FALSE(runs[3].bold);
    EXPECT_EQ(runs[4].text, "bold");
    EXPECT_TRUE(runs[4].bold);
    EXPECT_EQ(runs[4].color, 0x0000FFu);
    EXPECT_EQ(runs[5].text, ".");
    EXPECT_FALSE(runs[5].color.has_value());
}

TEST(HtmlText, InnerFontWinsAndClosingRestoresTheOuterOne) {
    auto runs = ParseHtmlText("<font color=blue>a<font color='#00FF00'>b</font>c</font>d");
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].color, 0xFF0000u);
    EXPECT_EQ(runs[1].color, 0x00FF00u);
    EXPECT_EQ(runs[2].color, 0xFF0000u);
    EXPECT_FALSE(runs[3].color.has_value());
}

TEST(HtmlText, LineBreaksEntitiesAndUnknownTags) {
    auto runs = ParseHtmlText("one<br>two &amp; &lt;three&gt;\r\nfour<i>five</i>");
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].text, "one");
    EXPECT_TRUE(runs[0].lineBreak);
    EXPECT_EQ(runs[1].text, "two & <three>");
    EXPECT_TRUE(runs[1].lineBreak);
    EXPECT_EQ(runs[2].text, "fourfive");
    EXPECT_FALSE(runs[2].lineBreak);
}

TEST(HtmlText, BrokenMarkupNeverLosesText) {
    auto runs = ParseHtmlText("</b></font>a < b and <font color=nonsense>c");
    std::string all;
    for (const auto& run : runs) {
        all += run.text;
        EXPECT_FALSE(run.bold);
        EXPECT_FALSE(run.color.has_value());
    }
    EXPECT_EQ(all, "a < b and c");
    EXPECT_TRUE(ParseHtmlText("").empty());
}

TEST(HtmlText, Colours) {
    EXPECT_EQ(ParseHtmlColor("#123456"), 0x563412u);
    EXPECT_EQ(ParseHtmlColor("abcdef"), 0xEFCDABu);
    EXPECT_EQ(ParseHtmlColor("\"Teal\""), 0x808000u);
    EXPECT_FALSE(ParseHtmlColor("#12345").has_value());
    EXPECT_FALSE(ParseHtmlColor("#12345G").has_value());
    EXPECT_FALSE(ParseHtmlColor("").has_value());
}

}  // namespace
