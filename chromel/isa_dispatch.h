// One build of an array loop per instruction set, chosen per call. The loop is an
// always-inline function of one job record; each build below inlines it under its own
// target, so the vectoriser sees the whole loop with that set's registers. All builds give
// the same bits as long as the unit contracts no multiply-adds (-ffp-contract=off).
#ifndef CHROMEL_ISA_DISPATCH_H
#define CHROMEL_ISA_DISPATCH_H

#include "chromel/isa.h"

namespace chromel::isa {

template <typename Job, void (*kLoop)(const Job&)>
[[gnu::target("avx512f,avx512vl,avx512dq,avx512bw")]] void onAvx512(const Job& job) {
    kLoop(job);
}

template <typename Job, void (*kLoop)(const Job&)>
[[gnu::target("avx2")]] void onAvx2(const Job& job) {
    kLoop(job);
}

template <typename Job, void (*kLoop)(const Job&)>
void onBaseline(const Job& job) {
    kLoop(job);
}

// Runs kLoop(job) on the build for `isa`, which the CPU must support.
template <typename Job, void (*kLoop)(const Job&)>
void run(Isa isa, const Job& job) {
    switch (isa) {
        case Isa::Avx512:
            onAvx512<Job, kLoop>(job);
            return;
        case Isa::Avx2:
            onAvx2<Job, kLoop>(job);
            return;
        case Isa::Baseline:
            onBaseline<Job, kLoop>(job);
            return;
    }
}

}  // namespace chromel::isa

#endif  // CHROMEL_ISA_DISPATCH_H
