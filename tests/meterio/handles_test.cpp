// Handles, device codes, null pointers, shared exports and vendor-library binding failures.
#include <gtest/gtest.h>

#include "meterio32.h"
#include "platform/module.h"
#include "tests/meterio/eye_one_sim.h"

namespace {

using testing_sim::AmbientTest;
using testing_sim::kF;

TEST_F(AmbientTest, UnknownAndClosedHandlesResolveToNothing) {
    openOrFail();
    const ReaderHandle open = handle;
    for (ReaderHandle h : {ReaderHandle{0}, open + 1, ReaderHandle{0xFFFFFFFFu}}) {
        MeasureParams p{};
        DeviceInfo info{};
        SpectrumRecord spectrum{};
        ColorantRecord colour{};
        uint8_t pressed = 0;
        EXPECT_EQ(QelAmbientReader_Close(h), METERIO_BAD_HANDLE);
        EXPECT_EQ(QelAmbientReader_Calibrate(h, nullptr), METERIO_BAD_HANDLE);
        EXPECT_EQ(QelAmbientReader_SetParam(h, &p), METERIO_BAD_HANDLE);
        EXPECT_EQ(QelAmbientReader_GetParam(h, &p), METERIO_BAD_HANDLE);
        EXPECT_EQ(QelAmbientReader_GetInfo(h, &info), METERIO_BAD_HANDLE);
        EXPECT_EQ(QelAmbientReader_ScanSpectrum(h, nullptr, &spectrum), METERIO_BAD_HANDLE);
        EXPECT_EQ(QelAmbientReader_ScanColorant(h, nullptr, &colour), METERIO_BAD_HANDLE);
        EXPECT_EQ(QelAmbientReader_WaitForKeyInput(h, nullptr, &pressed), METERIO_BAD_HANDLE);
        EXPECT_EQ(QelAmbientReader_WaitForKeyInput2(h, 1, nullptr), METERIO_BAD_HANDLE);
    }
    ASSERT_EQ(QelAmbientReader_Close(open), METERIO_OK);
    EXPECT_EQ(QelAmbientReader_Close(open), METERIO_BAD_HANDLE);
    handle = 0;

    // A new reader never gets the id of a closed one.
    openOrFail();
    EXPECT_NE(handle, open);
}

ReaderHandle g_reentrantHandle = 0;
uint32_t g_reentrantClose = 0;

int32_t closingCallback(int32_t) {
    g_reentrantClose = QelAmbientReader_Close(g_reentrantHandle);
    return 1;
}

// The wait that called back still needs its vendor library: the reader stays open.
TEST_F(AmbientTest, CloseFromTheReadersOwnCallbackIsRefused) {
    openOrFail();
    g_reentrantHandle = handle;
    EXPECT_EQ(QelAmbientReader_Calibrate(handle, closingCallback), METERIO_CANCELLED);
    EXPECT_EQ(g_reentrantClose, kF);
    MeasureParams p{};
    EXPECT_EQ(QelAmbientReader_GetParam(handle, &p), METERIO_OK);
}

TEST_F(AmbientTest, TwoReadersAreIndependent) {
    openOrFail();
    ReaderHandle second = 0;
    ASSERT_EQ(QelAmbientReader_Open(0, nullptr, 0, nullptr, &second), METERIO_OK);
    EXPECT_NE(second, handle);
    ASSERT_EQ(QelAmbientReader_Close(second), METERIO_OK);
    MeasureParams p{};
    EXPECT_EQ(QelAmbientReader_GetParam(handle, &p), METERIO_OK) << "library still bound";
}

TEST_F(AmbientTest, NullRecordPointersAreRefusedWithGeneralFailure) {
    openOrFail();
    EXPECT_EQ(QelAmbientReader_SetParam(handle, nullptr), kF);
    EXPECT_EQ(QelAmbientReader_GetParam(handle, nullptr), kF);
    EXPECT_EQ(QelAmbientReader_GetInfo(handle, nullptr), kF);
    EXPECT_EQ(QelAmbientReader_ScanSpectrum(handle, nullptr, nullptr), kF);
    EXPECT_EQ(QelAmbientReader_ScanColorant(handle, nullptr, nullptr), kF);
    EXPECT_EQ(QelAmbientReader_Open(0, nullptr, 0, nullptr, nullptr), kF);
    EXPECT_EQ(QelAmbientReader_Version(nullptr), kF);
    EXPECT_EQ(sim.calls("I1_TriggerMeasurement"), 0u);
    MeasureParams p{};
    EXPECT_EQ(QelAmbientReader_GetParam(handle, &p), METERIO_OK);
}

TEST_F(AmbientTest, OnlyDeviceCodeZeroOpens) {
    for (uint8_t code : {uint8_t{1}, uint8_t{2}, uint8_t{255}}) {
        ReaderHandle h = 123;
        EXPECT_EQ(QelAmbientReader_Open(code, "COM1", 9600, nullptr, &h), kF);
        EXPECT_EQ(h, 123u);
    }
    EXPECT_EQ(sim.calls("I1_IsConnected"), 0u);
    EXPECT_EQ(QelAmbientReader_Open(0, "ignored", 19200, nullptr, &handle), METERIO_OK);
}

TEST(SharedExports, VersionAndExtendedParameters) {
    using VersionFn = uint32_t (*)(uint32_t*);
    for (VersionFn fn : {QelAmbientReader_Version, QelMonitorReader_Version, QelSpotReader_Version,
                         QelStripReader_Version, QelStageReader_Version}) {
        uint32_t v = 0;
        EXPECT_EQ(fn(&v), METERIO_OK);
        EXPECT_EQ(v, 400u);
    }
    using ParamExFn = uint32_t (*)(ReaderHandle, void*);
    MeasureParams p{};
    for (ParamExFn fn :
         {QelAmbientReader_SetParamEx, QelAmbientReader_GetParamEx, QelSpotReader_SetParamEx,
          QelSpotReader_GetParamEx, QelStripReader_SetParamEx, QelStripReader_GetParamEx}) {
        EXPECT_EQ(fn(0, nullptr), METERIO_NOT_OFFERED);
        EXPECT_EQ(fn(1, &p), METERIO_NOT_OFFERED);
    }
}

TEST(VendorLibraryBinding, MissingLibraryLeavesNothing) {
    ::setenv("QEL_MODULE_PATH", "/nonexistent", 1);
    ReaderHandle h = 42;
    EXPECT_EQ(QelAmbientReader_Open(0, nullptr, 0, nullptr, &h), METERIO_LIBRARY_NOT_LOADED);
    EXPECT_EQ(h, 42u);
    EXPECT_FALSE(platform::Module::isLoaded(testing_sim::kSimDir + "/libEyeOne.so"));
}

TEST(VendorLibraryBinding, MissingEntryPointUnloadsTheLibrary) {
    ::setenv("QEL_MODULE_PATH", testing_sim::kIncompleteSimDir.c_str(), 1);
    const std::string file = testing_sim::kIncompleteSimDir + "/libEyeOne.so";
    ReaderHandle h = 42;
    EXPECT_EQ(QelAmbientReader_Open(0, nullptr, 0, nullptr, &h), METERIO_ENTRY_POINT_MISSING);
    EXPECT_EQ(h, 42u);
    EXPECT_FALSE(platform::Module::isLoaded(file));
}

TEST(VendorLibraryBinding, FailedOpenAndCloseReleaseTheLibrary) {
    ::setenv("QEL_MODULE_PATH", testing_sim::kSimDir.c_str(), 1);
    ::setenv("QEL_SIM_EYEONE_DEVICE_TYPE", "EyeOneDisplay", 1);
    const std::string file = testing_sim::kSimDir + "/libEyeOne.so";
    ReaderHandle h = 0;
    EXPECT_EQ(QelAmbientReader_Open(0, nullptr, 0, nullptr, &h), METERIO_NO_INSTRUMENT);
    EXPECT_FALSE(platform::Module::isLoaded(file));
    ::unsetenv("QEL_SIM_EYEONE_DEVICE_TYPE");
    ASSERT_EQ(QelAmbientReader_Open(0, nullptr, 0, nullptr, &h), METERIO_OK);
    EXPECT_TRUE(platform::Module::isLoaded(file));
    ASSERT_EQ(QelAmbientReader_Close(h), METERIO_OK);
    EXPECT_FALSE(platform::Module::isLoaded(file));
}

}  // namespace
