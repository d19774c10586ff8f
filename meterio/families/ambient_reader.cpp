// Ambient reader family: light falling on an EyeOne fitted with its ambient-light head.
#include "meterio/drivers/eye_one.h"
#include "meterio/frame/abi_guard.h"
#include "meterio/frame/frame.h"
#include "meterio32.h"

namespace meterio {
namespace {

constexpr Family kFamily = Family::Ambient;

constexpr DriverEntry kDrivers[] = {
    {0, &EyeOneDriver::make, kEyeOneAmbient},
};

// One spectrum or colour value per measurement.
constexpr ReadRequest kSingleAmbientRead{kEyeOneAmbient, kReadColorant, 1, 1, 0, nullptr};

}  // namespace
}  // namespace meterio

using meterio::Driver;
using meterio::Result;
namespace frame = meterio::frame;

extern "C" {

uint32_t QelAmbientReader_Open(uint8_t deviceCode, const char* portName, uint32_t baudRate,
                               ProgressCallback progress, ReaderHandle* handle) noexcept {
    return meterio::abiGuard(Result::GeneralFailure, [&] {
        return frame::open({meterio::kFamily, meterio::kDrivers, deviceCode, portName, baudRate,
                            progress, nullptr},
                           handle);
    });
}

uint32_t QelAmbientReader_Close(ReaderHandle handle) noexcept {
    return meterio::abiGuard(Result::GeneralFailure,
                             [&] { return frame::close(meterio::kFamily, handle); });
}

uint32_t QelAmbientReader_Calibrate(ReaderHandle handle, ProgressCallback progress) noexcept {
    return meterio::abiGuard(Result::GeneralFailure, [&] {
        return frame::run(handle, meterio::kFamily, [&](Driver& d) {
            meterio::Progress p(progress);
            return d.calibrateAmbient(p);
        });
    });
}

uint32_t QelAmbientReader_SetParam(ReaderHandle handle, const MeasureParams* params) noexcept {
    return meterio::abiGuard(Result::GeneralFailure, [&] {
        return frame::run(handle, meterio::kFamily, [&](Driver& d) {
            return params != nullptr ? d.setParams(*params) : Result::GeneralFailure;
        });
    });
}

uint32_t QelAmbientReader_GetParam(ReaderHandle handle, MeasureParams* params) noexcept {
    return meterio::abiGuard(Result::GeneralFailure, [&] {
        return frame::run(handle, meterio::kFamily, [&](Driver& d) {
            return params != nullptr ? d.getParams(*params) : Result::GeneralFailure;
        });
    });
}

uint32_t QelAmbientReader_GetInfo(ReaderHandle handle, DeviceInfo* info) noexcept {
    return meterio::abiGuard(Result::GeneralFailure, [&] {
        return frame::run(handle, meterio::kFamily, [&](Driver& d) {
            return info != nullptr ? d.getInfo(*info) : Result::GeneralFailure;
        });
    });
}

uint32_t QelAmbientReader_ScanSpectrum(ReaderHandle handle, ProgressCallback progress,
                                       SpectrumRecord* spectrum) noexcept {
    return meterio::abiGuard(Result::GeneralFailure, [&] {
        return frame::run(handle, meterio::kFamily, [&](Driver& d) {
            if (spectrum == nullptr) return Result::GeneralFailure;
            meterio::Progress p(progress);
            return d.readSpectra(meterio::kSingleAmbientRead, p, spectrum);
        });
    });
}

uint32_t QelAmbientReader_ScanColorant(ReaderHandle handle, ProgressCallback progress,
                                       ColorantRecord* colorant) noexcept {
    return meterio::abiGuard(Result::GeneralFailure, [&] {
        return frame::run(handle, meterio::kFamily, [&](Driver& d) {
            if (colorant == nullptr) return Result::GeneralFailure;
            meterio::Progress p(progress);
            return d.readValues(meterio::kSingleAmbientRead, p, colorant);
        });
    });
}

uint32_t QelAmbientReader_WaitForKeyInput(ReaderHandle handle, ProgressCallback progress,
                                          uint8_t* pressed) noexcept {
    return meterio::abiGuard(Result::GeneralFailure, [&] {
        return frame::run(handle, meterio::kFamily, [&](Driver& d) {
            meterio::Progress p(progress);
            return d.waitForKey(meterio::WaitRequest{meterio::kNoTimeout, 0, 0}, p, pressed);
        });
    });
}

uint32_t QelAmbientReader_WaitForKeyInput2(ReaderHandle handle, uint8_t mode,
                                           ProgressCallback progress) noexcept {
    return meterio::abiGuard(Result::GeneralFailure, [&] {
        return frame::run(handle, meterio::kFamily, [&](Driver& d) {
            meterio::Progress p(progress);
            return d.waitForKeyState(meterio::WaitRequest{meterio::kNoTimeout, 0, mode}, p);
        });
    });
}

}  // extern "C"
