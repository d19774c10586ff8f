// Result codes of the instrument library, mirroring the public METERIO_* codes.
#ifndef METERIO_FRAME_RESULT_H
#define METERIO_FRAME_RESULT_H

#include <cstdint>

#include "meterio32.h"

namespace meterio {

enum class [[nodiscard]] Result : std::uint32_t{
    Ok = METERIO_OK,
    Cancelled = METERIO_CANCELLED,
    NoMemory = METERIO_NO_MEMORY,
    BadHandle = METERIO_BAD_HANDLE,
    NotOffered = METERIO_NOT_OFFERED,
    BadIllumination = METERIO_BAD_ILLUMINATION,
    BadObserver = METERIO_BAD_OBSERVER,
    BadDensityStandard = METERIO_BAD_DENSITY_STANDARD,
    BadColorSpace = METERIO_BAD_COLOR_SPACE,
    GeneralFailure = METERIO_GENERAL_FAILURE,
    LibraryNotLoaded = METERIO_LIBRARY_NOT_LOADED,
    EntryPointMissing = METERIO_ENTRY_POINT_MISSING,
    OutOfRange = METERIO_OUT_OF_RANGE,
    NoPort = METERIO_NO_PORT,
    NoInstrument = METERIO_NO_INSTRUMENT,
    CommunicationError = METERIO_COMMUNICATION_ERROR,
    NotCompleted = METERIO_NOT_COMPLETED,
    DeviceError = METERIO_DEVICE_ERROR,
    MeasurementError = METERIO_MEASUREMENT_ERROR,
};

constexpr std::uint32_t toCode(Result r) noexcept {
    return static_cast<std::uint32_t>(r);
}

}  // namespace meterio

#endif  // METERIO_FRAME_RESULT_H
