// The x86-64 instruction sets the array loops are built for, and the one this CPU runs.
#ifndef CHROMEL_ISA_H
#define CHROMEL_ISA_H

namespace chromel {

// Avx512 is AVX-512 F, VL, DQ and BW on 256-bit vectors: the mask registers and the
// two-source permutes without 512-bit operations, which lower the clock of some CPUs and
// cost more than they give in the record loops.
enum class Isa { Baseline, Avx2, Avx512 };

// The best set the CPU offers.
Isa hostIsa();

// Whether the CPU can run code built for `isa`.
bool isaSupported(Isa isa);

const char* isaName(Isa isa);

}  // namespace chromel

#endif  // CHROMEL_ISA_H
