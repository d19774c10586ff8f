// Binding of meterio32's ambient reader, resolved by name, and the result translation.
#include "app/meterio_binding.h"

#include <cstring>

namespace orvel_kepno_ambientlib {

int TranslateReaderResult(std::uint32_t readerResult) {
    switch (readerResult) {
        case METERIO_OK:
            return kAppSuccess;
        case METERIO_CANCELLED:
            return kAppCancelled;
        case 3:
        case 4:
            return kAppMemoryError;
        case 5:
        case 6:
        case 7:
        case METERIO_OUT_OF_RANGE:
            return kAppParameterError;
        case METERIO_NO_INSTRUMENT:
            return kAppNoInstrument;
        case METERIO_COMMUNICATION_ERROR:
        case METERIO_DEVICE_ERROR:
            return kAppCommunicationError;
        case METERIO_MEASUREMENT_ERROR:
            return kAppMeasurementError;
        case METERIO_NOT_COMPLETED:
            return kAppNotCompleted;
        default:
            return kAppFailure;
    }
}

METERIO& METERIO::Instance() {
    static METERIO instance;
    return instance;
}

METERIO::METERIO(std::string_view moduleName) {
    if (!m_module.load(moduleName)) return;
    m_module.resolve("QelAmbientReader_Open", m_open);
    m_module.resolve("QelAmbientReader_Close", m_close);
    m_module.resolve("QelAmbientReader_GetInfo", m_getInfo);
    m_module.resolve("QelAmbientReader_SetParam", m_setParam);
    m_module.resolve("QelAmbientReader_Calibrate", m_calibrate);
    m_module.resolve("QelAmbientReader_ScanSpectrum", m_scanSpectrum);
}

// The module frees the library when it was loaded.
METERIO::~METERIO() = default;

std::uint32_t METERIO::Open(std::uint8_t deviceCode, const char* portName, std::uint32_t baudRate,
                            ProgressCallback callback) {
    if (m_open == nullptr) return METERIO_GENERAL_FAILURE;
    return m_open(deviceCode, portName, baudRate, callback, &m_handle);
}

std::uint32_t METERIO::Close() {
    if (m_close == nullptr) return METERIO_GENERAL_FAILURE;
    const std::uint32_t result = m_close(m_handle);
    m_handle = 0;
    return result;
}

std::uint32_t METERIO::GetInfo(DeviceInfo& info) {
    if (m_getInfo == nullptr) {
        std::memset(&info, 0, sizeof info);
        return METERIO_GENERAL_FAILURE;
    }
    return m_getInfo(m_handle, &info);
}

std::uint32_t METERIO::SetParam(const MeasureParams& params) {
    if (m_setParam == nullptr) return METERIO_GENERAL_FAILURE;
    return m_setParam(m_handle, &params);
}

std::uint32_t METERIO::Calibrate(ProgressCallback callback) {
    if (m_calibrate == nullptr) return METERIO_GENERAL_FAILURE;
    return m_calibrate(m_handle, callback);
}

std::uint32_t METERIO::ScanSpectrum(ProgressCallback callback, SpectrumRecord& spectrum) {
    if (m_scanSpectrum == nullptr) {
        std::memset(&spectrum, 0, sizeof spectrum);
        return METERIO_GENERAL_FAILURE;
    }
    return m_scanSpectrum(m_handle, callback, &spectrum);
}

}  // namespace orvel_kepno_ambientlib
