// A scriptable stand-in for meterio32's ambient reader, for the program's binding tests.
#ifndef TESTS_APP_FAKE_METERIO32_H
#define TESTS_APP_FAKE_METERIO32_H

#include "meterio32.h"

#define FAKE_METERIO_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* What each entry point answers; all 0 (success) after FakeMeterio_Reset. */
typedef struct FakeMeterioScript {
    uint32_t openResult;
    uint32_t closeResult; /* answered for a handle Open handed out */
    uint32_t getInfoResult;
    uint32_t setParamResult;
    uint32_t calibrateResult;
    uint32_t scanResult;
    ReaderHandle handle; /* written by a successful Open */
    DeviceInfo info;
    SpectrumRecord spectrum; /* written by a successful scan */
} FakeMeterioScript;

/* What the entry points were called with. */
typedef struct FakeMeterioCalls {
    int open, close, getInfo, setParam, calibrate, scan;
    uint8_t deviceCode;
    const char* portName;
    uint32_t baudRate;
    ProgressCallback openCallback;
    ProgressCallback lastCallback; /* of calibrate or scan */
    ReaderHandle lastHandle;       /* of any call taking one */
    MeasureParams params;
} FakeMeterioCalls;

FAKE_METERIO_API void FakeMeterio_Reset(void);
FAKE_METERIO_API FakeMeterioScript* FakeMeterio_Script(void);
FAKE_METERIO_API FakeMeterioCalls* FakeMeterio_Calls(void);

#ifdef __cplusplus
}
#endif

#endif /* TESTS_APP_FAKE_METERIO32_H */
