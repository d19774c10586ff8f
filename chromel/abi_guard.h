// The one guard every extern "C" entry of chromel32 runs through.
#ifndef CHROMEL_ABI_GUARD_H
#define CHROMEL_ABI_GUARD_H

#include <utility>

namespace chromel {

// Runs `body`; should anything escape it (only std::bad_alloc could), returns `fallback`
// instead of letting the exception cross the C interface.
template <typename R, typename Body>
R abiGuard(R fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return fallback;
    }
}

template <typename Body>
void abiGuard(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

}  // namespace chromel

#endif  // CHROMEL_ABI_GUARD_H
