// The caller's progress and cancel callback, with the built-in one and the two cancel rules.
#ifndef METERIO_FRAME_PROGRESS_H
#define METERIO_FRAME_PROGRESS_H

#include <cstdint>

#include "meterio32.h"

namespace meterio {

// Values the library passes to the callback besides progress in hundredths of a percent.
inline constexpr std::int32_t kPollOnly = -1;
inline constexpr std::int32_t kMeasureStart = 0;
inline constexpr std::int32_t kProgressDone = 10000;
inline constexpr std::int32_t kSerialReplyWait = -100;

// What a callback return means; each driver says which rule applies to which wait.
enum class CancelRule {
    AnyNonZero,    // any value other than 0 cancels
    MinusOneOnly,  // only -1 cancels, every other value means go on
};

// The callback stands in for a null one and always answers 0: never cancels.
std::int32_t builtinProgress(std::int32_t value) noexcept;

class Progress {
public:
    explicit Progress(ProgressCallback cb) noexcept
        : m_callback(cb != nullptr ? cb : &builtinProgress) {}

    // Calls the callback and returns its answer unchanged.
    std::int32_t report(std::int32_t value) const { return m_callback(value); }

    // Calls the callback; true when its answer cancels under `rule`.
    bool cancels(std::int32_t value, CancelRule rule = CancelRule::AnyNonZero) const {
        const std::int32_t answer = m_callback(value);
        return rule == CancelRule::AnyNonZero ? answer != 0 : answer == -1;
    }

    ProgressCallback callback() const { return m_callback; }

private:
    ProgressCallback m_callback;
};

}  // namespace meterio

#endif  // METERIO_FRAME_PROGRESS_H
