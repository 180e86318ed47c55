// The launch query as bytes: what the filter module writes and what the
// program accepts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "realtime/LaunchMessage.h"

namespace {

using realtime::DecodeLaunchMessage;
using realtime::EncodeLaunchMessage;
using realtime::kLaunchFieldSize;
using realtime::kLaunchMessageSize;
using realtime::LaunchMessageBytes;

TEST(LaunchMessageTest, RoundTripsBothTextsAtTheirOffsets) {
    LaunchMessageBytes bytes;
    ASSERT_TRUE(EncodeLaunchMessage("\"C:\\Windows\\cmd.exe\"", "C:\\Bad\\bad.exe", &bytes));
    EXPECT_EQ(std::string(bytes.data()), "\"C:\\Windows\\cmd.exe\"");
    EXPECT_EQ(std::string(bytes.data() + 261), "C:\\Bad\\bad.exe");
    auto query = DecodeLaunchMessage(bytes.data(), bytes.size());
    ASSERT_TRUE(query.has_value());
    EXPECT_EQ(query->caller, "\"C:\\Windows\\cmd.exe\"");
    EXPECT_EQ(query->executable, "C:\\Bad\\bad.exe");
}

TEST(LaunchMessageTest, TextsOfAtMost260BytesFitAndLongerOnesAreRefused) {
    const std::string longest(260, 'a');
    LaunchMessageBytes bytes;
    ASSERT_TRUE(EncodeLaunchMessage(longest, longest, &bytes));
    auto query = DecodeLaunchMessage(bytes.data(), bytes.size());
    ASSERT_TRUE(query.has_value());
    EXPECT_EQ(query->caller, longest);
    EXPECT_EQ(query->executable, longest);

    EXPECT_FALSE(EncodeLaunchMessage(std::string(261, 'a'), "x", &bytes));
    EXPECT_FALSE(EncodeLaunchMessage("x", std::string(261, 'a'), &bytes));
    EXPECT_FALSE(EncodeLaunchMessage(std::string("a\0b", 3), "x", &bytes));
    // A refused encoding leaves nothing half-written behind.
    EXPECT_EQ(std::string(bytes.data(), 3), std::string(3, '\0'));
}

TEST(LaunchMessageTest, MessagesOfTheWrongSizeOrWithoutTerminatorsAreRefused) {
    LaunchMessageBytes bytes;
    ASSERT_TRUE(EncodeLaunchMessage("a", "b", &bytes));
    EXPECT_FALSE(DecodeLaunchMessage(bytes.data(), kLaunchMessageSize - 1));
    std::vector<char> longer(bytes.begin(), bytes.end());
    longer.push_back('\0');
    EXPECT_FALSE(DecodeLaunchMessage(longer.data(), longer.size()));
    EXPECT_FALSE(DecodeLaunchMessage(nullptr, kLaunchMessageSize));
    EXPECT_FALSE(DecodeLaunchMessage(bytes.data(), 0));

    LaunchMessageBytes first;
    first.fill('x');
    first[kLaunchFieldSize + 3] = '\0';
    EXPECT_FALSE(DecodeLaunchMessage(first.data(), first.size()));

    LaunchMessageBytes second;
    second.fill('x');
    second[5] = '\0';
    EXPECT_FALSE(DecodeLaunchMessage(second.data(), second.size()));
    // The last byte of the field may be its terminator.
    second[kLaunchMessageSize - 1] = '\0';
    auto query = DecodeLaunchMessage(second.data(), second.size());
    ASSERT_TRUE(query.has_value());
    EXPECT_EQ(query->caller, "xxxxx");
    EXPECT_EQ(query->executable.size(), 260u);
}

TEST(LaunchMessageTest, OnlyAFourByteZeroBlocks) {
    char answer[4];
    realtime::EncodeLaunchAnswer(realtime::kLaunchBlock, answer);
    EXPECT_EQ(realtime::DecodeLaunchAnswer(answer, 4), false);
    realtime::EncodeLaunchAnswer(realtime::kLaunchAllow, answer);
    EXPECT_EQ(realtime::DecodeLaunchAnswer(answer, 4), true);
    realtime::EncodeLaunchAnswer(7, answer);
    EXPECT_EQ(realtime::DecodeLaunchAnswer(answer, 4), true);
    EXPECT_FALSE(realtime::DecodeLaunchAnswer(answer, 3).has_value());
    EXPECT_FALSE(realtime::DecodeLaunchAnswer(nullptr, 4).has_value());
}

}  // namespace
