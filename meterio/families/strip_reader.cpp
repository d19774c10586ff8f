// Strip reader family: rows of patches on the DTP41 (0) and on EyeOne in scanning mode (1).
#include <cstring>

#include "meterio/drivers/dtp41.h"
#include "meterio/drivers/eye_one.h"
#include "meterio/frame/abi_guard.h"
#include "meterio/frame/frame.h"
#include "meterio32.h"

namespace meterio {
namespace {

constexpr Family kFamily = Family::Strip;
constexpr std::uint8_t kDtp41 = 0;

constexpr DriverEntry kDrivers[] = {
    {kDtp41, &makeDtp41Driver, 0},
    {1, &EyeOneDriver::make, kEyeOneScanning},
};

static_assert(kDtp41Transfer == kEyeOneScanning && kDtp41ReadBack == kEyeOneReflectance,
              "one request serves both instruments");

// The strip definition last accepted by the instrument.
struct StripState final : FamilyState {
    StripDefinition definition;
};

StripDefinition& definitionOf(ReaderRecord& record) {
    return static_cast<StripState&>(*record.state).definition;
}

template <typename Op>
std::uint32_t withRecord(ReaderHandle handle, Op&& op) {
    return abiGuard(Result::GeneralFailure,
                    [&] { return frame::run(handle, kFamily, std::forward<Op>(op)); });
}

// A whole strip: as many patches as the definition holds (EyeOne), at most `capacity`.
ReadRequest stripRead(ReaderRecord& record, std::uint8_t kind, std::uint32_t capacity,
                      std::uint32_t* count) {
    return ReadRequest{kDtp41Transfer, kind, definitionOf(record).patches, capacity, 0, count};
}

// One patch: read back from the last strip (DTP41) or measured now (EyeOne).
ReadRequest spotRead(ReaderRecord& record, std::uint8_t kind, std::uint32_t index) {
    const std::uint16_t expected = record.deviceCode == kDtp41 ? definitionOf(record).patches : 1;
    return ReadRequest{kDtp41ReadBack, kind, expected, 1, index, nullptr};
}

std::uint32_t scanStrip(ReaderHandle handle, std::uint8_t kind, std::uint32_t capacity,
                        ProgressCallback progress, std::uint32_t* count, void* results) {
    return withRecord(handle, [&](ReaderRecord& record) {
        if (results == nullptr) return Result::GeneralFailure;
        Progress p(progress);
        return record.driver->readValues(stripRead(record, kind, capacity, count), p, results);
    });
}

std::uint32_t scanSpot(ReaderHandle handle, std::uint8_t kind, std::uint32_t index,
                       ProgressCallback progress, void* result) {
    return withRecord(handle, [&](ReaderRecord& record) {
        if (result == nullptr) return Result::GeneralFailure;
        if (index >= definitionOf(record).patches) return Result::OutOfRange;
        Progress p(progress);
        return record.driver->readValues(spotRead(record, kind, index), p, result);
    });
}

}  // namespace
}  // namespace meterio

using meterio::Driver;
using meterio::ReaderRecord;
using meterio::Result;

extern "C" {

uint32_t QelStripReader_Open(uint8_t deviceCode, const char* portName, uint32_t baudRate,
                             ProgressCallback progress, ReaderHandle* handle) noexcept {
    return meterio::abiGuard(Result::GeneralFailure, [&] {
        return meterio::frame::open({meterio::kFamily, meterio::kDrivers, deviceCode, portName,
                                     baudRate, progress, std::make_unique<meterio::StripState>()},
                                    handle);
    });
}

uint32_t QelStripReader_Close(ReaderHandle handle) noexcept {
    return meterio::abiGuard(Result::GeneralFailure,
                             [&] { return meterio::frame::close(meterio::kFamily, handle); });
}

uint32_t QelStripReader_DefineStrip(ReaderHandle handle,
                                    const StripDefinitionRecord* definition) noexcept {
    return meterio::withRecord(handle, [&](ReaderRecord& record) {
        if (definition == nullptr) return Result::GeneralFailure;
        const meterio::StripDefinition wanted{definition->first, definition->second,
                                              definition->third, definition->patches};
        const Result r = record.driver->defineStrip(wanted);
        if (r == Result::Ok) meterio::definitionOf(record) = wanted;
        return r;
    });
}

uint32_t QelStripReader_CalibrateWhite(ReaderHandle handle, ProgressCallback progress) noexcept {
    return meterio::withRecord(handle, [&](Driver& d) {
        meterio::Progress p(progress);
        return d.calibrateWhite(meterio::CalibrateRequest{}, p);
    });
}

uint32_t QelStripReader_CalibrateBlack(ReaderHandle handle) noexcept {
    return meterio::withRecord(handle, [](Driver&) { return Result::NotOffered; });
}

uint32_t QelStripReader_ScanStripColorants(ReaderHandle handle, uint32_t capacity,
                                           ProgressCallback progress, uint32_t* count,
                                           ColorantRecord* results) noexcept {
    return meterio::scanStrip(handle, meterio::kReadColorant, capacity, progress, count, results);
}

uint32_t QelStripReader_ScanStripDensities(ReaderHandle handle, uint32_t capacity,
                                           ProgressCallback progress, uint32_t* count,
                                           DensityRecord* results) noexcept {
    return meterio::scanStrip(handle, meterio::kReadDensity, capacity, progress, count, results);
}

uint32_t QelStripReader_ScanStripEx(ReaderHandle handle, uint32_t capacity,
                                    ProgressCallback progress, uint32_t* count,
                                    ColorantDensityRecord* results) noexcept {
    return meterio::scanStrip(handle, meterio::kReadBoth, capacity, progress, count, results);
}

uint32_t QelStripReader_ScanStripSpectrums(ReaderHandle handle, uint32_t capacity,
                                           ProgressCallback progress, uint32_t* count,
                                           SpectrumRecord* results) noexcept {
    return meterio::withRecord(handle, [&](ReaderRecord& record) {
        if (results == nullptr) return Result::GeneralFailure;
        meterio::Progress p(progress);
        return record.driver->readSpectra(
            meterio::stripRead(record, meterio::kReadColorant, capacity, count), p, results);
    });
}

uint32_t QelStripReader_ScanSpotColorant(ReaderHandle handle, uint32_t index,
                                         ProgressCallback progress,
                                         ColorantRecord* result) noexcept {
    return meterio::scanSpot(handle, meterio::kReadColorant, index, progress, result);
}

uint32_t QelStripReader_ScanSpotDensity(ReaderHandle handle, uint32_t index,
                                        ProgressCallback progress, DensityRecord* result) noexcept {
    return meterio::scanSpot(handle, meterio::kReadDensity, index, progress, result);
}

uint32_t QelStripReader_ScanSpotEx(ReaderHandle handle, uint32_t index, ProgressCallback progress,
                                   ColorantDensityRecord* result) noexcept {
    return meterio::scanSpot(handle, meterio::kReadBoth, index, progress, result);
}

uint32_t QelStripReader_ScanSpotSpectrum(ReaderHandle handle, uint32_t index,
                                         ProgressCallback progress,
                                         SpectrumRecord* result) noexcept {
    return meterio::withRecord(handle, [&](ReaderRecord& record) {
        if (result == nullptr) return Result::GeneralFailure;
        meterio::Progress p(progress);
        return record.driver->readSpectra(meterio::spotRead(record, meterio::kReadColorant, index),
                                          p, result);
    });
}

uint32_t QelStripReader_SetParam(ReaderHandle handle, const MeasureParams* params) noexcept {
    return meterio::withRecord(handle, [&](Driver& d) {
        return params != nullptr ? d.setParams(*params) : Result::GeneralFailure;
    });
}

uint32_t QelStripReader_GetParam(ReaderHandle handle, MeasureParams* params) noexcept {
    return meterio::withRecord(handle, [&](Driver& d) {
        return params != nullptr ? d.getParams(*params) : Result::GeneralFailure;
    });
}

uint32_t QelStripReader_GetInfo(ReaderHandle handle, DeviceInfo* info) noexcept {
    return meterio::withRecord(handle, [&](Driver& d) {
        return info != nullptr ? d.getInfo(*info) : Result::GeneralFailure;
    });
}

uint32_t QelStripReader_WaitForKeyInput(ReaderHandle handle, ProgressCallback progress,
                                        uint8_t* taken) noexcept {
    return meterio::withRecord(handle, [&](Driver& d) {
        meterio::Progress p(progress);
        return d.waitForKey(meterio::WaitRequest{meterio::kNoTimeout, 0, 0}, p, taken);
    });
}

uint32_t QelStripReader_WaitForKeyInput2(ReaderHandle handle, uint8_t state,
                                         ProgressCallback progress) noexcept {
    return meterio::withRecord(handle, [&](Driver& d) {
        meterio::Progress p(progress);
        return d.waitForKeyState(meterio::WaitRequest{meterio::kNoTimeout, 0, state}, p);
    });
}

// The same functions under their second names.
uint32_t QelStripReader_ScanStrip(ReaderHandle, uint32_t, ProgressCallback, uint32_t*,
                                  ColorantRecord*) noexcept
    __attribute__((alias("QelStripReader_ScanStripColorants")));
uint32_t QelStripReader_ScanStrip2(ReaderHandle, uint32_t, ProgressCallback, uint32_t*,
                                   DensityRecord*) noexcept
    __attribute__((alias("QelStripReader_ScanStripDensities")));
uint32_t QelStripReader_ScanSpot(ReaderHandle, uint32_t, ProgressCallback, ColorantRecord*) noexcept
    __attribute__((alias("QelStripReader_ScanSpotColorant")));
uint32_t QelStripReader_ScanSpot2(ReaderHandle, uint32_t, ProgressCallback, DensityRecord*) noexcept
    __attribute__((alias("QelStripReader_ScanSpotDensity")));

}  // extern "C"
