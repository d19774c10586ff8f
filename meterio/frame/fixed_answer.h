// Cells of a family's table that the family answers itself, without asking the driver.
#ifndef METERIO_FRAME_FIXED_ANSWER_H
#define METERIO_FRAME_FIXED_ANSWER_H

#include <cstdint>
#include <optional>
#include <span>

#include "meterio/frame/frame.h"
#include "meterio/frame/result.h"

namespace meterio {

// One of a family's operations, as the fixed answers name them.
enum class Operation : std::uint8_t {
    CalibrateWhite,
    CalibrateBlack,
    ScanColorant,
    ScanDensity,
    ScanBoth,
    ScanSpectrum,
    SetParam,
    GetParam,
    GetInfo,
    SetParamEx,
    GetParamEx,
    WaitForKeyInput,
    WaitForKeyInput2,
};

struct FixedAnswer {
    std::uint8_t deviceCode;
    Operation operation;
    Result result;
};

// The family's own answer for the device code and operation, if it has one.
inline std::optional<Result> fixedAnswer(std::span<const FixedAnswer> table,
                                         std::uint8_t deviceCode, Operation operation) {
    for (const FixedAnswer& cell : table)
        if (cell.deviceCode == deviceCode && cell.operation == operation) return cell.result;
    return std::nullopt;
}

// Runs `op` on the reader's driver unless the table answers the cell (see frame::run).
template <typename Op>
Result runUnlessFixed(ReaderHandle handle, Family family, std::span<const FixedAnswer> table,
                      Operation operation, Op&& op) {
    return frame::run(handle, family, [&](ReaderRecord& record) {
        if (const auto fixed = fixedAnswer(table, record.deviceCode, operation)) return *fixed;
        return op(*record.driver);
    });
}

}  // namespace meterio

#endif  // METERIO_FRAME_FIXED_ANSWER_H
