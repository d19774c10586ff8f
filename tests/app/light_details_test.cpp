#include "app/light_details.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/spectrum_file.h"

namespace app {
namespace {

TEST(LightDetails, TargetOptionsParseOrRefuse) {
    struct Case {
        const char* option;
        const char* value;
        bool ok;
    };
    const Case cases[] = {
        {"lux", "500", true},          {"lux", "600\u00b150", true},
        {"lux", "800+-200", true},     {"lux", "", false},
        {"lux", "-5", false},          {"lux", "500\u00b1", false},
        {"lux", "500\u00b1-1", false}, {"lux", "nan", false},
        {"white", "D50", true},        {"white", "d65", true},
        {"white", "5500K", true},      {"white", "3000K", false},
        {"white", "K", false},         {"white", "D93", false},
        {"white", "30000K", false},    {"ra", "0", true},
        {"ra", "100", true},           {"ra", "101", false},
        {"ra", "ninety", false},
    };
    for (const Case& c : cases) {
        Targets t = defaultTargets();
        std::string error;
        const std::string option = c.option;
        const bool ok = option == "lux"     ? parseTargetLux(c.value, t, error)
                        : option == "white" ? parseTargetWhite(c.value, t, error)
                                            : parseTargetRa(c.value, t, error);
        EXPECT_EQ(ok, c.ok) << c.option << " " << c.value;
        EXPECT_EQ(error.empty(), c.ok) << c.option << " " << c.value;
    }
    Targets t = defaultTargets();
    std::string error;
    ASSERT_TRUE(parseTargetLux("600\u00b150", t, error));
    EXPECT_EQ(t.lux, 600.0);
    EXPECT_EQ(t.luxTolerance, 50.0);
    ASSERT_TRUE(parseTargetLux("700", t, error));
    EXPECT_EQ(t.luxTolerance, 0.0);
}

TEST(LightDetails, VerdictPassesOnlyWithinEveryTarget) {
    Targets t = defaultTargets();
    t.whiteU = 0.2092;
    t.whiteV = 0.4881;
    LightDetails d;
    d.lux = 625;
    d.uPrime = t.whiteU + 0.003;
    d.vPrime = t.whiteV - 0.0039;  // just within 0.005
    d.hasRendering = true;
    d.ra = 90;
    d.ri[8] = 50;
    EXPECT_TRUE(judge(d, t).overall());
    for (auto spoil :
         {+[](LightDetails& x) { x.lux = 625.5; }, +[](LightDetails& x) { x.vPrime -= 0.0002; },
          +[](LightDetails& x) { x.ra = 89.9; }, +[](LightDetails& x) { x.ri[8] = 49.9; },
          +[](LightDetails& x) { x.hasRendering = false; }}) {
        LightDetails bad = d;
        spoil(bad);
        EXPECT_FALSE(judge(bad, t).overall());
    }
}

TEST(LightDetails, SpectrumCsvReadsBackExactly) {
    SpectrumRecord s{380, 10, 36, 0, {}};
    for (std::uint32_t i = 0; i < s.count; ++i)
        s.values[i] = 1.0 / (3.0 + i) + 1e-17 * i;
    const std::string path = ::testing::TempDir() + "light_details_spectrum.csv";
    std::string error;
    ASSERT_TRUE(writeSpectrumCsv(path, s, error)) << error;
    std::vector<SpectrumPoint> points;
    ASSERT_TRUE(readSpectrumFile(path, points, error)) << error;
    ASSERT_EQ(points.size(), s.count);
    for (std::uint32_t i = 0; i < s.count; ++i) {
        EXPECT_EQ(points[i].wavelengthNm, 380.0 + 10.0 * i);
        EXPECT_EQ(points[i].value, s.values[i]);
    }
    std::remove(path.c_str());
    EXPECT_FALSE(writeSpectrumCsv(::testing::TempDir() + "no/such/dir.csv", s, error));
    EXPECT_NE(error.find("could not be written"), std::string::npos);
}

}  // namespace
}  // namespace app
