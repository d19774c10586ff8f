// Run-time binding of the instrument library's ambient reader, and the program's result codes.
#ifndef APP_METERIO_BINDING_H
#define APP_METERIO_BINDING_H

#include <cstdint>
#include <string_view>

#include "meterio32.h"
#include "platform/module.h"

namespace orvel_kepno_ambientlib {

// The program's own result codes for instrument operations.
enum AppResult : int {
    kAppFailure = -1,  // anything without a better match, the general failure included
    kAppSuccess = 0,
    kAppCancelled = 1,       // the cancel callback asked to stop
    kAppMemoryError = 2,     // the reader record or handle
    kAppParameterError = 3,  // a parameter or mode the instrument refused
    kAppNoInstrument = 4,
    kAppCommunicationError = 5,
    kAppMeasurementError = 6,
    kAppNotCompleted = 7,
};

// Maps a reader result code to an AppResult.
int TranslateReaderResult(std::uint32_t readerResult);

// Holds "meterio32.dll", its six ambient-reader entry points and the one open reader's handle.
// Every wrapper returns METERIO_GENERAL_FAILURE when the library or its entry point is missing.
class METERIO {
public:
    static constexpr std::string_view kModuleName = "meterio32.dll";

    // The process-wide binding of kModuleName, loaded on first use and freed at process exit.
    static METERIO& Instance();

    // Binds `moduleName` (a Windows module name or a path); used for the instance and by tests.
    explicit METERIO(std::string_view moduleName = kModuleName);
    virtual ~METERIO();
    METERIO(const METERIO&) = delete;
    METERIO& operator=(const METERIO&) = delete;

    // Opens the reader; the handle is kept on success.
    std::uint32_t Open(std::uint8_t deviceCode, const char* portName, std::uint32_t baudRate,
                       ProgressCallback callback);
    // Closes the reader; the kept handle is forgotten whatever the reader answers.
    std::uint32_t Close();
    // Zero-fills `info` when unbound.
    std::uint32_t GetInfo(DeviceInfo& info);
    std::uint32_t SetParam(const MeasureParams& params);
    std::uint32_t Calibrate(ProgressCallback callback);
    // Zero-fills `spectrum` when unbound.
    std::uint32_t ScanSpectrum(ProgressCallback callback, SpectrumRecord& spectrum);

    bool Loaded() const { return m_module.loaded(); }
    ReaderHandle Handle() const { return m_handle; }

private:
    platform::Module m_module;
    decltype(&QelAmbientReader_Open) m_open = nullptr;
    decltype(&QelAmbientReader_Close) m_close = nullptr;
    decltype(&QelAmbientReader_GetInfo) m_getInfo = nullptr;
    decltype(&QelAmbientReader_SetParam) m_setParam = nullptr;
    decltype(&QelAmbientReader_Calibrate) m_calibrate = nullptr;
    decltype(&QelAmbientReader_ScanSpectrum) m_scanSpectrum = nullptr;
    ReaderHandle m_handle = 0;
};

}  // namespace orvel_kepno_ambientlib

#endif  // APP_METERIO_BINDING_H
