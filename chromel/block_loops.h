// Block-planar loops shared by the array conversions: colours are copied into one array
// per component, converted by branch-free loops the compiler vectorises, and written back,
// so the output may be the input array itself.
#ifndef CHROMEL_BLOCK_LOOPS_H
#define CHROMEL_BLOCK_LOOPS_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>

#include "chromel/vector_math.h"
#include "chromel32.h"

namespace chromel {

constexpr std::size_t kBlock = 128;

struct Block {
    double c0[kBlock];
    double c1[kBlock];
    double c2[kBlock];
    // The destination's fourth component, written back with the other three so that the
    // stores cover whole records and vectorise; kernels leave it alone.
    double c3[kBlock];
};

// Asks for the next block's records while this one is converted: between the block's reads
// the memory would otherwise stand idle, as the loops between them touch no memory.
[[gnu::always_inline]] inline void prefetchBlock(const ColorRecord* in, ColorRecord* out) {
    constexpr std::size_t kLine = 64;
    const char* from = reinterpret_cast<const char*>(in);
    const char* to = reinterpret_cast<const char*>(out);
    for (std::size_t offset = 0; offset < kBlock * sizeof(ColorRecord); offset += kLine) {
        __builtin_prefetch(from + offset, 0);
        __builtin_prefetch(to + offset, 1);
    }
}

// Runs `kernel(block, n)` over the colours block by block; the kernel converts the first
// n entries of the block in place. Every destination record is rewritten whole, its
// fourth component with the value it held when the block was read.
template <typename Kernel>
[[gnu::always_inline]] inline void forEachBlock(std::span<const ColorRecord> in, ColorRecord* out,
                                                Kernel&& kernel) {
    Block b;
    for (std::size_t base = 0; base < in.size(); base += kBlock) {
        const std::size_t n = std::min(kBlock, in.size() - base);
        const ColorRecord* src = in.data() + base;
        ColorRecord* dst = out + base;
        if (base + 2 * kBlock <= in.size()) prefetchBlock(src + kBlock, dst + kBlock);
        for (std::size_t i = 0; i < n; ++i) {
            b.c0[i] = src[i].v[0];
            b.c1[i] = src[i].v[1];
            b.c2[i] = src[i].v[2];
        }
        for (std::size_t i = 0; i < n; ++i)
            b.c3[i] = dst[i].v[3];
        kernel(b, n);
        for (std::size_t i = 0; i < n; ++i) {
            dst[i].v[0] = b.c0[i];
            dst[i].v[1] = b.c1[i];
            dst[i].v[2] = b.c2[i];
            dst[i].v[3] = b.c3[i];
        }
    }
}

// a* = C cos h and b* = C sin h over a block; both 0 when C is 0. Angles too large for
// the vector reduction take the C library's functions.
[[gnu::always_inline]] inline void polarToCartesian(const double* __restrict chroma,
                                                    const double* __restrict hue,
                                                    double* __restrict a, double* __restrict b,
                                                    std::size_t n) {
    double outside = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double h = hue[i];
        const bool inRange = (h >= -vmath::kSinCosLimit) & (h <= vmath::kSinCosLimit);
        outside += vmath::pick(inRange, 0.0, 1.0);
        double s = 0.0, c = 0.0;
        vmath::sinCos(h, s, c);
        const double ch = chroma[i];
        a[i] = vmath::pick(ch == 0.0, 0.0, ch * c);
        b[i] = vmath::pick(ch == 0.0, 0.0, ch * s);
    }
    if (outside == 0.0) return;
    for (std::size_t i = 0; i < n; ++i) {
        const double h = hue[i];
        if (h >= -vmath::kSinCosLimit && h <= vmath::kSinCosLimit) continue;
        a[i] = chroma[i] == 0.0 ? 0.0 : chroma[i] * std::cos(h);
        b[i] = chroma[i] == 0.0 ? 0.0 : chroma[i] * std::sin(h);
    }
}

// Four-component blocks, for the CMYK and four-dimensional conversions: every component
// of each colour is read into the block and all four are written back.
struct Block4 {
    double c[4][kBlock];
};

template <typename Kernel>
[[gnu::always_inline]] inline void forEachBlock4(std::span<const ColorRecord> in, ColorRecord* out,
                                                 Kernel&& kernel) {
    Block4 b;
    for (std::size_t base = 0; base < in.size(); base += kBlock) {
        const std::size_t n = std::min(kBlock, in.size() - base);
        const ColorRecord* src = in.data() + base;
        for (std::size_t i = 0; i < n; ++i) {
            b.c[0][i] = src[i].v[0];
            b.c[1][i] = src[i].v[1];
            b.c[2][i] = src[i].v[2];
            b.c[3][i] = src[i].v[3];
        }
        kernel(b, n);
        ColorRecord* dst = out + base;
        for (std::size_t i = 0; i < n; ++i) {
            dst[i].v[0] = b.c[0][i];
            dst[i].v[1] = b.c[1][i];
            dst[i].v[2] = b.c[2][i];
            dst[i].v[3] = b.c[3][i];
        }
    }
}

}  // namespace chromel

#endif  // CHROMEL_BLOCK_LOOPS_H
