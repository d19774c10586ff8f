// DTP41 commands and answer parsers, without a port.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "meterio/drivers/dtp41.h"

namespace dtp41 = meterio::dtp41;

TEST(Dtp41Protocol, CommandsAreFixedWidth) {
    EXPECT_EQ(dtp41::registerWrite(0x0A, 0x04), "040Acf");
    EXPECT_EQ(dtp41::registerRead(0x16), "16cf");
    EXPECT_EQ(dtp41::defineStripCommand(5, 70, 70, 24), "0240700005008ds");
    EXPECT_EQ(dtp41::defineStripCommand(1000, 70, 70, 24), std::nullopt);
    EXPECT_EQ(dtp41::transferCommand(3), "03ts");
    EXPECT_EQ(dtp41::readBackCommand(4, 3), "04003np");
    EXPECT_EQ(dtp41::readBackCommand(4, 1000), std::nullopt);
}

TEST(Dtp41Protocol, RegisterValuesRoundTrip) {
    for (std::uint32_t value = 0; value < 0x20; ++value) {
        if (const auto pair = dtp41::illuminantFromRegister(value)) {
            EXPECT_EQ(dtp41::illuminantRegister(pair->first, pair->second), value);
        }
        if (const auto density = dtp41::densityFromRegister(value)) {
            EXPECT_EQ(dtp41::densityRegister(*density), value);
        }
    }
    EXPECT_EQ(dtp41::colorSpaceFromRegister(3), 0u);
    EXPECT_EQ(dtp41::illuminantRegister(23, 10), 0x0B);
    EXPECT_EQ(dtp41::illuminantRegister(23, 4), std::nullopt);
}

TEST(Dtp41Protocol, NumbersAndDatesAtTheirPlaces) {
    EXPECT_EQ(dtp41::leadingHex(" 1A\r\n<00>"), 0x1Au);
    EXPECT_EQ(dtp41::leadingDecimal("x1"), std::nullopt);
    EXPECT_EQ(dtp41::leadingDecimal("99999999999"), std::nullopt);
    const auto date = dtp41::dateAt("0123456789ABCF812", 13);
    ASSERT_TRUE(date);
    EXPECT_EQ(date->year, 2005);
    EXPECT_EQ(date->month, 8);
    EXPECT_EQ(date->day, 12);
    EXPECT_EQ(dtp41::dateAt("0123456789ABC", 13), std::nullopt);
    EXPECT_EQ(dtp41::dateAt("0123456789ABCF8x2", 13), std::nullopt);
}

TEST(Dtp41Protocol, EveryLineMustCarryAllItsValues) {
    std::array<double, 3> v{};
    EXPECT_TRUE(dtp41::parseLine(" 1.5 -2 +3e1\r", v));
    EXPECT_EQ(v[2], 30.0);
    for (const char* bad : {"1 2", "1 2 3 4", "1 2 x", "1,5 2 3", ""})
        EXPECT_FALSE(dtp41::parseLine(bad, v)) << bad;

    std::vector<double> firsts;
    const auto keep = [&](std::uint32_t, std::span<const double> values) {
        firsts.push_back(values[0]);
    };
    // A short line no longer borrows from the next one.
    EXPECT_EQ(dtp41::parseTransfer("1 2 3\r\n4 5\r\n6 7 8\r\n<00>\r\n>\r\n", 3, 10, keep),
              std::nullopt);
    firsts.clear();
    EXPECT_EQ(dtp41::parseTransfer("1 2 3\r\n4 5 6\r\n<00>\r\n>\r\n", 3, 10, keep), 2u);
    EXPECT_EQ(firsts, (std::vector<double>{1, 4}));
    EXPECT_EQ(dtp41::parseTransfer("1 2 3\r\n4 5 6\r\n<00>\r\n>\r\n", 3, 1, keep), 1u);
    EXPECT_EQ(dtp41::parseTransfer("1 2 3", 3, 4, keep), std::nullopt);
}
