// Stage reader family: a chart of patches on the measuring table (device code 0), described
// as a grid, with four corner positions, moves by grid index, stored position or coordinates.
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <tuple>

#include "meterio/drivers/measuring_table.h"
#include "meterio/frame/abi_guard.h"
#include "meterio/frame/frame.h"
#include "meterio32.h"

namespace meterio {
namespace {

constexpr Family kFamily = Family::Stage;

constexpr DriverEntry kDrivers[] = {
    {0, &makeMeasuringTableDriver, 0},
};

constexpr std::uint8_t kFirstCorner = 3;  // first patch of the first row
constexpr std::uint8_t kRowEnd = 4;       // last patch of the first row
constexpr std::uint8_t kColumnEnd = 5;    // first patch of the last row
constexpr std::uint8_t kLastCorner = 6;   // last patch of the last row
constexpr std::int32_t kHomeX = 450;
constexpr std::int32_t kHomeY = 350;
constexpr std::uint16_t kMinPatch = 45;
constexpr std::uint64_t kMaxWidth = 3100;
constexpr std::uint64_t kMaxHeight = 2300;
// The staged move that lifts, travels and lowers the head.
constexpr std::uint8_t kStagedMove = 5;
constexpr std::int32_t kExplicit = -1;

// The definition and which corners the caller set (-1) or are derived (0), ids 3 to 6.
struct StageState final : FamilyState {
    StageDefinition definition{};
    std::int32_t explicitFlags[4] = {kExplicit, 0, 0, 0};

    std::int32_t& flag(std::uint8_t id) { return explicitFlags[id - kFirstCorner]; }
    std::int64_t pitchX() const { return definition.horizontalGap + definition.patchWidth; }
    std::int64_t pitchY() const { return definition.verticalGap + definition.patchHeight; }
};

bool definitionAllowed(const StageDefinition& d) {
    if (d.patchWidth < kMinPatch || d.patchHeight < kMinPatch || d.columns < 1 || d.rows < 1)
        return false;
    const std::uint64_t width =
        d.horizontalGap +
        std::uint64_t{d.columns} * (std::uint64_t{d.horizontalGap} + d.patchWidth);
    const std::uint64_t height =
        d.verticalGap + std::uint64_t{d.rows} * (std::uint64_t{d.verticalGap} + d.patchHeight);
    return width <= kMaxWidth && height <= kMaxHeight;
}

// Position 3 at its default and every corner flag reset.
Result resetCorners(ReaderRecord& reader) {
    auto& state = static_cast<StageState&>(*reader.state);
    state.explicitFlags[0] = kExplicit;
    state.explicitFlags[1] = state.explicitFlags[2] = state.explicitFlags[3] = 0;
    return reader.driver->storePosition(kFirstCorner, kHomeX, kHomeY);
}

// Derives corner `id` from the definition when the caller did not set it, and stores it.
Result deriveCorner(ReaderRecord& reader, std::uint8_t moveMode, std::uint8_t id) {
    auto& state = static_cast<StageState&>(*reader.state);
    Driver& driver = *reader.driver;
    if (id < kRowEnd || id > kLastCorner || state.flag(id) != 0) return Result::Ok;
    std::int32_t x3 = 0, y3 = 0;
    if (const Result r = driver.storedPosition(kFirstCorner, x3, y3); r != Result::Ok) return r;
    const std::int64_t alongRow = state.pitchX() * (state.definition.columns - std::int64_t{1});
    const std::int64_t alongColumn = state.pitchY() * (state.definition.rows - std::int64_t{1});
    std::int64_t x = x3, y = y3;
    if (id == kRowEnd) x += alongRow;
    if (id == kColumnEnd) y += alongColumn;
    if (id == kLastCorner) {
        if (state.flag(kRowEnd) == kExplicit) {
            std::int32_t x4 = 0, y4 = 0;
            if (const Result r = driver.storedPosition(kRowEnd, x4, y4); r != Result::Ok) return r;
            x = x4;
            y = y4;
        } else {
            x += alongRow;
        }
        y += alongColumn;
    }
    if (!TablePositionAllowed(moveMode, x, y)) return Result::OutOfRange;
    return driver.storePosition(id, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
}

template <typename Op>
std::uint32_t withReader(ReaderHandle handle, Op&& op) {
    return abiGuard(Result::GeneralFailure,
                    [&] { return frame::run(handle, kFamily, std::forward<Op>(op)); });
}

template <typename Record>
std::uint32_t scan(ReaderHandle handle, ProgressCallback progress, Record* record,
                   std::uint8_t kind) {
    return withReader(handle, [&](Driver& d) {
        if (record == nullptr) return Result::GeneralFailure;
        Progress p(progress);
        return d.readValues(ReadRequest{0, kind, 1, 1, 0, nullptr}, p, record);
    });
}

}  // namespace
}  // namespace meterio

using meterio::Driver;
using meterio::ReaderRecord;
using meterio::Result;

extern "C" {

uint32_t QelStageReader_Open(uint8_t deviceCode, const char* portName, uint32_t baudRate,
                             ProgressCallback progress, ReaderHandle* handle) noexcept {
    return meterio::abiGuard(Result::GeneralFailure, [&] {
        if (handle == nullptr) return Result::GeneralFailure;
        std::unique_ptr<meterio::StageState> state;
        try {
            state = std::make_unique<meterio::StageState>();
        } catch (const std::bad_alloc&) {
            return Result::NoMemory;
        }
        ReaderHandle opened = 0;
        if (const Result r = meterio::frame::open({meterio::kFamily, meterio::kDrivers, deviceCode,
                                                   portName, baudRate, progress, std::move(state)},
                                                  &opened);
            r != Result::Ok)
            return r;
        const Result r = meterio::frame::run(opened, meterio::kFamily, &meterio::resetCorners);
        if (r != Result::Ok) {
            (void)meterio::frame::close(meterio::kFamily, opened);
            return r;
        }
        *handle = opened;
        return Result::Ok;
    });
}

uint32_t QelStageReader_Close(ReaderHandle handle) noexcept {
    return meterio::abiGuard(Result::GeneralFailure,
                             [&] { return meterio::frame::close(meterio::kFamily, handle); });
}

uint32_t QelStageReader_DefineStage(ReaderHandle handle,
                                    const StageDefinition* definition) noexcept {
    return meterio::withReader(handle, [&](ReaderRecord& reader) {
        if (definition == nullptr || !meterio::definitionAllowed(*definition))
            return Result::OutOfRange;
        static_cast<meterio::StageState&>(*reader.state).definition = *definition;
        return meterio::resetCorners(reader);
    });
}

uint32_t QelStageReader_SetPos(ReaderHandle handle, uint8_t moveMode, uint8_t id, int32_t x,
                               int32_t y) noexcept {
    return meterio::withReader(handle, [&](ReaderRecord& reader) {
        if (id < meterio::kFirstCorner || id > meterio::kLastCorner ||
            !meterio::TablePositionAllowed(moveMode, x, y))
            return Result::OutOfRange;
        if (const Result r = reader.driver->storePosition(id, x, y); r != Result::Ok) return r;
        static_cast<meterio::StageState&>(*reader.state).flag(id) = meterio::kExplicit;
        return Result::Ok;
    });
}

uint32_t QelStageReader_GetPos(ReaderHandle handle, uint8_t, uint8_t id, int32_t* x,
                               int32_t* y) noexcept {
    return meterio::withReader(handle, [&](Driver& d) {
        if (x == nullptr || y == nullptr) return Result::GeneralFailure;
        if (id < meterio::kFirstCorner || id > meterio::kLastCorner) return Result::OutOfRange;
        return d.storedPosition(id, *x, *y);
    });
}

uint32_t QelStageReader_GoToPos(ReaderHandle handle, uint8_t moveMode, uint8_t id) noexcept {
    return meterio::withReader(handle, [&](ReaderRecord& reader) {
        if (const Result r = meterio::deriveCorner(reader, moveMode, id); r != Result::Ok) return r;
        return reader.driver->moveToPosition(moveMode, id, meterio::kStagedMove);
    });
}

uint32_t QelStageReader_GoToId(ReaderHandle handle, uint8_t moveMode, uint16_t column,
                               uint16_t row) noexcept {
    return meterio::withReader(handle, [&](ReaderRecord& reader) {
        auto& state = static_cast<meterio::StageState&>(*reader.state);
        const std::uint16_t columns = state.definition.columns;
        const std::uint16_t rows = state.definition.rows;
        if (column >= columns || row >= rows) return Result::OutOfRange;
        for (const std::uint8_t id : {meterio::kRowEnd, meterio::kLastCorner})
            if (const Result r = meterio::deriveCorner(reader, moveMode, id); r != Result::Ok)
                return r;
        std::int32_t x3 = 0, y3 = 0, x4 = 0, y4 = 0, x6 = 0, y6 = 0;
        Driver& d = *reader.driver;
        for (const auto& [id, x, y] : {std::tuple{meterio::kFirstCorner, &x3, &y3},
                                       {meterio::kRowEnd, &x4, &y4},
                                       {meterio::kLastCorner, &x6, &y6}})
            if (const Result r = d.storedPosition(id, *x, *y); r != Result::Ok) return r;
        // One column: every patch of a row sits at the first column's place.
        const double sx = columns > 1 ? double(x4 - x3) / (columns - 1) : 0.0;
        const double sy = columns > 1 ? double(y4 - y3) / (columns - 1) : 0.0;
        double x = std::trunc(x3 + column * sx);
        double y = std::trunc(y3 + column * sy);
        if (rows > 1) {
            x = std::trunc(x + row * double(x6 - x4) / (rows - 1));
            y = std::trunc(y + row * double(y6 - y4) / (rows - 1));
        }
        if (!meterio::TablePositionAllowed(moveMode, static_cast<std::int64_t>(x),
                                           static_cast<std::int64_t>(y)))
            return Result::OutOfRange;
        return d.moveTo(moveMode, static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
    });
}

uint32_t QelStageReader_GoToLoc(ReaderHandle handle, uint8_t moveMode, int32_t x,
                                int32_t y) noexcept {
    return meterio::withReader(handle, [&](Driver& d) { return d.moveTo(moveMode, x, y); });
}

uint32_t QelStageReader_GetLoc(ReaderHandle handle, uint8_t moveMode, int32_t* x,
                               int32_t* y) noexcept {
    return meterio::withReader(handle, [&](Driver& d) {
        if (x == nullptr || y == nullptr) return Result::GeneralFailure;
        return d.location(moveMode, *x, *y);
    });
}

uint32_t QelStageReader_HoldPaper(ReaderHandle handle, int32_t flag) noexcept {
    return meterio::withReader(handle, [&](Driver& d) { return d.holdPaper(flag); });
}

uint32_t QelStageReader_CalibrateWhite(ReaderHandle handle, ProgressCallback progress) noexcept {
    return meterio::withReader(handle, [&](Driver& d) {
        meterio::Progress p(progress);
        return d.calibrateWhite(meterio::CalibrateRequest{}, p);
    });
}

uint32_t QelStageReader_ScanSpotColorant(ReaderHandle handle, ProgressCallback progress,
                                         ColorantRecord* colorant) noexcept {
    return meterio::scan(handle, progress, colorant, meterio::kReadColorant);
}

uint32_t QelStageReader_ScanSpotDensity(ReaderHandle handle, ProgressCallback progress,
                                        DensityRecord* density) noexcept {
    return meterio::scan(handle, progress, density, meterio::kReadDensity);
}

uint32_t QelStageReader_ScanSpotEx(ReaderHandle handle, ProgressCallback progress,
                                   ColorantDensityRecord* both) noexcept {
    return meterio::scan(handle, progress, both, meterio::kReadBoth);
}

uint32_t QelStageReader_ScanSpotSpectrum(ReaderHandle handle, ProgressCallback progress,
                                         SpectrumRecord* spectrum) noexcept {
    return meterio::withReader(handle, [&](Driver& d) {
        if (spectrum == nullptr) return Result::GeneralFailure;
        meterio::Progress p(progress);
        return d.readSpectra(meterio::ReadRequest{}, p, spectrum);
    });
}

uint32_t QelStageReader_SetParam(ReaderHandle handle, const MeasureParams* params) noexcept {
    return meterio::withReader(handle, [&](Driver& d) {
        return params != nullptr ? d.setParams(*params) : Result::GeneralFailure;
    });
}

uint32_t QelStageReader_GetParam(ReaderHandle handle, MeasureParams* params) noexcept {
    return meterio::withReader(handle, [&](Driver& d) {
        return params != nullptr ? d.getParams(*params) : Result::GeneralFailure;
    });
}

uint32_t QelStageReader_GetInfo(ReaderHandle handle, DeviceInfo* info) noexcept {
    return meterio::withReader(handle, [&](Driver& d) {
        return info != nullptr ? d.getInfo(*info) : Result::GeneralFailure;
    });
}

uint32_t QelStageReader_WaitForKeyInput(ReaderHandle handle, ProgressCallback progress,
                                        uint8_t* key) noexcept {
    return meterio::withReader(handle, [&](Driver& d) {
        meterio::Progress p(progress);
        return d.waitForKey(meterio::WaitRequest{meterio::kNoTimeout, 0, 0}, p, key);
    });
}

uint32_t QelStageReader_WaitForKeyInput2(ReaderHandle handle, uint8_t key,
                                         ProgressCallback progress) noexcept {
    return meterio::withReader(handle, [&](Driver& d) {
        meterio::Progress p(progress);
        return d.waitForKeyState(meterio::WaitRequest{meterio::kNoTimeout, 0, key}, p);
    });
}

// CalibrateBlack, GetParamEx and SetParamEx: the table offers none of them.
uint32_t QelStageReader_CalibrateBlack(ReaderHandle handle, ProgressCallback) noexcept {
    return meterio::withReader(handle, [](Driver&) { return Result::NotOffered; });
}

uint32_t QelStageReader_GetParamEx(ReaderHandle handle, void*) noexcept {
    return QelStageReader_CalibrateBlack(handle, nullptr);
}

uint32_t QelStageReader_SetParamEx(ReaderHandle handle, void*) noexcept {
    return QelStageReader_CalibrateBlack(handle, nullptr);
}

}  // extern "C"
