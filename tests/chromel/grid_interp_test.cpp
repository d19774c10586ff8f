// Interpolation inside one grid cell, through the exported interface.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "chromel32.h"

namespace {

using Cell = std::array<GridNode, 16>;
using Extract = int32_t (*)(int32_t, int32_t, const GridNode*, const ColorRecord*, uint32_t,
                            ColorRecord*);

struct Scheme {
    const char* name;
    Extract extract;
};
const Scheme kSchemes[] = {{"tetrahedral", QelColor_ExtractColors_TriLinear},
                           {"linear", QelColor_ExtractColors_Linear}};

constexpr double kRounding = 1e-12;

// A box cell spanning lo..hi on each axis, node values from `value`.
template <typename Value>
Cell boxCell(const std::array<double, 4>& lo, const std::array<double, 4>& hi, Value value) {
    Cell c{};
    for (int i = 0; i < 16; ++i) {
        const int bits[4] = {(i >> 2) & 1, (i >> 1) & 1, i & 1, (i >> 3) & 1};
        for (int a = 0; a < 4; ++a)
            c[i].position.v[a] = bits[a] ? hi[a] : lo[a];
        c[i].value = value(c[i].position);
    }
    return c;
}

ColorRecord linearField(const ColorRecord& p) {
    const double x = p.v[0], y = p.v[1], z = p.v[2], w = p.v[3];
    return {{2 * x - y + 0.5 * z + 3 * w + 1, -x + 4 * y + z - w, 0.25 * x + z + 2 * w - 7,
             x + y + z + w}};
}

std::vector<ColorRecord> run(Extract f, int in, int out, const Cell& cell,
                             const std::vector<ColorRecord>& points) {
    std::vector<ColorRecord> result(points.size(), ColorRecord{{-9, -9, -9, -9}});
    EXPECT_EQ(
        f(in, out, cell.data(), points.data(), static_cast<uint32_t>(points.size()), result.data()),
        0);
    return result;
}

TEST(CellInterpolation, ReproducesNodesAndLinearFieldsInEveryShape) {
    // One cell in the positive octant, one below zero on x and z (mirrored), one across zero.
    const std::array<std::array<double, 4>, 3> los{
        {{10, -5, 0, 1}, {-30, 2, -4, -3}, {-1, -2, -3, 0}}};
    const std::array<std::array<double, 4>, 3> his{
        {{30, 15, 2, 3}, {-10, 6, -1, -1}, {1, 2, 3, 2}}};
    std::mt19937_64 rng(3);
    for (std::size_t b = 0; b < los.size(); ++b) {
        const Cell cell = boxCell(los[b], his[b], linearField);
        std::vector<ColorRecord> points;
        for (const GridNode& n : cell)
            points.push_back(n.position);
        for (int i = 0; i < 50; ++i) {  // inside and up to half a cell beyond
            ColorRecord p{};
            for (int a = 0; a < 4; ++a) {
                std::uniform_real_distribution<double> u(1.5 * los[b][a] - 0.5 * his[b][a],
                                                         1.5 * his[b][a] - 0.5 * los[b][a]);
                p.v[a] = u(rng);
            }
            points.push_back(p);
        }
        for (const Scheme& s : kSchemes)
            for (int in : {3, 4})
                for (int out : {3, 4}) {
                    SCOPED_TRACE(std::string(s.name) + " " + std::to_string(in) + "D" +
                                 std::to_string(out) + "D cell " + std::to_string(b));
                    const std::size_t nodes = in == 3 ? 8 : 16;
                    const auto got = run(s.extract, in, out, cell, points);
                    for (std::size_t i = 0; i < points.size(); ++i) {
                        ColorRecord p = points[i];
                        if (in == 3) p.v[3] = los[b][3];  // a 3D cell lies at the lower w
                        const ColorRecord want = linearField(p);
                        for (int k = 0; k < out; ++k) {
                            if (i < nodes)
                                EXPECT_EQ(got[i].v[k], cell[i].value.v[k]) << "node " << i;
                            else
                                EXPECT_NEAR(got[i].v[k], want.v[k], 1e-9) << "point " << i;
                        }
                        if (out == 3) {
                            EXPECT_EQ(got[i].v[3], 0.0);
                        }
                    }
                }
    }
}

TEST(CellInterpolation, CubeCentreSeparatesTheSchemes) {
    const Cell cell = boxCell({0, 0, 0, 0}, {1, 1, 1, 1}, [](const ColorRecord& p) {
        const double v = p.v[0] + p.v[1] + p.v[2] == 0 ? 0.0 : 1.0;
        return ColorRecord{{v, v, v, v}};
    });
    const ColorRecord centre{{0.5, 0.5, 0.5, 0.5}};
    struct Form {
        const char* name;
        int32_t (*array)(const GridNode*, const ColorRecord*, uint32_t, ColorRecord*);
        int32_t (*single)(const GridNode*, const ColorRecord*, ColorRecord*);
        int out;
        double expected;
    };
    const Form forms[] = {
        {"TriLinear_3D3D", QelColor_ExtractColors_TriLinear_3D3D,
         QelColor_ExtractColor_TriLinear_3D3D, 3, 0.5},
        {"TriLinear_3D4D", QelColor_ExtractColors_TriLinear_3D4D,
         QelColor_ExtractColor_TriLinear_3D4D, 4, 0.5},
        {"TriLinear_4D3D", QelColor_ExtractColors_TriLinear_4D3D,
         QelColor_ExtractColor_TriLinear_4D3D, 3, 0.5},
        {"TriLinear_4D4D", QelColor_ExtractColors_TriLinear_4D4D,
         QelColor_ExtractColor_TriLinear_4D4D, 4, 0.5},
        {"3D3D", QelColor_ExtractColors_3D3D, QelColor_ExtractColor_3D3D, 3, 0.5},
        {"3D4D", QelColor_ExtractColors_3D4D, QelColor_ExtractColor_3D4D, 4, 0.5},
        {"4D3D", QelColor_ExtractColors_4D3D, QelColor_ExtractColor_4D3D, 3, 0.5},
        {"4D4D", QelColor_ExtractColors_4D4D, QelColor_ExtractColor_4D4D, 4, 0.5},
        {"Linear_3D3D", QelColor_ExtractColors_Linear_3D3D, QelColor_ExtractColor_Linear_3D3D, 3,
         0.875},
        {"Linear_3D4D", QelColor_ExtractColors_Linear_3D4D, QelColor_ExtractColor_Linear_3D4D, 4,
         0.875},
        {"Linear_4D3D", QelColor_ExtractColors_Linear_4D3D, QelColor_ExtractColor_Linear_4D3D, 3,
         0.875},
        {"Linear_4D4D", QelColor_ExtractColors_Linear_4D4D, QelColor_ExtractColor_Linear_4D4D, 4,
         0.875},
    };
    for (const Form& f : forms) {
        ColorRecord a{{-1, -1, -1, -1}}, s = a;
        EXPECT_EQ(f.array(cell.data(), &centre, 1, &a), 0) << f.name;
        EXPECT_EQ(f.single(cell.data(), &centre, &s), 0) << f.name;
        for (int k = 0; k < 4; ++k) {
            const double want = k < f.out ? f.expected : 0.0;
            EXPECT_NEAR(a.v[k], want, kRounding) << f.name << " component " << k;
            EXPECT_NEAR(s.v[k], want, kRounding) << f.name << " single, component " << k;
        }
    }
    // The generic single-point forms pick the scheme by name.
    using Single = int32_t (*)(int32_t, int32_t, const GridNode*, const ColorRecord*, ColorRecord*);
    const std::pair<Single, double> singles[] = {{QelColor_ExtractColor_TriLinear, 0.5},
                                                 {QelColor_ExtractColor, 0.5},
                                                 {QelColor_ExtractColor_Linear, 0.875}};
    for (const auto& [f, want] : singles) {
        ColorRecord r{};
        EXPECT_EQ(f(4, 3, cell.data(), &centre, &r), 0);
        EXPECT_NEAR(r.v[0], want, kRounding);
    }
    ColorRecord r{};
    EXPECT_EQ(QelColor_ExtractColors(3, 3, cell.data(), &centre, 1, &r), 0);
    EXPECT_NEAR(r.v[0], 0.5, kRounding);
}

TEST(CellInterpolation, FourDimensionalCellEndsAreItsCubes) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> u(0.0, 100.0), inside(0.2, 0.9);
    const Cell cell = boxCell({0.2, 0.2, 0.2, 2}, {0.9, 0.9, 0.9, 6}, [&](const ColorRecord&) {
        return ColorRecord{{u(rng), u(rng), u(rng), u(rng)}};
    });
    Cell upper{};
    std::copy(cell.begin() + 8, cell.end(), upper.begin());
    std::vector<ColorRecord> lowPoints, highPoints;
    for (int i = 0; i < 20; ++i) {
        const ColorRecord p{{inside(rng), inside(rng), inside(rng), 2.0}};
        lowPoints.push_back(p);
        highPoints.push_back({{p.v[0], p.v[1], p.v[2], 6.0}});
    }
    for (const Scheme& s : kSchemes) {
        const auto low4 = run(s.extract, 4, 4, cell, lowPoints);
        const auto high4 = run(s.extract, 4, 4, cell, highPoints);
        const auto low3 = run(s.extract, 3, 4, cell, lowPoints);
        const auto high3 = run(s.extract, 3, 4, upper, highPoints);
        for (std::size_t i = 0; i < lowPoints.size(); ++i)
            for (int k = 0; k < 4; ++k) {
                EXPECT_EQ(low4[i].v[k], low3[i].v[k]) << s.name;
                EXPECT_EQ(high4[i].v[k], high3[i].v[k]) << s.name;
            }
    }
}

TEST(CellInterpolation, InPlaceAndDegenerateInput) {
    const Cell cell = boxCell({0, 0, 0, 0}, {2, 2, 2, 2}, linearField);
    std::vector<ColorRecord> points{{{0.5, 1, 1.5, 0.25}}, {{2, 0, 1, 1}}};
    const auto expected = run(QelColor_ExtractColors_TriLinear, 4, 4, cell, points);
    EXPECT_EQ(QelColor_ExtractColors_TriLinear(4, 4, cell.data(), points.data(), 2, points.data()),
              0);
    for (std::size_t i = 0; i < points.size(); ++i)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(points[i].v[k], expected[i].v[k]);

    // Bad dimensions write nothing and report it; so do null pointers.
    const ColorRecord sentinel{{-9, -9, -9, -9}};
    for (const Scheme& s : kSchemes) {
        for (auto [in, out] : {std::pair{2, 3}, {3, 5}, {0, 0}, {4, -4}}) {
            ColorRecord r = sentinel;
            EXPECT_EQ(s.extract(in, out, cell.data(), points.data(), 1, &r), -1) << s.name;
            EXPECT_EQ(std::memcmp(&r, &sentinel, sizeof r), 0);
        }
        ColorRecord r = sentinel;
        EXPECT_EQ(s.extract(3, 3, nullptr, points.data(), 1, &r), -1);
        EXPECT_EQ(s.extract(3, 3, cell.data(), nullptr, 1, &r), -1);
        EXPECT_EQ(s.extract(3, 3, cell.data(), points.data(), 1, nullptr), -1);
        EXPECT_EQ(s.extract(3, 3, cell.data(), points.data(), 0, &r), 0);
        EXPECT_EQ(std::memcmp(&r, &sentinel, sizeof r), 0);
    }

    // A flat cell (zero edge on z, equal w bounds) takes the lower nodes: results stay finite.
    Cell flat = boxCell({0, 0, 1, 3}, {1, 1, 1, 3}, linearField);
    for (const Scheme& s : kSchemes) {
        const auto got = run(s.extract, 4, 4, flat, {{{0.3, 0.6, 5, 7}}});
        for (double v : got[0].v)
            EXPECT_TRUE(std::isfinite(v)) << s.name;
        EXPECT_NEAR(got[0].v[0], linearField({{0.3, 0.6, 1, 3}}).v[0], 1e-12) << s.name;
    }
}

// Random node values: every point inside the cell must land within the nodes' range. A
// wrong tetrahedron (or a mirrored one picked by an unsigned comparison) leaves it.
TEST(CellInterpolation, InsidePointsStayWithinTheNodeValues) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> value(-50.0, 50.0), unit(0.0, 1.0);
    const std::array<std::array<double, 4>, 2> los{{{1, 2, 3, 0}, {-5, -4, -7, 0}}};
    const std::array<std::array<double, 4>, 2> his{{{4, 3, 8, 1}, {-1, -1, -2, 1}}};
    for (std::size_t b = 0; b < los.size(); ++b) {
        const Cell cell = boxCell(los[b], his[b], [&](const ColorRecord&) {
            return ColorRecord{{value(rng), value(rng), value(rng), value(rng)}};
        });
        std::vector<ColorRecord> points;
        for (int i = 0; i < 2000; ++i) {
            ColorRecord p{};
            for (int a = 0; a < 4; ++a)
                p.v[a] = los[b][a] + unit(rng) * (his[b][a] - los[b][a]);
            points.push_back(p);
        }
        for (const Scheme& s : kSchemes) {
            const auto got = run(s.extract, 3, 4, cell, points);
            for (int k = 0; k < 4; ++k) {
                double lo = 1e300, hi = -1e300;
                for (int i = 0; i < 8; ++i)
                    lo = std::min(lo, cell[i].value.v[k]), hi = std::max(hi, cell[i].value.v[k]);
                for (const ColorRecord& r : got) {
                    EXPECT_GE(r.v[k], lo - kRounding) << s.name << " cell " << b;
                    EXPECT_LE(r.v[k], hi + kRounding) << s.name << " cell " << b;
                }
            }
        }
    }
}

// Little CMS's float CLUT with two nodes per axis is the same scheme: tetrahedral over its
// last three inputs (node index 4x + 2y + z), linear over its first (our w).
TEST(CellInterpolation, MatchesLittleCmsFloatClut) {
    std::mt19937_64 rng(13);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int in : {3, 4})
        for (int out : {3, 4}) {
            const Cell cell = boxCell({0, 0, 0, 0}, {1, 1, 1, 1}, [&](const ColorRecord&) {
                // Float-representable values, so the table loses nothing.
                return ColorRecord{{static_cast<float>(unit(rng)), static_cast<float>(unit(rng)),
                                    static_cast<float>(unit(rng)), static_cast<float>(unit(rng))}};
            });
            const int nodes = in == 3 ? 8 : 16;
            std::vector<cmsFloat32Number> table;
            for (int i = 0; i < nodes; ++i)
                for (int k = 0; k < out; ++k)
                    table.push_back(static_cast<float>(cell[i].value.v[k]));
            cmsPipeline* pipe = cmsPipelineAlloc(nullptr, in, out);
            ASSERT_NE(pipe, nullptr);
            cmsStage* clut = cmsStageAllocCLutFloat(nullptr, 2, in, out, table.data());
            ASSERT_NE(clut, nullptr);
            ASSERT_TRUE(cmsPipelineInsertStage(pipe, cmsAT_END, clut));
            for (int i = 0; i < 200; ++i) {
                const ColorRecord p{{unit(rng), unit(rng), unit(rng), unit(rng)}};
                // Little CMS takes w first, then x, y, z.
                const cmsFloat32Number lin[4] = {static_cast<float>(in == 4 ? p.v[3] : p.v[0]),
                                                 static_cast<float>(in == 4 ? p.v[0] : p.v[1]),
                                                 static_cast<float>(in == 4 ? p.v[1] : p.v[2]),
                                                 static_cast<float>(p.v[2])};
                ColorRecord q = p;
                for (int a = 0; a < 4; ++a)  // the point as Little CMS sees it
                    q.v[a] = lin[in == 4 ? (a + 1) % 4 : a];
                cmsFloat32Number lout[4] = {};
                cmsPipelineEvalFloat(lin, lout, pipe);
                ColorRecord r{};
                ASSERT_EQ(QelColor_ExtractColors_TriLinear(in, out, cell.data(), &q, 1, &r), 0);
                for (int k = 0; k < out; ++k)
                    EXPECT_NEAR(r.v[k], lout[k], 5e-7) << in << "D" << out << "D point " << i;
            }
            cmsPipelineFree(pipe);
        }
}

}  // namespace
