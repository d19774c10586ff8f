// Monitor reader family: light emitted by a display, measured on command by EyeOne in emission
// (0), the serial display colorimeter (1) and spectrometer (2), the serial spot head (3) and the
// USB display instrument (4).
#include "meterio/drivers/display_colorimeter.h"
#include "meterio/drivers/display_spectrometer.h"
#include "meterio/drivers/eye_one.h"
#include "meterio/drivers/kmsecs200.h"
#include "meterio/drivers/spot_head.h"
#include "meterio/frame/abi_guard.h"
#include "meterio/frame/fixed_answer.h"
#include "meterio/frame/frame.h"
#include "meterio32.h"

namespace meterio {
namespace {

constexpr Family kFamily = Family::Monitor;

constexpr DriverEntry kDrivers[] = {
    {0, &EyeOneDriver::make, kEyeOneEmission},
    {1, &makeDisplayColorimeterDriver, 0},
    {2, &makeDisplaySpectrometerDriver, 0},
    {3, &makeSpotHeadDriver, 0},
    {4, &makeKmsecsDriver, 0},
};

// Cells this family answers itself whatever the driver offers.
constexpr FixedAnswer kFixedAnswers[] = {
    {1, Operation::ScanSpectrum, Result::GeneralFailure},
    {4, Operation::ScanSpectrum, Result::GeneralFailure},
};

// One reading per scan, started by the library: emission on EyeOne, by command on the head.
constexpr std::uint8_t kMonitorReadMode = 0;
static_assert(kMonitorReadMode == kEyeOneEmission && kMonitorReadMode == kStartByCommand);
constexpr ReadRequest kMonitorRead{kMonitorReadMode, kReadColorant, 1, 1, 0, nullptr};

// White calibration: every step EyeOne has; both steps of the spot head.
constexpr CalibrateRequest kWhiteCalibration{-1, -1};

template <typename Op>
std::uint32_t withDriver(ReaderHandle handle, Operation operation, Op&& op) {
    return abiGuard(Result::GeneralFailure, [&] {
        return runUnlessFixed(handle, kFamily, kFixedAnswers, operation, std::forward<Op>(op));
    });
}

}  // namespace
}  // namespace meterio

using meterio::Driver;
using meterio::Operation;
using meterio::Result;

extern "C" {

uint32_t QelMonitorReader_Open(uint8_t deviceCode, const char* portName, uint32_t baudRate,
                               ProgressCallback progress, ReaderHandle* handle) noexcept {
    return meterio::abiGuard(Result::GeneralFailure, [&] {
        return meterio::frame::open({meterio::kFamily, meterio::kDrivers, deviceCode, portName,
                                     baudRate, progress, nullptr},
                                    handle);
    });
}

uint32_t QelMonitorReader_Close(ReaderHandle handle) noexcept {
    return meterio::abiGuard(Result::GeneralFailure,
                             [&] { return meterio::frame::close(meterio::kFamily, handle); });
}

uint32_t QelMonitorReader_CalibrateWhite(ReaderHandle handle, ProgressCallback progress) noexcept {
    return meterio::withDriver(handle, Operation::CalibrateWhite, [&](Driver& d) {
        meterio::Progress p(progress);
        return d.calibrateWhite(meterio::kWhiteCalibration, p);
    });
}

uint32_t QelMonitorReader_CalibrateBlack(ReaderHandle handle, ProgressCallback progress) noexcept {
    return meterio::withDriver(handle, Operation::CalibrateBlack, [&](Driver& d) {
        meterio::Progress p(progress);
        return d.calibrateBlack(p);
    });
}

uint32_t QelMonitorReader_ScanColorant(ReaderHandle handle, ProgressCallback progress,
                                       ColorantRecord* colorant) noexcept {
    return meterio::withDriver(handle, Operation::ScanColorant, [&](Driver& d) {
        if (colorant == nullptr) return Result::GeneralFailure;
        meterio::Progress p(progress);
        return d.readValues(meterio::kMonitorRead, p, colorant);
    });
}

uint32_t QelMonitorReader_Scan(ReaderHandle handle, ProgressCallback progress,
                               ColorantRecord* colorant) noexcept {
    return QelMonitorReader_ScanColorant(handle, progress, colorant);
}

uint32_t QelMonitorReader_ScanSpectrum(ReaderHandle handle, ProgressCallback progress,
                                       SpectrumRecord* spectrum) noexcept {
    return meterio::withDriver(handle, Operation::ScanSpectrum, [&](Driver& d) {
        if (spectrum == nullptr) return Result::GeneralFailure;
        meterio::Progress p(progress);
        return d.readSpectra(meterio::kMonitorRead, p, spectrum);
    });
}

uint32_t QelMonitorReader_SetParam(ReaderHandle handle, const MeasureParams* params) noexcept {
    return meterio::withDriver(handle, Operation::SetParam, [&](Driver& d) {
        return params != nullptr ? d.setParams(*params) : Result::GeneralFailure;
    });
}

uint32_t QelMonitorReader_GetParam(ReaderHandle handle, MeasureParams* params) noexcept {
    return meterio::withDriver(handle, Operation::GetParam, [&](Driver& d) {
        return params != nullptr ? d.getParams(*params) : Result::GeneralFailure;
    });
}

uint32_t QelMonitorReader_GetInfo(ReaderHandle handle, DeviceInfo* info) noexcept {
    return meterio::withDriver(handle, Operation::GetInfo, [&](Driver& d) {
        return info != nullptr ? d.getInfo(*info) : Result::GeneralFailure;
    });
}

uint32_t QelMonitorReader_SetParamEx(ReaderHandle handle, void* params) noexcept {
    return meterio::withDriver(handle, Operation::SetParamEx, [&](Driver& d) {
        return params != nullptr ? d.setParamsEx(params) : Result::GeneralFailure;
    });
}

uint32_t QelMonitorReader_GetParamEx(ReaderHandle handle, void* params) noexcept {
    return meterio::withDriver(handle, Operation::GetParamEx, [&](Driver& d) {
        return params != nullptr ? d.getParamsEx(params) : Result::GeneralFailure;
    });
}

uint32_t QelMonitorReader_WaitForKeyInput(ReaderHandle handle, ProgressCallback progress,
                                          uint8_t* pressed) noexcept {
    return meterio::withDriver(handle, Operation::WaitForKeyInput, [&](Driver& d) {
        meterio::Progress p(progress);
        return d.waitForKey(meterio::WaitRequest{meterio::kNoTimeout, 0, 0}, p, pressed);
    });
}

uint32_t QelMonitorReader_WaitForKeyInput2(ReaderHandle handle, uint8_t mode,
                                           ProgressCallback progress) noexcept {
    return meterio::withDriver(handle, Operation::WaitForKeyInput2, [&](Driver& d) {
        meterio::Progress p(progress);
        return d.waitForKeyState(meterio::WaitRequest{meterio::kNoTimeout, 0, mode}, p);
    });
}

}  // extern "C"
