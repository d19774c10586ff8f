// Ordering functions for sorting colours by their components. The result's sign orders a
// pair: the first component that differs decides, in forward or reverse order.
#include "chromel32.h"

namespace {

// b[i] - a[i] (Descending) or a[i] - b[i] for the first i of `order` where a and b differ;
// the difference of the last component examined when all are equal. A null colour
// compares equal to anything.
template <int N, bool Reverse, bool Descending>
double compare(const ColorRecord* a, const ColorRecord* b) noexcept {
    if (a == nullptr || b == nullptr) return 0.0;
    double d = 0.0;
    for (int k = 0; k < N; ++k) {
        const int i = Reverse ? N - 1 - k : k;
        d = Descending ? b->v[i] - a->v[i] : a->v[i] - b->v[i];
        if (a->v[i] != b->v[i]) break;
    }
    return d;
}

}  // namespace

extern "C" {

double QelColComp_Greater4DColor(const ColorRecord* a, const ColorRecord* b) noexcept {
    return compare<4, false, true>(a, b);
}
double QelColComp_Lesser4DColor(const ColorRecord* a, const ColorRecord* b) noexcept {
    return compare<4, false, false>(a, b);
}
double QelColComp_RGreater4DColor(const ColorRecord* a, const ColorRecord* b) noexcept {
    return compare<4, true, true>(a, b);
}
double QelColComp_RLesser4DColor(const ColorRecord* a, const ColorRecord* b) noexcept {
    return compare<4, true, false>(a, b);
}
double QelColComp_Greater3DColor(const ColorRecord* a, const ColorRecord* b) noexcept {
    return compare<3, false, true>(a, b);
}
double QelColComp_Lesser3DColor(const ColorRecord* a, const ColorRecord* b) noexcept {
    return compare<3, false, false>(a, b);
}
double QelColComp_RGreater3DColor(const ColorRecord* a, const ColorRecord* b) noexcept {
    return compare<3, true, true>(a, b);
}
double QelColComp_RLesser3DColor(const ColorRecord* a, const ColorRecord* b) noexcept {
    return compare<3, true, false>(a, b);
}

// One double each; positive when a is greater, so this pair sorts the other way round.
double QelColComp_Greater1DColor(const double* a, const double* b) noexcept {
    return a != nullptr && b != nullptr ? *a - *b : 0.0;
}
double QelColComp_Lesser1DColor(const double* a, const double* b) noexcept {
    return a != nullptr && b != nullptr ? *b - *a : 0.0;
}

}  // extern "C"
