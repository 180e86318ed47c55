#include "shields/places/MenuOrder.h"

#include <gtest/gtest.h>

#include "shields/places/tests/OrderBlob.h"

namespace {

using shields::OrderNameForm;
using shields::ReadMenuOrder;
using shields::testing::OrderBlob;

std::vector<std::string> Names(const std::vector<shields::OrderItem>& items) {
    std::vector<std::string> names;
    for (const auto& item : items)
        names.push_back(item.name);
    return names;
}

TEST(MenuOrderTest, NameFormFollowsTheSystemVersion) {
    EXPECT_EQ(shields::OrderNameFormFor(2, 5, 1), OrderNameForm::kXp);
    EXPECT_EQ(shields::OrderNameFormFor(2, 5, 2), OrderNameForm::kXp);
    EXPECT_EQ(shields::OrderNameFormFor(2, 5, 0), OrderNameForm::kPlain);  // 2000
    EXPECT_EQ(shields::OrderNameFormFor(2, 6, 1), OrderNameForm::kPlain);  // 7
    EXPECT_EQ(shields::OrderNameFormFor(2, 10, 0), OrderNameForm::kPlain);
    EXPECT_EQ(shields::OrderNameFormFor(1, 5, 1), OrderNameForm::kPlain);  // not NT
}

TEST(MenuOrderTest, PlainItemsComeInPositionOrderWithTheirLinkFlag) {
    const auto blob = OrderBlob()
                          .Plain(2, OrderBlob::kLink, u"Third.url")
                          .Plain(0, 0, u"Links")
                          .Plain(1, OrderBlob::kLink | OrderBlob::kUnicode, u"Caf\u00e9 \u03a9.url")
                          .Bytes();
    const auto items = ReadMenuOrder(blob, OrderNameForm::kPlain);
    ASSERT_EQ(Names(items),
              (std::vector<std::string>{"Links", "Caf\xC3\xA9 \xCE\xA9.url", "Third.url"}));
    EXPECT_FALSE(items[0].isLink);
    EXPECT_TRUE(items[1].isLink);
    EXPECT_TRUE(items[2].isLink);
    EXPECT_EQ(items[2].position, 2u);
}

TEST(MenuOrderTest, OwnIndexPositionsAndOutOfRangePositions) {
    const auto blob = OrderBlob()
                          .Plain(-5, 0, u"zero")
                          .Plain(7, 0, u"beyond the count")
                          .Plain(-5, 0, u"two")
                          .Plain(-1, 0, u"negative")
                          .Bytes();
    // Four items: -5 takes the running index; 7 and -1 are not below 4.
    EXPECT_EQ(Names(ReadMenuOrder(blob, OrderNameForm::kPlain)),
              (std::vector<std::string>{"zero", "two"}));
}

TEST(MenuOrderTest, AnsiNamesAreReadAsWindows1252) {
    const auto blob = OrderBlob().Plain(0, OrderBlob::kLink, u"\x80 \xe9t\xe9.url").Bytes();
    EXPECT_EQ(Names(ReadMenuOrder(blob, OrderNameForm::kPlain)),
              std::vector<std::string>{"\xE2\x82\xAC \xC3\xA9t\xC3\xA9.url"});
}

TEST(MenuOrderTest, XpFormUsesTheLongNameAfterEitherShortForm) {
    const auto blob = OrderBlob()
                          // "SHORT~1.URL" is 11 bytes + zero: even, no padding.
                          .Xp(0, OrderBlob::kLink, u"SHORT~1.URL", u"Short and long.url")
                          // 10 bytes + zero: one byte of padding.
                          .Xp(1, 0, u"ODDNAME~1X", u"Odd folder")
                          .Xp(2, OrderBlob::kUnicode, u"WIDE~1", u"\u65e5\u672c")
                          .Bytes();
    EXPECT_EQ(
        Names(ReadMenuOrder(blob, OrderNameForm::kXp)),
        (std::vector<std::string>{"Short and long.url", "Odd folder", "\xE6\x97\xA5\xE6\x9C\xAC"}));
    // Read as the plain form, the same blob gives the short names.
    EXPECT_EQ(Names(ReadMenuOrder(blob, OrderNameForm::kPlain)),
              (std::vector<std::string>{"SHORT~1.URL", "ODDNAME~1X", "WIDE~1"}));
}

TEST(MenuOrderTest, XpItemWithoutRoomForALongNameKeepsItsShortName) {
    const auto blob = OrderBlob().Plain(0, 0, u"ONLY~1").Bytes();
    EXPECT_EQ(Names(ReadMenuOrder(blob, OrderNameForm::kXp)), std::vector<std::string>{"ONLY~1"});
}

TEST(MenuOrderTest, NamesThatCouldLeaveTheFolderAreLeftOut) {
    const auto blob = OrderBlob()
                          .Plain(0, OrderBlob::kLink, u"..\\..\\Windows\\win.ini")
                          .Plain(1, OrderBlob::kLink, u"C:evil.url")
                          .Plain(2, 0, u"..")
                          .Plain(3, 0, u"")
                          .Plain(4, OrderBlob::kLink, u"a/b.url")
                          .Plain(5, OrderBlob::kLink, u"fine.url")
                          .Bytes();
    EXPECT_EQ(Names(ReadMenuOrder(blob, OrderNameForm::kPlain)),
              std::vector<std::string>{"fine.url"});
}

TEST(MenuOrderTest, DamagedBlobsAreReadOnlyAsFarAsTheyHold) {
    EXPECT_TRUE(ReadMenuOrder({}, OrderNameForm::kPlain).empty());
    EXPECT_TRUE(ReadMenuOrder(std::vector<std::uint8_t>(19, 0xFF), OrderNameForm::kPlain).empty());

    // A count far beyond the items: only the items present are read.
    auto huge = OrderBlob().Plain(0, 0, u"first").Count(0xFFFFFFFFu).Bytes();
    EXPECT_EQ(Names(ReadMenuOrder(huge, OrderNameForm::kPlain)), std::vector<std::string>{"first"});

    // A zero length would never advance; the walk stops there.
    std::vector<std::uint8_t> stuck(22, 0);
    auto zero = OrderBlob().Plain(0, 0, u"before").Raw(stuck).Plain(2, 0, u"after").Bytes();
    EXPECT_EQ(Names(ReadMenuOrder(zero, OrderNameForm::kPlain)),
              std::vector<std::string>{"before"});

    // The last item claims more bytes than remain and its name has no end:
    // the name stops at the end of the data.
    auto cut = OrderBlob().Plain(0, 0, u"whole").Plain(1, 0, u"truncated").Bytes();
    cut.resize(cut.size() - 4);
    EXPECT_EQ(Names(ReadMenuOrder(cut, OrderNameForm::kPlain)),
              (std::vector<std::string>{"whole", "trunca"}));

    // A UTF-16 name with an odd byte at the end of the data.
    auto odd = OrderBlob().Plain(0, OrderBlob::kUnicode, u"ab").Bytes();
    odd.resize(odd.size() - 3);
    EXPECT_EQ(Names(ReadMenuOrder(odd, OrderNameForm::kXp)), std::vector<std::string>{"a"});

    // An item too short for its flags is skipped, the walk goes on.
    std::vector<std::uint8_t> tiny;
    OrderBlob::Put32(tiny, 8);
    OrderBlob::Put32(tiny, 0);
    auto skipped = OrderBlob().Raw(tiny).Plain(1, 0, u"next").Bytes();
    EXPECT_EQ(Names(ReadMenuOrder(skipped, OrderNameForm::kPlain)),
              std::vector<std::string>{"next"});
}

TEST(MenuOrderTest, LaterItemOfTheSamePositionWins) {
    const auto blob =
        OrderBlob().Plain(0, 0, u"old").Plain(0, OrderBlob::kLink, u"new.url").Bytes();
    const auto items = ReadMenuOrder(blob, OrderNameForm::kPlain);
    ASSERT_EQ(Names(items), std::vector<std::string>{"new.url"});
    EXPECT_TRUE(items[0].isLink);
}

}  // namespace
