// Scripted ambient-reader entry points. Calibrate and scan call the progress callback once
// (argument 0) and answer 1 when it asks to stop, as the real reader does while it waits.
#include "fake_meterio32.h"

#include <cstring>

namespace {

FakeMeterioScript g_script;
FakeMeterioCalls g_calls;
bool g_open = false;

bool cancelled(ProgressCallback callback) {
    g_calls.lastCallback = callback;
    return callback != nullptr && callback(0) != 0;
}

}  // namespace

extern "C" {

void FakeMeterio_Reset(void) {
    std::memset(&g_script, 0, sizeof g_script);
    std::memset(&g_calls, 0, sizeof g_calls);
    g_script.handle = 0x1234;
    g_open = false;
}

FakeMeterioScript* FakeMeterio_Script(void) {
    return &g_script;
}

FakeMeterioCalls* FakeMeterio_Calls(void) {
    return &g_calls;
}

uint32_t QelAmbientReader_Open(uint8_t deviceCode, const char* portName, uint32_t baudRate,
                               ProgressCallback progress, ReaderHandle* handle) noexcept {
    ++g_calls.open;
    g_calls.deviceCode = deviceCode;
    g_calls.portName = portName;
    g_calls.baudRate = baudRate;
    g_calls.openCallback = progress;
    if (g_script.openResult != 0) return g_script.openResult;
    *handle = g_script.handle;
    g_open = true;
    return 0;
}

uint32_t QelAmbientReader_Close(ReaderHandle handle) noexcept {
    ++g_calls.close;
    g_calls.lastHandle = handle;
    if (!g_open || handle != g_script.handle) return METERIO_BAD_HANDLE;
    if (g_script.closeResult == 0) g_open = false;
    return g_script.closeResult;
}

uint32_t QelAmbientReader_GetInfo(ReaderHandle handle, DeviceInfo* info) noexcept {
    ++g_calls.getInfo;
    g_calls.lastHandle = handle;
    if (g_script.getInfoResult == 0) *info = g_script.info;
    return g_script.getInfoResult;
}

uint32_t QelAmbientReader_SetParam(ReaderHandle handle, const MeasureParams* params) noexcept {
    ++g_calls.setParam;
    g_calls.lastHandle = handle;
    g_calls.params = *params;
    return g_script.setParamResult;
}

uint32_t QelAmbientReader_Calibrate(ReaderHandle handle, ProgressCallback progress) noexcept {
    ++g_calls.calibrate;
    g_calls.lastHandle = handle;
    if (cancelled(progress)) return METERIO_CANCELLED;
    return g_script.calibrateResult;
}

uint32_t QelAmbientReader_ScanSpectrum(ReaderHandle handle, ProgressCallback progress,
                                       SpectrumRecord* spectrum) noexcept {
    ++g_calls.scan;
    g_calls.lastHandle = handle;
    if (cancelled(progress)) return METERIO_CANCELLED;
    if (g_script.scanResult == 0) *spectrum = g_script.spectrum;
    return g_script.scanResult;
}

}  // extern "C"
