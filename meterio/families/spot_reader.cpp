// Spot reader family: single reflective patches on EyeOne (0), the CSCMTLib instrument (1)
// and the serial spot head (2).
#include "meterio/drivers/cscmtlib.h"
#include "meterio/drivers/eye_one.h"
#include "meterio/drivers/spot_head.h"
#include "meterio/frame/abi_guard.h"
#include "meterio/frame/fixed_answer.h"
#include "meterio/frame/frame.h"
#include "meterio32.h"

namespace meterio {
namespace {

constexpr Family kFamily = Family::Spot;

constexpr DriverEntry kDrivers[] = {
    {0, &EyeOneDriver::make, kEyeOneReflectance},
    {1, &makeCscmtlibDriver, 0},
    {2, &makeSpotHeadDriver, 0},
};

// Cells this family answers itself whatever the driver offers.
constexpr FixedAnswer kFixedAnswers[] = {
    {2, Operation::CalibrateBlack, Result::GeneralFailure},
};

// One patch per scan, measured in reflectance (EyeOne) or started by the head's key.
constexpr std::uint8_t kSpotReadMode = 1;
static_assert(kSpotReadMode == kEyeOneReflectance && kSpotReadMode == kStartByKey);

constexpr ReadRequest spotRead(std::uint8_t kind) {
    return ReadRequest{kSpotReadMode, kind, 1, 1, 0, nullptr};
}

// White calibration: every step EyeOne has; the spot head's white step only.
constexpr CalibrateRequest kWhiteCalibration{-1, 0};

template <typename Op>
std::uint32_t withDriver(ReaderHandle handle, Op&& op) {
    return abiGuard(Result::GeneralFailure,
                    [&] { return frame::run(handle, kFamily, std::forward<Op>(op)); });
}

template <typename Record>
std::uint32_t scan(ReaderHandle handle, ProgressCallback progress, Record* record,
                   std::uint8_t kind) {
    return withDriver(handle, [&](Driver& d) {
        if (record == nullptr) return Result::GeneralFailure;
        Progress p(progress);
        return d.readValues(spotRead(kind), p, record);
    });
}

}  // namespace
}  // namespace meterio

using meterio::Driver;
using meterio::Result;

extern "C" {

uint32_t QelSpotReader_Open(uint8_t deviceCode, const char* portName, uint32_t baudRate,
                            ProgressCallback progress, ReaderHandle* handle) noexcept {
    return meterio::abiGuard(Result::GeneralFailure, [&] {
        return meterio::frame::open({meterio::kFamily, meterio::kDrivers, deviceCode, portName,
                                     baudRate, progress, nullptr},
                                    handle);
    });
}

uint32_t QelSpotReader_Close(ReaderHandle handle) noexcept {
    return meterio::abiGuard(Result::GeneralFailure,
                             [&] { return meterio::frame::close(meterio::kFamily, handle); });
}

uint32_t QelSpotReader_CalibrateWhite(ReaderHandle handle, ProgressCallback progress) noexcept {
    return meterio::withDriver(handle, [&](Driver& d) {
        meterio::Progress p(progress);
        return d.calibrateWhite(meterio::kWhiteCalibration, p);
    });
}

uint32_t QelSpotReader_CalibrateBlack(ReaderHandle handle, ProgressCallback progress) noexcept {
    return meterio::abiGuard(Result::GeneralFailure, [&] {
        return meterio::runUnlessFixed(handle, meterio::kFamily, meterio::kFixedAnswers,
                                       meterio::Operation::CalibrateBlack, [&](Driver& d) {
                                           meterio::Progress p(progress);
                                           return d.calibrateBlack(p);
                                       });
    });
}

uint32_t QelSpotReader_ScanSpotColorant(ReaderHandle handle, ProgressCallback progress,
                                        ColorantRecord* colorant) noexcept {
    return meterio::scan(handle, progress, colorant, meterio::kReadColorant);
}

uint32_t QelSpotReader_ScanSpotDensity(ReaderHandle handle, ProgressCallback progress,
                                       DensityRecord* density) noexcept {
    return meterio::scan(handle, progress, density, meterio::kReadDensity);
}

uint32_t QelSpotReader_ScanSpotEx(ReaderHandle handle, ProgressCallback progress,
                                  ColorantDensityRecord* both) noexcept {
    return meterio::scan(handle, progress, both, meterio::kReadBoth);
}

uint32_t QelSpotReader_ScanSpotSpectrum(ReaderHandle handle, ProgressCallback progress,
                                        SpectrumRecord* spectrum) noexcept {
    return meterio::withDriver(handle, [&](Driver& d) {
        if (spectrum == nullptr) return Result::GeneralFailure;
        meterio::Progress p(progress);
        return d.readSpectra(meterio::spotRead(meterio::kReadColorant), p, spectrum);
    });
}

uint32_t QelSpotReader_SetParam(ReaderHandle handle, const MeasureParams* params) noexcept {
    return meterio::withDriver(handle, [&](Driver& d) {
        return params != nullptr ? d.setParams(*params) : Result::GeneralFailure;
    });
}

uint32_t QelSpotReader_GetParam(ReaderHandle handle, MeasureParams* params) noexcept {
    return meterio::withDriver(handle, [&](Driver& d) {
        return params != nullptr ? d.getParams(*params) : Result::GeneralFailure;
    });
}

uint32_t QelSpotReader_GetInfo(ReaderHandle handle, DeviceInfo* info) noexcept {
    return meterio::withDriver(handle, [&](Driver& d) {
        return info != nullptr ? d.getInfo(*info) : Result::GeneralFailure;
    });
}

uint32_t QelSpotReader_WaitForKeyInput(ReaderHandle handle, ProgressCallback progress,
                                       uint8_t* pressed) noexcept {
    return meterio::withDriver(handle, [&](Driver& d) {
        meterio::Progress p(progress);
        return d.waitForKey(meterio::WaitRequest{meterio::kNoTimeout, 0, 0}, p, pressed);
    });
}

uint32_t QelSpotReader_WaitForKeyInput2(ReaderHandle handle, uint8_t mode,
                                        ProgressCallback progress) noexcept {
    return meterio::withDriver(handle, [&](Driver& d) {
        meterio::Progress p(progress);
        return d.waitForKeyState(meterio::WaitRequest{meterio::kNoTimeout, 0, mode}, p);
    });
}

// Forwarding members.
uint32_t QelSpotReader_ScanSpot(ReaderHandle handle, ProgressCallback progress,
                                ColorantRecord* colorant) noexcept {
    return QelSpotReader_ScanSpotColorant(handle, progress, colorant);
}

uint32_t QelSpotReader_Scan(ReaderHandle handle, ProgressCallback progress,
                            ColorantRecord* colorant) noexcept {
    return QelSpotReader_ScanSpot(handle, progress, colorant);
}

uint32_t QelSpotReader_ScanSpot2(ReaderHandle handle, ProgressCallback progress,
                                 DensityRecord* density) noexcept {
    return QelSpotReader_ScanSpotDensity(handle, progress, density);
}

uint32_t QelSpotReader_Scan2(ReaderHandle handle, ProgressCallback progress,
                             DensityRecord* density) noexcept {
    return QelSpotReader_ScanSpot2(handle, progress, density);
}

uint32_t QelSpotReader_ScanEx(ReaderHandle handle, ProgressCallback progress,
                              ColorantDensityRecord* both) noexcept {
    return QelSpotReader_ScanSpotEx(handle, progress, both);
}

}  // extern "C"
