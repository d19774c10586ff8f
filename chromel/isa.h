// The x86-64 instruction sets the array loops are built for, and the one this CPU runs.
#ifndef CHROMEL_ISA_H
#define CHROMEL_ISA_H

namespace chromel {

// Avx512 needs AVX-512 F, VL, DQ and BW and works on 512-bit vectors. Records are split
// and rebuilt by permutes and whole-record stores, never by gathers or scatters.
enum class Isa { Baseline, Avx2, Avx512 };

// The best set the CPU offers.
Isa hostIsa();

// Whether the CPU can run code built for `isa`.
bool isaSupported(Isa isa);

const char* isaName(Isa isa);

}  // namespace chromel

#endif  // CHROMEL_ISA_H
