// Spot-head protocol helpers: request text, reply number check, field scanning, code tables.
#include "meterio/serial/spot_protocol.h"

#include <gtest/gtest.h>

#include <cstring>

#include "meterio32.h"

namespace spot = meterio::serial::spot;

namespace {

bool check(std::uint32_t expected, const char* reply) {
    return spot::CheckReplyNumber(expected, std::strlen(reply), reply);
}

}  // namespace

TEST(SpotProtocol, RequestsAreFormattedWithTheirFixedColumns) {
    EXPECT_EQ(spot::conditionCommand(1, 0, 3, 0), "; 22 1 0  3 0\r\n");
    EXPECT_EQ(spot::conditionCommand(8, 1, 35, 1), "; 22 8 1 35 1\r\n");
    EXPECT_EQ(spot::colorimetricCommand(4), "; 186 9 4\r\n");
}

TEST(CheckReplyNumber, RejectsOnlyWellFormedRepliesWithAnotherNumber) {
    EXPECT_TRUE(check(31, ": 31 0\r\n"));
    EXPECT_FALSE(check(31, ": 37 0\r\n"));
    EXPECT_FALSE(check(11, ": 111 0\r\n"));
    // Not judged: no colon first, no CR LF, no number.
    EXPECT_TRUE(check(31, "; 37 0\r\n"));
    EXPECT_TRUE(check(31, ": 37 0"));
    EXPECT_TRUE(check(31, ": x 0\r\n"));
    EXPECT_TRUE(check(31, ""));
    EXPECT_TRUE(spot::CheckReplyNumber(31, 0, nullptr));
}

TEST(SpotReplyScan, ConvertsFieldsInTheirTypesAfterThePrefix) {
    const auto f = spot::scanReply(": 187 9 1 51.25 -3.5 1e1 0 0 0 2 0 0 128\r\n", 187,
                                   spot::kColorimetricFormat);
    ASSERT_EQ(f.count, 12u);
    EXPECT_EQ(f.u(1), 9u);
    EXPECT_DOUBLE_EQ(f.f(3), 51.25);
    EXPECT_DOUBLE_EQ(f.f(4), -3.5);
    EXPECT_DOUBLE_EQ(f.f(5), 10.0);
    EXPECT_EQ(f.u(12), 128u);

    const auto chars = spot::scanReply(": 49 1 2 A  B\r\n", 49, "uucc");
    ASSERT_EQ(chars.count, 4u);
    EXPECT_EQ(chars.u(3), static_cast<std::uint32_t>('A'));
    EXPECT_EQ(chars.u(4), static_cast<std::uint32_t>('B'));
}

TEST(SpotReplyScan, CountsFieldsUpToTheFirstThatFails) {
    EXPECT_EQ(spot::scanReply(": 11 1 0 x 0 0\r\n", 11, "uuuuu").count, 2u);
    EXPECT_EQ(spot::scanReply(": 11 1 0\r\n", 11, "uuuuu").count, 2u);
    // Another prefix converts nothing.
    EXPECT_EQ(spot::scanReply(": 12 1 0 3 0 0\r\n", 11, "uuuuu").count, 0u);
    EXPECT_EQ(spot::scanReply(":11 1 0 3 0 0\r\n", 11, "uuuuu").count, 0u);
    // A field at the very end of the text without a terminator still converts.
    EXPECT_EQ(spot::scanReply(": 19 1", 19, "u").count, 1u);
}

TEST(SpotReplyScan, UnsignedFieldsWrapLikeTheCLibrary) {
    const auto f = spot::scanReply(": 19 -1 +7 4294967297\r\n", 19, "uuu");
    ASSERT_EQ(f.count, 3u);
    EXPECT_EQ(f.u(1), 0xFFFFFFFFu);
    EXPECT_EQ(f.u(2), 7u);
    EXPECT_EQ(f.u(3), 1u);
    EXPECT_EQ(spot::scanReal(" 2.45xyz"), 2.45);
    EXPECT_EQ(spot::scanReal("+1.5"), 1.5);
    EXPECT_FALSE(spot::scanReal("abc"));
    EXPECT_FALSE(spot::scanReal("+-1"));
    EXPECT_FALSE(spot::scanReal(""));
}

TEST(SpotConditionCodes, TranslateBothWaysWhereTheHeadHasACode) {
    for (std::uint32_t v : {0u, 1u, 4u, 5u, 6u})
        EXPECT_EQ(spot::densityFromHead(*spot::densityToHead(v)), v);
    for (std::uint32_t v : {0u, 1u, 3u, 4u, 6u, 17u, 23u, 28u})
        EXPECT_EQ(spot::illuminantFromHead(*spot::illuminantToHead(v)), v);
    EXPECT_EQ(spot::illuminantToHead(17), 24u);
    EXPECT_EQ(spot::illuminantToHead(28), 35u);
    for (std::uint32_t refused : {2u, 5u, 7u, 16u, 29u})
        EXPECT_FALSE(spot::illuminantToHead(refused));
    for (std::uint32_t refused : {2u, 3u, 8u})
        EXPECT_FALSE(spot::densityToHead(refused));
    EXPECT_FALSE(spot::illuminantFromHead(23));
    EXPECT_FALSE(spot::illuminantFromHead(36));
    EXPECT_EQ(spot::observerToHead(10), 1u);
    EXPECT_FALSE(spot::observerToHead(4));
    EXPECT_FALSE(spot::observerFromHead(2));
    EXPECT_EQ(spot::colorSpaceToHead(METERIO_CS_YXY), 0u);
    EXPECT_EQ(spot::colorSpaceToHead(METERIO_CS_XYZ), 4u);
    EXPECT_FALSE(spot::colorSpaceToHead(0x4C636820u));  // "Lch " is not the head's
    EXPECT_TRUE(spot::headState(6));
    EXPECT_FALSE(spot::headState(4));
    EXPECT_FALSE(spot::headState(7));
}
