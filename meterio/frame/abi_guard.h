// The one guard every extern "C" entry of meterio32 runs through.
#ifndef METERIO_FRAME_ABI_GUARD_H
#define METERIO_FRAME_ABI_GUARD_H

#include <cstdint>
#include <new>
#include <utility>

#include "meterio/frame/result.h"

namespace meterio {

// Runs `body` and returns its result as a public code. Internal code does not throw by design;
// should anything escape (allocation failure), it becomes `fallback` instead of crossing the
// C interface.
template <typename Body>
std::uint32_t abiGuard(Result fallback, Body&& body) noexcept {
    try {
        return toCode(std::forward<Body>(body)());
    } catch (const std::bad_alloc&) {
        return toCode(Result::NoMemory);
    } catch (...) {
        return toCode(fallback);
    }
}

}  // namespace meterio

#endif  // METERIO_FRAME_ABI_GUARD_H
