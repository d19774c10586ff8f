// Exports every family shares: the library version and the extended parameters of the families
// whose drivers have none.
#include "meterio/frame/result.h"
#include "meterio32.h"

namespace meterio {
namespace {

constexpr std::uint32_t kLibraryVersion = 400;

}  // namespace
}  // namespace meterio

extern "C" {

uint32_t QelAmbientReader_Version(uint32_t* version) noexcept {
    if (version == nullptr) return meterio::toCode(meterio::Result::GeneralFailure);
    *version = meterio::kLibraryVersion;
    return meterio::toCode(meterio::Result::Ok);
}

uint32_t QelAmbientReader_SetParamEx(ReaderHandle, void*) noexcept {
    return meterio::toCode(meterio::Result::NotOffered);
}

// One function under each family's name.
uint32_t QelMonitorReader_Version(uint32_t*) noexcept
    __attribute__((alias("QelAmbientReader_Version")));
uint32_t QelSpotReader_Version(uint32_t*) noexcept
    __attribute__((alias("QelAmbientReader_Version")));
uint32_t QelStripReader_Version(uint32_t*) noexcept
    __attribute__((alias("QelAmbientReader_Version")));
uint32_t QelStageReader_Version(uint32_t*) noexcept
    __attribute__((alias("QelAmbientReader_Version")));

uint32_t QelAmbientReader_GetParamEx(ReaderHandle, void*) noexcept
    __attribute__((alias("QelAmbientReader_SetParamEx")));
uint32_t QelSpotReader_SetParamEx(ReaderHandle, void*) noexcept
    __attribute__((alias("QelAmbientReader_SetParamEx")));
uint32_t QelSpotReader_GetParamEx(ReaderHandle, void*) noexcept
    __attribute__((alias("QelAmbientReader_SetParamEx")));
uint32_t QelStripReader_SetParamEx(ReaderHandle, void*) noexcept
    __attribute__((alias("QelAmbientReader_SetParamEx")));
uint32_t QelStripReader_GetParamEx(ReaderHandle, void*) noexcept
    __attribute__((alias("QelAmbientReader_SetParamEx")));

}  // extern "C"
