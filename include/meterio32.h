/* meterio32: instrument control library, flat C interface. */
#ifndef METERIO32_H
#define METERIO32_H

#include <stdint.h>

#include "qel_records.h"

#define METERIO_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes ------------------------------------------------------------------------ */

#define METERIO_OK 0u
#define METERIO_CANCELLED 1u      /* the ProgressCallback asked to stop */
#define METERIO_NO_MEMORY 3u      /* the reader record could not be allocated */
#define METERIO_BAD_HANDLE 4u     /* unknown, closed or foreign handle */
#define METERIO_NOT_OFFERED 0x11u /* not offered by this family or device */
#define METERIO_BAD_ILLUMINATION 0x12u
#define METERIO_BAD_OBSERVER 0x13u
#define METERIO_BAD_DENSITY_STANDARD 0x14u
#define METERIO_BAD_COLOR_SPACE 0x15u
#define METERIO_GENERAL_FAILURE 0x0FFFFFFFu
#define METERIO_LIBRARY_NOT_LOADED 0x80000001u
#define METERIO_ENTRY_POINT_MISSING 0x80000002u
#define METERIO_OUT_OF_RANGE 0x80000003u
#define METERIO_NO_PORT 0x80000004u
#define METERIO_NO_INSTRUMENT 0x80000005u
#define METERIO_COMMUNICATION_ERROR 0x80000006u
#define METERIO_NOT_COMPLETED 0x80000007u
#define METERIO_DEVICE_ERROR 0x80000008u
#define METERIO_MEASUREMENT_ERROR 0x80000009u

/* Colour-space codes: four characters read big-end first. */
#define METERIO_CS_XYZ 0x58595A20u /* "XYZ " */
#define METERIO_CS_LAB 0x4C616220u /* "Lab " */
#define METERIO_CS_LCH 0x4C436820u /* "LCh " */
#define METERIO_CS_LUV 0x4C757620u /* "Luv " */
#define METERIO_CS_YXY 0x59787920u /* "Yxy " */

/* Records ----------------------------------------------------------------------------- */

/* Opaque reader id, valid from a successful Open to a successful Close. After a failed Close
 * every operation on the reader gives METERIO_GENERAL_FAILURE and the next Close frees it. */
typedef uint32_t ReaderHandle;

/* Called on every wait turn: -1 pure poll, 0 measurement start, 1000..10000 progress in
 * hundredths of a percent, -100 serial reply wait. What cancels depends on the driver.
 * A callback must not call into the reader that called it: any function given that reader's
 * handle (Close included) returns METERIO_GENERAL_FAILURE there. Other readers may be used. */
typedef int32_t (*ProgressCallback)(int32_t progress);

typedef struct MeasureParams {
    uint32_t densityStandard; /* 1 ANSI A, 2 E, 3 I, 4 ANSI T, 5 DIN, 6 DIN NB, 8 SPI */
    uint32_t illumination;    /* illuminant id: 1 A ... 7 D75, 16 + n for Fn */
    uint32_t observer;        /* 2 or 10 degrees */
    uint32_t colorSpace;      /* METERIO_CS_... */
} MeasureParams;

/* Instrument information; each driver fills its own layout from the start. */
typedef union DeviceInfo {
    struct {
        uint32_t libraryVersion;
        uint32_t serialNumber;
        uint32_t physicalFilter; /* 0 unknown, 1 or 2 */
        uint32_t deviceKind;     /* 1 EyeOne, 2 EyeOneDisplay, 0 other */
    } eyeOne;
    struct {
        /* year, month, day, then three values the strip reader leaves as they were */
        uint16_t firstDate[6];
        uint16_t secondDate[6];
        /* DTP41: the first and fifth are the instrument's numbers, the others 0xFFFFFFFF */
        uint32_t numbers[6];
    } strip;
    uint8_t bytes[552]; /* the largest driver record */
} DeviceInfo;

/* Three colour values in the reader's colour space; the fourth is left as it was. */
typedef struct ColorantRecord {
    double values[4];
} ColorantRecord;

typedef struct ColorantDensityRecord {
    ColorantRecord colorant;
    DensityRecord density;
} ColorantDensityRecord;

QEL_STATIC_ASSERT(sizeof(MeasureParams) == 16, "MeasureParams is four 32-bit fields");
QEL_STATIC_ASSERT(sizeof(DeviceInfo) == 552, "DeviceInfo holds the largest driver record");
QEL_STATIC_ASSERT(sizeof(ColorantRecord) == 32, "ColorantRecord is four doubles");
QEL_STATIC_ASSERT(sizeof(ColorantDensityRecord) == 64, "ColorantDensityRecord is eight doubles");
QEL_STATIC_ASSERT(offsetof(MeasureParams, illumination) == 4, "illumination at byte 4");
QEL_STATIC_ASSERT(offsetof(MeasureParams, colorSpace) == 12, "colorSpace at byte 12");
QEL_STATIC_ASSERT(sizeof(((DeviceInfo*)0)->eyeOne) == 16, "EyeOne information is four words");
QEL_STATIC_ASSERT(offsetof(ColorantDensityRecord, density) == 32, "densities follow the colour");
QEL_STATIC_ASSERT(sizeof(((DeviceInfo*)0)->strip) == 48, "strip information is 48 bytes");
QEL_STATIC_ASSERT(offsetof(DeviceInfo, strip.secondDate) == 12, "second date at byte 12");
QEL_STATIC_ASSERT(offsetof(DeviceInfo, strip.numbers) == 24, "numbers at byte 24");

/* Shared by every family --------------------------------------------------------------- */

/* One function under five names: writes 400, returns 0. */
METERIO_API uint32_t QelMonitorReader_Version(uint32_t* version) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_Version(uint32_t* version) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_Version(uint32_t* version) QEL_NOEXCEPT;
METERIO_API uint32_t QelStageReader_Version(uint32_t* version) QEL_NOEXCEPT;
/* No spot or strip driver has extended parameters: always 17. */
METERIO_API uint32_t QelSpotReader_SetParamEx(ReaderHandle handle, void* params) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_GetParamEx(ReaderHandle handle, void* params) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_SetParamEx(ReaderHandle handle, void* params) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_GetParamEx(ReaderHandle handle, void* params) QEL_NOEXCEPT;

/* Ambient reader ---------------------------------------------------------------------- */

METERIO_API uint32_t QelAmbientReader_Open(uint8_t deviceCode, const char* portName,
                                           uint32_t baudRate, ProgressCallback progress,
                                           ReaderHandle* handle) QEL_NOEXCEPT;
METERIO_API uint32_t QelAmbientReader_Close(ReaderHandle handle) QEL_NOEXCEPT;
METERIO_API uint32_t QelAmbientReader_Calibrate(ReaderHandle handle,
                                                ProgressCallback progress) QEL_NOEXCEPT;
METERIO_API uint32_t QelAmbientReader_SetParam(ReaderHandle handle,
                                               const MeasureParams* params) QEL_NOEXCEPT;
METERIO_API uint32_t QelAmbientReader_GetParam(ReaderHandle handle,
                                               MeasureParams* params) QEL_NOEXCEPT;
METERIO_API uint32_t QelAmbientReader_GetInfo(ReaderHandle handle, DeviceInfo* info) QEL_NOEXCEPT;
METERIO_API uint32_t QelAmbientReader_ScanSpectrum(ReaderHandle handle, ProgressCallback progress,
                                                   SpectrumRecord* spectrum) QEL_NOEXCEPT;
METERIO_API uint32_t QelAmbientReader_ScanColorant(ReaderHandle handle, ProgressCallback progress,
                                                   ColorantRecord* colorant) QEL_NOEXCEPT;
/* `pressed` may be null; it receives 1 when the button was pressed. */
METERIO_API uint32_t QelAmbientReader_WaitForKeyInput(ReaderHandle handle,
                                                      ProgressCallback progress,
                                                      uint8_t* pressed) QEL_NOEXCEPT;
METERIO_API uint32_t QelAmbientReader_WaitForKeyInput2(ReaderHandle handle, uint8_t mode,
                                                       ProgressCallback progress) QEL_NOEXCEPT;
/* Always 17. */
METERIO_API uint32_t QelAmbientReader_SetParamEx(ReaderHandle handle, void* params) QEL_NOEXCEPT;
METERIO_API uint32_t QelAmbientReader_GetParamEx(ReaderHandle handle, void* params) QEL_NOEXCEPT;
/* Writes 400; returns 0. */
METERIO_API uint32_t QelAmbientReader_Version(uint32_t* version) QEL_NOEXCEPT;

/* Spot reader ------------------------------------------------------------------------- */
/* Device codes: 0 EyeOne, 1 the CSCMTLib instrument, 2 the serial spot head. Port name and
 * baud rate serve the spot head only (null or empty name, rate 0: search every port and rate). */

METERIO_API uint32_t QelSpotReader_Open(uint8_t deviceCode, const char* portName,
                                        uint32_t baudRate, ProgressCallback progress,
                                        ReaderHandle* handle) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_Close(ReaderHandle handle) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_CalibrateWhite(ReaderHandle handle,
                                                  ProgressCallback progress) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_CalibrateBlack(ReaderHandle handle,
                                                  ProgressCallback progress) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_ScanSpotColorant(ReaderHandle handle, ProgressCallback progress,
                                                    ColorantRecord* colorant) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_ScanSpotDensity(ReaderHandle handle, ProgressCallback progress,
                                                   DensityRecord* density) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_ScanSpotEx(ReaderHandle handle, ProgressCallback progress,
                                              ColorantDensityRecord* both) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_ScanSpotSpectrum(ReaderHandle handle, ProgressCallback progress,
                                                    SpectrumRecord* spectrum) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_SetParam(ReaderHandle handle,
                                            const MeasureParams* params) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_GetParam(ReaderHandle handle, MeasureParams* params) QEL_NOEXCEPT;
/* The spot head fills 128 bytes, the CSCMTLib instrument 58, EyeOne 16. */
METERIO_API uint32_t QelSpotReader_GetInfo(ReaderHandle handle, DeviceInfo* info) QEL_NOEXCEPT;
/* `pressed` may be null; it receives 1 when the button was pressed. */
METERIO_API uint32_t QelSpotReader_WaitForKeyInput(ReaderHandle handle, ProgressCallback progress,
                                                   uint8_t* pressed) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_WaitForKeyInput2(ReaderHandle handle, uint8_t mode,
                                                    ProgressCallback progress) QEL_NOEXCEPT;
/* Scan and ScanSpot: ScanSpotColorant; Scan2 and ScanSpot2: ScanSpotDensity; ScanEx: ScanSpotEx. */
METERIO_API uint32_t QelSpotReader_Scan(ReaderHandle handle, ProgressCallback progress,
                                        ColorantRecord* colorant) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_ScanSpot(ReaderHandle handle, ProgressCallback progress,
                                            ColorantRecord* colorant) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_Scan2(ReaderHandle handle, ProgressCallback progress,
                                         DensityRecord* density) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_ScanSpot2(ReaderHandle handle, ProgressCallback progress,
                                             DensityRecord* density) QEL_NOEXCEPT;
METERIO_API uint32_t QelSpotReader_ScanEx(ReaderHandle handle, ProgressCallback progress,
                                          ColorantDensityRecord* both) QEL_NOEXCEPT;

/* Monitor reader ---------------------------------------------------------------------- */
/* Device codes: 0 EyeOne in emission, 1 the serial display colorimeter, 2 the serial display
 * spectrometer, 3 the serial spot head, 4 the USB display instrument (Kmsecs200.dll). Port name
 * and baud rate serve the serial instruments only. Measurements start by command; no button
 * press is waited for. */

/* Speed setting of the USB instrument (SetParamEx / GetParamEx): modes 0 to 4 take value 0,
 * mode 5 a value from 1 to 60. */
typedef struct SpeedSettingRecord {
    uint32_t mode;
    uint32_t value;
} SpeedSettingRecord;

/* What GetInfo writes for the USB instrument, from the start of DeviceInfo: the model text
 * (no terminator) and the two numbers of the identity reply; words 2 to 7 are left as they
 * were. */
typedef struct UsbInstrumentInfo {
    char model[8]; /* "1892-100" */
    uint32_t kept[6];
    uint32_t firstNumber;
    uint32_t secondNumber;
} UsbInstrumentInfo;

QEL_STATIC_ASSERT(sizeof(SpeedSettingRecord) == 8, "SpeedSettingRecord is two 32-bit fields");
QEL_STATIC_ASSERT(sizeof(UsbInstrumentInfo) == 40, "UsbInstrumentInfo is ten words");
QEL_STATIC_ASSERT(offsetof(UsbInstrumentInfo, firstNumber) == 32, "numbers in words 8 and 9");
QEL_STATIC_ASSERT(sizeof(UsbInstrumentInfo) <= sizeof(DeviceInfo), "fits DeviceInfo");

/* Device code 1, the serial display colorimeter: GetInfo clears all 552 bytes, then writes the
 * ten blank-separated words of the instrument's status line, each NUL-terminated. */
typedef struct DisplayColorimeterInfo {
    uint8_t reserved[8];
    char words[10][32];
    uint8_t tail[224];
} DisplayColorimeterInfo;

/* Device code 2, the serial display spectrometer (SetParamEx / GetParamEx): integration time
 * from 0.04 to 60.0 s; mode 0 the instrument chooses, 3 the time is fixed, 4 one measurement
 * learns the instrument's own time and the given one is fixed when that is longer. */
typedef struct IntegrationRecord {
    double timeSeconds;
    uint32_t mode;
} IntegrationRecord;

QEL_STATIC_ASSERT(sizeof(DisplayColorimeterInfo) == 552, "DisplayColorimeterInfo is 552 bytes");
QEL_STATIC_ASSERT(offsetof(DisplayColorimeterInfo, words) == 8, "status words from byte 8");
QEL_STATIC_ASSERT(sizeof(IntegrationRecord) == 16, "IntegrationRecord is a double and a word");
QEL_STATIC_ASSERT(offsetof(IntegrationRecord, mode) == 8, "mode at byte 8");

METERIO_API uint32_t QelMonitorReader_Open(uint8_t deviceCode, const char* portName,
                                           uint32_t baudRate, ProgressCallback progress,
                                           ReaderHandle* handle) QEL_NOEXCEPT;
METERIO_API uint32_t QelMonitorReader_Close(ReaderHandle handle) QEL_NOEXCEPT;
METERIO_API uint32_t QelMonitorReader_CalibrateWhite(ReaderHandle handle,
                                                     ProgressCallback progress) QEL_NOEXCEPT;
METERIO_API uint32_t QelMonitorReader_CalibrateBlack(ReaderHandle handle,
                                                     ProgressCallback progress) QEL_NOEXCEPT;
METERIO_API uint32_t QelMonitorReader_ScanColorant(ReaderHandle handle, ProgressCallback progress,
                                                   ColorantRecord* colorant) QEL_NOEXCEPT;
/* Forwards to ScanColorant. */
METERIO_API uint32_t QelMonitorReader_Scan(ReaderHandle handle, ProgressCallback progress,
                                           ColorantRecord* colorant) QEL_NOEXCEPT;
METERIO_API uint32_t QelMonitorReader_ScanSpectrum(ReaderHandle handle, ProgressCallback progress,
                                                   SpectrumRecord* spectrum) QEL_NOEXCEPT;
METERIO_API uint32_t QelMonitorReader_SetParam(ReaderHandle handle,
                                               const MeasureParams* params) QEL_NOEXCEPT;
METERIO_API uint32_t QelMonitorReader_GetParam(ReaderHandle handle,
                                               MeasureParams* params) QEL_NOEXCEPT;
/* EyeOne fills 16 bytes, the spot head 128, the USB instrument a UsbInstrumentInfo, the
 * colorimeter a DisplayColorimeterInfo; 17 for the spectrometer. */
METERIO_API uint32_t QelMonitorReader_GetInfo(ReaderHandle handle, DeviceInfo* info) QEL_NOEXCEPT;
/* `params` is a SpeedSettingRecord for the USB instrument, an IntegrationRecord for the
 * spectrometer; 17 for the other devices. */
METERIO_API uint32_t QelMonitorReader_SetParamEx(ReaderHandle handle, void* params) QEL_NOEXCEPT;
METERIO_API uint32_t QelMonitorReader_GetParamEx(ReaderHandle handle, void* params) QEL_NOEXCEPT;
/* `pressed` may be null; it receives 1 when the button was pressed. */
METERIO_API uint32_t QelMonitorReader_WaitForKeyInput(ReaderHandle handle,
                                                      ProgressCallback progress,
                                                      uint8_t* pressed) QEL_NOEXCEPT;
METERIO_API uint32_t QelMonitorReader_WaitForKeyInput2(ReaderHandle handle, uint8_t mode,
                                                       ProgressCallback progress) QEL_NOEXCEPT;

/* Strip reader ------------------------------------------------------------------------ */
/* Device codes: 0 the DTP41 on a serial port (null or empty name, rate 0: search every port
 * and rate), 1 EyeOne in scanning mode. */

/* The strip's layout; `patches` is the number of patches on it. DTP41: first 5 to 999,
 * second 70 to 999, third at least 70, patches 1 to 100. EyeOne: first at most 10, second and
 * third above 45, patches not 0. After Open: 0, 100, 100, 10. */
typedef struct StripDefinitionRecord {
    uint16_t first;
    uint16_t second;
    uint16_t third;
    uint16_t patches;
} StripDefinitionRecord;

QEL_STATIC_ASSERT(sizeof(StripDefinitionRecord) == 8,
                  "StripDefinitionRecord is four 16-bit fields");

METERIO_API uint32_t QelStripReader_Open(uint8_t deviceCode, const char* portName,
                                         uint32_t baudRate, ProgressCallback progress,
                                         ReaderHandle* handle) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_Close(ReaderHandle handle) QEL_NOEXCEPT;
/* Stored only when the instrument accepts it; otherwise 0x80000003 and the last one stays. */
METERIO_API uint32_t QelStripReader_DefineStrip(
    ReaderHandle handle, const StripDefinitionRecord* definition) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_CalibrateWhite(ReaderHandle handle,
                                                   ProgressCallback progress) QEL_NOEXCEPT;
/* Always 17 on an open reader. */
METERIO_API uint32_t QelStripReader_CalibrateBlack(ReaderHandle handle) QEL_NOEXCEPT;
/* Whole strips: at most `capacity` records are written and `count` (may be null) receives how
 * many. The DTP41 waits for the user to pull a strip, then transfers it; EyeOne measures as many
 * patches as the definition holds and fails with 0x80000007 when it sees another number. */
METERIO_API uint32_t QelStripReader_ScanStripColorants(ReaderHandle handle, uint32_t capacity,
                                                       ProgressCallback progress, uint32_t* count,
                                                       ColorantRecord* results) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_ScanStripDensities(ReaderHandle handle, uint32_t capacity,
                                                       ProgressCallback progress, uint32_t* count,
                                                       DensityRecord* results) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_ScanStripEx(ReaderHandle handle, uint32_t capacity,
                                                ProgressCallback progress, uint32_t* count,
                                                ColorantDensityRecord* results) QEL_NOEXCEPT;
/* DTP41 spectra: 31 values from 400 nm at 10 nm. */
METERIO_API uint32_t QelStripReader_ScanStripSpectrums(ReaderHandle handle, uint32_t capacity,
                                                       ProgressCallback progress, uint32_t* count,
                                                       SpectrumRecord* results) QEL_NOEXCEPT;
/* One patch (index from 0, below the defined patch count): read back from the next strip on the
 * DTP41, measured at once on EyeOne. */
METERIO_API uint32_t QelStripReader_ScanSpotColorant(ReaderHandle handle, uint32_t index,
                                                     ProgressCallback progress,
                                                     ColorantRecord* result) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_ScanSpotDensity(ReaderHandle handle, uint32_t index,
                                                    ProgressCallback progress,
                                                    DensityRecord* result) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_ScanSpotEx(ReaderHandle handle, uint32_t index,
                                               ProgressCallback progress,
                                               ColorantDensityRecord* result) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_ScanSpotSpectrum(ReaderHandle handle, uint32_t index,
                                                     ProgressCallback progress,
                                                     SpectrumRecord* result) QEL_NOEXCEPT;
/* ScanStrip is ScanStripColorants, ScanStrip2 ScanStripDensities, ScanSpot ScanSpotColorant and
 * ScanSpot2 ScanSpotDensity, under a second name. */
METERIO_API uint32_t QelStripReader_ScanStrip(ReaderHandle handle, uint32_t capacity,
                                              ProgressCallback progress, uint32_t* count,
                                              ColorantRecord* results) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_ScanStrip2(ReaderHandle handle, uint32_t capacity,
                                               ProgressCallback progress, uint32_t* count,
                                               DensityRecord* results) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_ScanSpot(ReaderHandle handle, uint32_t index,
                                             ProgressCallback progress,
                                             ColorantRecord* result) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_ScanSpot2(ReaderHandle handle, uint32_t index,
                                              ProgressCallback progress,
                                              DensityRecord* result) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_SetParam(ReaderHandle handle,
                                             const MeasureParams* params) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_GetParam(ReaderHandle handle,
                                             MeasureParams* params) QEL_NOEXCEPT;
/* The DTP41 fills the `strip` layout (48 bytes), EyeOne the `eyeOne` one. */
METERIO_API uint32_t QelStripReader_GetInfo(ReaderHandle handle, DeviceInfo* info) QEL_NOEXCEPT;
/* Waits without time-out until a strip has been read (DTP41) or the button pressed (EyeOne);
 * `taken` (may be null) receives 1 when it was. */
METERIO_API uint32_t QelStripReader_WaitForKeyInput(ReaderHandle handle, ProgressCallback progress,
                                                    uint8_t* taken) QEL_NOEXCEPT;
METERIO_API uint32_t QelStripReader_WaitForKeyInput2(ReaderHandle handle, uint8_t state,
                                                     ProgressCallback progress) QEL_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* METERIO32_H */
