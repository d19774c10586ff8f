// Colour comparators, through the exported interface.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "chromel32.h"

namespace {

using Compare = double (*)(const ColorRecord*, const ColorRecord*);

TEST(Compare, FirstDifferingComponentDecides) {
    const ColorRecord a{{1, 2, 3, 0}}, b{{1, 5, 0, 0}};
    EXPECT_EQ(QelColComp_Greater3DColor(&a, &b), 3.0);
    EXPECT_EQ(QelColComp_Lesser3DColor(&a, &b), -3.0);
    EXPECT_EQ(QelColComp_RGreater3DColor(&a, &b), -3.0);
    EXPECT_EQ(QelColComp_RLesser3DColor(&a, &b), 3.0);
    const ColorRecord c{{1, 2, 3, 9}}, d{{1, 2, 3, 4}};
    EXPECT_EQ(QelColComp_Greater4DColor(&c, &d), -5.0);
    EXPECT_EQ(QelColComp_RLesser4DColor(&c, &d), 5.0);
    EXPECT_EQ(QelColComp_Greater3DColor(&c, &d), 0.0);  // the fourth is not read
    for (Compare f : {QelColComp_Greater4DColor, QelColComp_Lesser4DColor,
                      QelColComp_RGreater4DColor, QelColComp_RLesser4DColor})
        EXPECT_EQ(f(&c, &c), 0.0);
    const double five = 5, two = 2;
    EXPECT_EQ(QelColComp_Greater1DColor(&five, &two), 3.0);
    EXPECT_EQ(QelColComp_Lesser1DColor(&five, &two), -3.0);
}

TEST(Compare, SortsAsDocumented) {
    std::mt19937 gen(3);
    std::uniform_int_distribution<int> small(0, 2);  // many ties
    std::vector<ColorRecord> colours(300);
    for (auto& c : colours)
        c = {{double(small(gen)), double(small(gen)), double(small(gen)), double(small(gen))}};
    struct Case {
        Compare f;
        int dims;
        bool reverse, descending;
    };
    const Case cases[] = {
        {QelColComp_Greater4DColor, 4, false, true}, {QelColComp_Lesser4DColor, 4, false, false},
        {QelColComp_RGreater4DColor, 4, true, true}, {QelColComp_RLesser4DColor, 4, true, false},
        {QelColComp_Greater3DColor, 3, false, true}, {QelColComp_Lesser3DColor, 3, false, false},
        {QelColComp_RGreater3DColor, 3, true, true}, {QelColComp_RLesser3DColor, 3, true, false}};
    for (const Case& c : cases) {
        auto sorted = colours;
        std::sort(sorted.begin(), sorted.end(),
                  [&](const ColorRecord& a, const ColorRecord& b) { return c.f(&a, &b) < 0; });
        auto key = [&](const ColorRecord& x) {
            std::vector<double> k;
            for (int i = 0; i < c.dims; ++i)
                k.push_back(x.v[c.reverse ? c.dims - 1 - i : i] * (c.descending ? -1 : 1));
            return k;
        };
        EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(),
                                   [&](const auto& a, const auto& b) { return key(a) < key(b); }));
    }
    std::vector<double> values = {3, 1, 2, 2, 5, 0};
    std::sort(values.begin(), values.end(),
              [](double a, double b) { return QelColComp_Greater1DColor(&a, &b) < 0; });
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    std::sort(values.begin(), values.end(),
              [](double a, double b) { return QelColComp_Lesser1DColor(&a, &b) < 0; });
    EXPECT_TRUE(std::is_sorted(values.rbegin(), values.rend()));
}

}  // namespace
