// The built-in progress callback.
#include "meterio/frame/progress.h"

namespace meterio {

std::int32_t builtinProgress(std::int32_t) noexcept {
    return 0;
}

}  // namespace meterio
