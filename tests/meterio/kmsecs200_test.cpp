// The USB display instrument driver: its code maps, the speed command, and its operations against
// the simulated Kmsecs200 library on a stepping clock.
#include "meterio/drivers/kmsecs200.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "meterio32.h"
#include "platform/module.h"
#include "sim/kmsecs200/sim_kmsecs200.h"

using meterio::Result;

namespace {

TEST(KmsecsMaps, ReplyStatus) {
    const struct {
        Result result;
        std::vector<std::string_view> replies;
    } rows[] = {
        {Result::Ok, {"OK00", "OK03", "OK12", "OK13,1892-100"}},
        {Result::NotCompleted,
         {"ER01", "ER02", "ER03", "ER05", "ER06", "ER08", "ER09", "ER10", "ER11", "ER14", "ER15",
          "ER16", "ER21", "ER22", "ER23", "ER27", "ER30,7"}},
        {Result::GeneralFailure,
         {"ER07", "ER20", "ER31", "ER34", "ER35", "ER04", "OK01", "ok00", "OK0", "", "XXXX"}},
    };
    for (const auto& row : rows)
        for (std::string_view reply : row.replies)
            EXPECT_EQ(meterio::mapKmsecsStatus(reply), row.result) << '"' << reply << '"';
}

TEST(KmsecsMaps, EntryPointCodes) {
    const struct {
        std::int32_t code;
        Result link;
        Result transfer;
    } rows[] = {
        {0, Result::Ok, Result::Ok},
        {17, Result::GeneralFailure, Result::Ok},
        {-1, Result::OutOfRange, Result::OutOfRange},
        {-2, Result::NoInstrument, Result::CommunicationError},
        {-3, Result::CommunicationError, Result::CommunicationError},
        {-6, Result::CommunicationError, Result::GeneralFailure},
        {-7, Result::GeneralFailure, Result::GeneralFailure},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(meterio::mapKmsecsLinkCode(row.code), row.link) << row.code;
        EXPECT_EQ(meterio::mapKmsecsTransferCode(row.code), row.transfer) << row.code;
    }
}

TEST(KmsecsSpeed, CommandOrRefusal) {
    EXPECT_EQ(meterio::kmsecsSpeedCommand(5, 7), "SPS,5, 7");
    EXPECT_EQ(meterio::kmsecsSpeedCommand(5, 60), "SPS,5,60");
    EXPECT_EQ(meterio::kmsecsSpeedCommand(0, 0), "SPS,0, 0");
    EXPECT_EQ(meterio::kmsecsSpeedCommand(4, 0), "SPS,4, 0");
    for (auto [mode, value] : {std::pair{5u, 0u}, {5u, 61u}, {3u, 1u}, {6u, 0u}, {0xFFFFFFFFu, 0u}})
        EXPECT_FALSE(meterio::kmsecsSpeedCommand(mode, value)) << mode << ", " << value;
}

// Time moves only when the driver sleeps, starting close to the 32-bit wrap if asked.
class SteppingClock final : public platform::Clock {
public:
    explicit SteppingClock(std::uint32_t start = 1000) : now(start) {}
    std::uint32_t tickMs() override { return now; }
    void sleepMs(std::uint32_t ms) override {
        longestSleep = std::max(longestSleep, ms);
        now += ms;
        slept += ms;
    }
    void beep() override {}

    std::uint32_t now;
    std::uint64_t slept = 0;
    std::uint32_t longestSleep = 0;
};

// A callback that answers -1 on call number `stopAt` (0-based) and counts its calls.
int g_calls = 0;
int g_stopAt = -1;
std::int32_t counting(std::int32_t) {
    return g_calls++ == g_stopAt ? -1 : 0;
}

class KmsecsDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("QEL_MODULE_PATH", QEL_SIM_DIR, 1);
        ASSERT_TRUE(m_sim.load("Kmsecs200.dll"));
        m_sim.resolve("SimKmsecs200_Reset", m_reset);
        m_sim.resolve("SimKmsecs200_SetCount", setCount);
        m_sim.resolve("SimKmsecs200_ForceCode", forceCode);
        m_sim.resolve("SimKmsecs200_SetStatus", setStatus);
        m_sim.resolve("SimKmsecs200_SetReply", m_setReply);
        m_sim.resolve("SimKmsecs200_StillMeasuring", stillMeasuring);
        m_sim.resolve("SimKmsecs200_SetIdentity", setIdentity);
        m_sim.resolve("SimKmsecs200_SetMeasured", setMeasured);
        m_sim.resolve("SimKmsecs200_Commands", m_commands);
        m_sim.resolve("SimKmsecs200_State", m_state);
        ASSERT_NE(m_state, nullptr);
        m_reset();
        g_calls = 0;
        g_stopAt = -1;
        driver = meterio::makeKmsecsDriver(clock);
        ASSERT_EQ(driver->bind(), Result::Ok);
    }
    void TearDown() override { EXPECT_EQ(driver->releaseLibrary(), Result::Ok); }

    Result open(ProgressCallback cb = nullptr) {
        meterio::Progress progress(cb);
        return driver->open(meterio::OpenArgs{}, progress);
    }
    void openOrFail() {
        ASSERT_EQ(open(), Result::Ok);
        forget();
        clock.longestSleep = 0;
    }
    Result scan(ColorantRecord& record, ProgressCallback cb = nullptr) {
        meterio::Progress progress(cb);
        return driver->readValues(meterio::ReadRequest{}, progress, &record);
    }
    // Commands received since the last call.
    std::vector<std::string> sent() {
        std::vector<std::string> all;
        std::istringstream in(m_commands());
        for (std::string line; std::getline(in, line);)
            all.push_back(line);
        std::vector<std::string> fresh(all.begin() + static_cast<std::ptrdiff_t>(m_seen),
                                       all.end());
        m_seen = all.size();
        return fresh;
    }
    void forget() { (void)sent(); }
    void setReply(const char* command, const std::string& reply) {
        m_setReply(command, reply.data(), static_cast<std::uint32_t>(reply.size()));
    }
    bool state(const char* what) { return m_state(what) == 1; }

    SteppingClock clock;
    std::unique_ptr<meterio::Driver> driver;
    SimKmsecs200_SetCountFn setCount = nullptr;
    SimKmsecs200_ForceCodeFn forceCode = nullptr;
    SimKmsecs200_SetStatusFn setStatus = nullptr;
    SimKmsecs200_StillMeasuringFn stillMeasuring = nullptr;
    SimKmsecs200_SetIdentityFn setIdentity = nullptr;
    SimKmsecs200_SetMeasuredFn setMeasured = nullptr;

private:
    platform::Module m_sim;
    SimKmsecs200_ResetFn m_reset = nullptr;
    SimKmsecs200_SetReplyFn m_setReply = nullptr;
    SimKmsecs200_CommandsFn m_commands = nullptr;
    SimKmsecs200_StateFn m_state = nullptr;
    std::size_t m_seen = 0;
};

using Commands = std::vector<std::string>;

}  // namespace

TEST_F(KmsecsDriverTest, OpenEntersRemoteModeAndAppliesTheStartUpSettings) {
    ASSERT_EQ(open(), Result::Ok);
    EXPECT_EQ(sent(), (Commands{"RMT,1", "BLS,0", "FSS,0", "LNS,0", "SCS,0,    0", "CSS,3", "OBS,0",
                                "SPS,1, 0"}));
    EXPECT_GE(clock.slept, 500u);
    EXPECT_TRUE(state("open"));
    EXPECT_TRUE(state("remote"));
    EXPECT_EQ(driver->close(), Result::Ok);
    EXPECT_EQ(sent(), Commands{"RMT,0"});
    EXPECT_FALSE(state("open"));
    EXPECT_FALSE(state("remote"));
}

TEST_F(KmsecsDriverTest, OpenNeedsExactlyOneInstrument) {
    setCount(0);
    EXPECT_EQ(open(), Result::NoInstrument);
    setCount(2);
    EXPECT_EQ(open(), Result::CommunicationError);
    setCount(1);
    forceCode("int_usb", -2);
    EXPECT_EQ(open(), Result::NoInstrument);
    EXPECT_TRUE(sent().empty());
}

TEST_F(KmsecsDriverTest, FailedOrCancelledStartUpLeavesTheInstrumentClosedAndLocal) {
    setStatus("LNS,0", "ER07");
    EXPECT_EQ(open(), Result::GeneralFailure);
    EXPECT_EQ(sent(), (Commands{"RMT,1", "BLS,0", "FSS,0", "LNS,0", "RMT,0"}));
    EXPECT_FALSE(state("open"));
    EXPECT_FALSE(state("remote"));

    setStatus("LNS,0", "OK00");
    g_stopAt = 5;  // during the start-up settings
    EXPECT_EQ(open(&counting), Result::Cancelled);
    EXPECT_EQ(sent().back(), "RMT,0");
    EXPECT_FALSE(state("open"));
    EXPECT_FALSE(state("remote"));
}

TEST_F(KmsecsDriverTest, LeavingRemoteModeStopsARunningMeasurementFirst) {
    openOrFail();
    forceCode("end_usb", -4);
    stillMeasuring(0xFFFFFFFFu);
    ColorantRecord record{};
    g_stopAt = 10;
    EXPECT_EQ(scan(record, &counting), Result::Cancelled);
    EXPECT_EQ(sent().back(), "MES,0");
    // A measurement that timed out is still running when remote mode is left.
    meterio::Progress keepGoing([](std::int32_t) { return 5; });
    EXPECT_EQ(driver->readValues(meterio::ReadRequest{}, keepGoing, &record), Result::NotCompleted);
    forget();
    EXPECT_EQ(driver->close(), Result::CommunicationError);  // end_usb's answer
    EXPECT_EQ(sent(), (Commands{"RMT,0", "MES,0", "RMT,0"}));
}

TEST_F(KmsecsDriverTest, DataReadsAreRetriedWhileTheInstrumentIsStillMeasuring) {
    openOrFail();
    stillMeasuring(3);
    setMeasured(9505.0, 10000.0, 10890.0);
    ColorantRecord record{{0, 0, 0, -7.0}};
    EXPECT_EQ(scan(record), Result::Ok);
    EXPECT_EQ(sent(), (Commands{"MES,1", "MDR,3", "MDR,3", "MDR,3", "MDR,3"}));
    EXPECT_DOUBLE_EQ(record.values[0], 95.05);
    EXPECT_DOUBLE_EQ(record.values[1], 100.0);
    EXPECT_DOUBLE_EQ(record.values[2], 108.9);
    EXPECT_EQ(record.values[3], -7.0);
    EXPECT_EQ(clock.slept - 500, 3000u);  // one second per retry
    EXPECT_LE(clock.longestSleep, 20u);   // in short slices with the callback between them
}

TEST_F(KmsecsDriverTest, StillMeasuringForNinetySecondsIsNotCompletedAlsoAcrossTheTickWrap) {
    for (std::uint32_t start : {1000u, 0xFFFF0000u}) {
        openOrFail();
        clock.now = start;
        stillMeasuring(0xFFFFFFFFu);
        ColorantRecord record{};
        EXPECT_EQ(scan(record), Result::NotCompleted) << start;
        const std::uint32_t elapsed = clock.now - start;
        EXPECT_GE(elapsed, meterio::kKmsecsMeasureTimeoutMs) << start;
        EXPECT_LE(elapsed, meterio::kKmsecsMeasureTimeoutMs + meterio::kKmsecsRetryMs) << start;
        stillMeasuring(0);
        EXPECT_EQ(driver->close(), Result::Ok);
    }
}

TEST_F(KmsecsDriverTest, OnlyMinusOneCancelsAMeasurement) {
    openOrFail();
    stillMeasuring(2);
    ColorantRecord record{};
    meterio::Progress keepGoing([](std::int32_t) { return 1; });
    EXPECT_EQ(driver->readValues(meterio::ReadRequest{}, keepGoing, &record), Result::Ok);
    forget();
    g_stopAt = 0;  // before anything is sent
    EXPECT_EQ(scan(record, &counting), Result::Cancelled);
    EXPECT_TRUE(sent().empty());
    g_calls = 0;
    g_stopAt = 1;  // right after the measurement was started
    EXPECT_EQ(scan(record, &counting), Result::Cancelled);
    EXPECT_EQ(sent(), (Commands{"MES,1", "MES,0"}));
}

TEST_F(KmsecsDriverTest, MalformedDataIsACommunicationError) {
    openOrFail();
    const std::string prefix = "OK00,3,0000000000000000001,";
    for (const std::string tail : {"1,2", "1,2,", "1,nan,3", "inf,1,2", "1e999,1,2", "a,b,c", ""}) {
        setReply("MDR,3", prefix + tail);
        ColorantRecord record{};
        EXPECT_EQ(scan(record), Result::CommunicationError) << tail;
    }
    setReply("MDR,3", prefix + "-1.5, 2e1,3");
    ColorantRecord record{};
    EXPECT_EQ(scan(record), Result::Ok);
    EXPECT_DOUBLE_EQ(record.values[0], -0.015);
    EXPECT_DOUBLE_EQ(record.values[2], 0.03);
}

TEST_F(KmsecsDriverTest, LuvIsReadWithItsOwnDataCommandAndUnscaled) {
    openOrFail();
    EXPECT_EQ(driver->setParams(MeasureParams{4, 6, 10, METERIO_CS_LUV}), Result::Ok);
    EXPECT_EQ(sent(), (Commands{"OBS,1", "CSS,1"}));
    MeasureParams back{};
    EXPECT_EQ(driver->getParams(back), Result::Ok);
    EXPECT_EQ(sent(), (Commands{"OBR", "CSR"}));
    EXPECT_EQ(back.densityStandard, 4u);
    EXPECT_EQ(back.illumination, 6u);
    EXPECT_EQ(back.observer, 10u);
    EXPECT_EQ(back.colorSpace, METERIO_CS_LUV);
    setMeasured(55.5, -12.25, 30.0);
    ColorantRecord record{};
    EXPECT_EQ(scan(record), Result::Ok);
    EXPECT_EQ(sent(), (Commands{"MES,1", "MDR,1"}));
    EXPECT_DOUBLE_EQ(record.values[0], 55.5);
    EXPECT_DOUBLE_EQ(record.values[1], -12.25);
}

TEST_F(KmsecsDriverTest, RefusedParametersSendNothing) {
    openOrFail();
    const struct {
        MeasureParams params;
        Result result;
    } rows[] = {
        {{1, 6, 2, METERIO_CS_XYZ}, Result::BadDensityStandard},
        {{4, 4, 2, METERIO_CS_XYZ}, Result::BadIllumination},
        {{4, 6, 5, METERIO_CS_XYZ}, Result::BadObserver},
        {{4, 6, 2, METERIO_CS_LAB}, Result::BadColorSpace},
    };
    for (const auto& row : rows)
        EXPECT_EQ(driver->setParams(row.params), row.result);
    EXPECT_TRUE(sent().empty());
    // A space the instrument refuses keeps the data command of the last accepted one.
    setStatus("CSS,1", "ER20");
    EXPECT_EQ(driver->setParams(MeasureParams{4, 6, 2, METERIO_CS_LUV}), Result::GeneralFailure);
    ColorantRecord record{};
    EXPECT_EQ(scan(record), Result::Ok);
    EXPECT_EQ(sent().back(), "MDR,3");
}

TEST_F(KmsecsDriverTest, ReadBackParametersAreChecked) {
    openOrFail();
    const struct {
        const char* command;
        const char* reply;
        Result result;
    } rows[] = {
        {"OBR", "OK00,7", Result::GeneralFailure}, {"OBR", "OK00", Result::CommunicationError},
        {"OBR", "ER10", Result::NotCompleted},     {"CSR", "OK00,2", Result::BadColorSpace},
        {"CSR", "OK00,9", Result::GeneralFailure}, {"CSR", "OK00,x", Result::CommunicationError},
    };
    for (const auto& row : rows) {
        setReply("OBR", "OK00,0");
        setReply(row.command, row.reply);
        MeasureParams params{};
        EXPECT_EQ(driver->getParams(params), row.result) << row.command << ' ' << row.reply;
    }
}

TEST_F(KmsecsDriverTest, IdentityFillsItsWordsAndKeepsTheOthers) {
    openOrFail();
    setIdentity("1892-100", 7, 65535);
    DeviceInfo info;
    std::memset(&info, 0xAB, sizeof info);
    EXPECT_EQ(driver->getInfo(info), Result::Ok);
    UsbInstrumentInfo view;
    std::memcpy(&view, info.bytes, sizeof view);
    EXPECT_EQ(std::string(view.model, 8), "1892-100");
    for (std::uint32_t word : view.kept)
        EXPECT_EQ(word, 0xABABABABu);
    EXPECT_EQ(view.firstNumber, 7u);
    EXPECT_EQ(view.secondNumber, 65535u);
    EXPECT_EQ(info.bytes[sizeof view], 0xAB);

    setIdentity("1892-200", 7, 1);
    EXPECT_EQ(driver->getInfo(info), Result::CommunicationError);
    setReply("IDR", "OK00,1892-100,");
    EXPECT_EQ(driver->getInfo(info), Result::CommunicationError);
}

TEST_F(KmsecsDriverTest, SpeedSettingBothWays) {
    openOrFail();
    for (SpeedSettingRecord refused : {SpeedSettingRecord{5, 0}, {5, 61}, {3, 1}})
        EXPECT_EQ(driver->setParamsEx(&refused), Result::OutOfRange);
    EXPECT_TRUE(sent().empty());
    SpeedSettingRecord speed{5, 7};
    EXPECT_EQ(driver->setParamsEx(&speed), Result::Ok);
    EXPECT_EQ(sent(), Commands{"SPS,5, 7"});
    SpeedSettingRecord back{};
    EXPECT_EQ(driver->getParamsEx(&back), Result::Ok);
    EXPECT_EQ(back.mode, 5u);
    EXPECT_EQ(back.value, 7u);
    setReply("SPR", "OK00,3, 1");
    EXPECT_EQ(driver->getParamsEx(&back), Result::GeneralFailure);
    setReply("SPR", "OK00,5");
    EXPECT_EQ(driver->getParamsEx(&back), Result::CommunicationError);
    EXPECT_EQ(back.mode, 5u);
}

TEST_F(KmsecsDriverTest, RepliesStayWithinTheBuffer) {
    openOrFail();
    // A full-length reply without terminator, and one that claims more than was asked for.
    std::string full = "OK00,1892-100,123,45";
    full.resize(meterio::kKmsecsReplyCapacity + 20, ' ');
    setReply("IDR", full);
    DeviceInfo info{};
    EXPECT_EQ(driver->getInfo(info), Result::Ok);
    setReply("IDR", std::string(meterio::kKmsecsReplyCapacity, '7'));
    EXPECT_EQ(driver->getInfo(info), Result::GeneralFailure);
    forceCode("read64_usb", 100000);
    EXPECT_EQ(driver->getInfo(info), Result::GeneralFailure);
    forceCode("read64_usb", -2);
    EXPECT_EQ(driver->getInfo(info), Result::CommunicationError);
    forceCode("write64_usb", -1);
    EXPECT_EQ(driver->getInfo(info), Result::OutOfRange);
}

TEST(KmsecsBinding, MissingLibraryOrEntryPoint) {
    ::setenv("QEL_MODULE_PATH", "/nonexistent", 1);
    EXPECT_EQ(meterio::makeKmsecsDriver()->bind(), Result::LibraryNotLoaded);
    ::setenv("QEL_MODULE_PATH", QEL_SIM_INCOMPLETE_DIR, 1);
    EXPECT_EQ(meterio::makeKmsecsDriver()->bind(), Result::EntryPointMissing);
}
