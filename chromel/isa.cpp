#include "chromel/isa.h"

namespace chromel {

bool isaSupported(Isa isa) {
    __builtin_cpu_init();
    switch (isa) {
        case Isa::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
                   __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw");
        case Isa::Avx2:
            return __builtin_cpu_supports("avx2");
        case Isa::Baseline:
            return true;
    }
    return false;
}

Isa hostIsa() {
    static const Isa host = isaSupported(Isa::Avx512) ? Isa::Avx512
                            : isaSupported(Isa::Avx2) ? Isa::Avx2
                                                      : Isa::Baseline;
    return host;
}

const char* isaName(Isa isa) {
    switch (isa) {
        case Isa::Avx512:
            return "avx512";
        case Isa::Avx2:
            return "avx2";
        case Isa::Baseline:
            return "baseline";
    }
    return "?";
}

}  // namespace chromel
