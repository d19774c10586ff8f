// Branch-free search of a sorted table, for look-ups over random inputs.
#ifndef CHROMEL_INTERVAL_SEARCH_H
#define CHROMEL_INTERVAL_SEARCH_H

#include <cstddef>

namespace chromel {

// The first i in 1 ... n - 1 with v < b[i * stride], or n - 1 when none (b[n - 1] is never
// read); n >= 2. The candidates halve on every step whatever the outcome, so random inputs
// cost no mispredicted jumps. NaN gives n - 1.
inline int upperIndex(const double* b, std::size_t stride, int n, double v) {
    int lo = 1, length = n - 1;  // the answer lies in lo ... lo + length - 1
    while (length > 1) {
        const int half = length / 2;
        lo += (v < b[static_cast<std::size_t>(lo + half - 1) * stride]) ? 0 : half;
        length -= half;
    }
    return lo;
}

}  // namespace chromel

#endif  // CHROMEL_INTERVAL_SEARCH_H
