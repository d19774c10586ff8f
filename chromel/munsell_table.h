// The built-in table of Munsell hue lines in CIELAB (generated data in munsell_table.cpp).
#ifndef CHROMEL_MUNSELL_TABLE_H
#define CHROMEL_MUNSELL_TABLE_H

#include <array>
#include <cstddef>

namespace chromel::munsell {

// Munsell values V = 1 ... 9 at L* = 10 V; 40 hues g = 0 ... 39 at 9 g degrees of the
// library's hue circle, 2.5R first, then 5R, 7.5R, 10R, 2.5YR, ... through the families
// R, YR, Y, GY, G, BG, B, PB, P, RP, so that 10RP is last; 14 chromas k = 1 ... 14 at
// C* = 10 k. Entries are ordered value-major, then hue, then chroma.
inline constexpr std::size_t kValues = 9;
inline constexpr std::size_t kHues = 40;
inline constexpr std::size_t kChromas = 14;
inline constexpr std::size_t kTableEntries = kValues * kHues * kChromas;

// One point of a hue line: L*, a*, b* and its CIELAB hue angle in radians, [0, 2 pi).
struct TableEntry {
    double l;
    double a;
    double b;
    double hue;
};

extern const std::array<TableEntry, kTableEntries> kTable;

// value 1 ... 9, hue 0 ... 39, chroma column 0 ... 13 (C* = 10 (column + 1)).
inline const TableEntry& entry(std::size_t value, std::size_t hue, std::size_t column) {
    return kTable[((value - 1) * kHues + hue) * kChromas + column];
}

}  // namespace chromel::munsell

#endif  // CHROMEL_MUNSELL_TABLE_H
