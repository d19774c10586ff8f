// The serial display spectrometer: reply checks, parsers and every operation's commands on a
// scripted line, with a clock that steps through the waits.
#include "meterio/drivers/display_spectrometer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/stand_in_port.h"

namespace meterio {
namespace {

namespace sp = spectrometer;

TEST(SpectrometerReplies, ChecksAndErrorNumbers) {
    struct Row {
        std::string_view reply;
        bool anyReply;
        Result expected;
    };
    const Row rows[] = {
        {"OK\n", false, Result::Ok},
        {"NG\n", false, Result::CommunicationError},
        {"", false, Result::CommunicationError},
        {"ER12\nOK\n", false, Result::CommunicationError},  // must begin with OK
        {"ER12\nOK\n", true, Result::NoInstrument},
        {"ER10\nOK\n", true, Result::NotCompleted},
        {"ER02\nOK\n", true, Result::NotCompleted},
        {"ER03\nOK\n", true, Result::CommunicationError},
        {"ER99\nOK\n", true, Result::GeneralFailure},
        {"ERx\n", true, Result::CommunicationError},
        {"OKER", false, Result::CommunicationError},  // no number after the second character
        {"1,2,3\nOK\n", true, Result::Ok},
    };
    for (const Row& row : rows)
        EXPECT_EQ(sp::checkReply(row.reply, row.anyReply), row.expected) << row.reply;
}

TEST(SpectrometerReplies, CommandsAndParsers) {
    EXPECT_EQ(sp::integrationCommand(0), "MMS,0");
    EXPECT_EQ(sp::integrationCommand(3, 1.5), "MMS,3,1.500");
    EXPECT_EQ(sp::dataRequest(true, 1), "BDR,1,1,0");
    EXPECT_EQ(sp::dataRequest(false, 0), "BDR,0,0,0");
    EXPECT_EQ(sp::learnedTime("OK,2.345\n"), 2.345);
    EXPECT_EQ(sp::learnedTime("OK 12.3456789"), 12.345);  // six characters at most
    EXPECT_FALSE(sp::learnedTime("OK,\n"));
    EXPECT_FALSE(sp::learnedTime(""));
    const std::string state = "OK,0,00.000,0000,00000,1,0";
    EXPECT_EQ(sp::stateObserverIndex(state), 1u);
    EXPECT_EQ(sp::stateFlag(state), 0u);
    EXPECT_FALSE(sp::stateFlag("OK,0,00.000,0000,00000,1,7"));
    EXPECT_FALSE(sp::stateObserverIndex("OK,0,00.000"));
    EXPECT_FALSE(sp::stateObserverIndex("OK,0,00.000,0000,00000,x,0"));
    std::array<double, 3> n{};
    EXPECT_TRUE(sp::readNumbers("\t1,2.5 ,-3\nOK\n", n));
    EXPECT_EQ(n[2], -3);
    EXPECT_FALSE(sp::readNumbers("1,2\nOK\n", n));
}

std::string stateReply(char mode = '0', char observer = '0', char flag = '0') {
    std::string s = "OK,0,00.000,0000,00000,0,0\n";
    s[3] = mode;
    s[23] = observer;
    s[25] = flag;
    return s;
}

std::string colourBlock() {
    return "0,45.6,9505,10000,10890,0.3127,0.3290,0.1978,0.4683\nOK\n";
}

class SpectrometerDriver : public ::testing::Test {
protected:
    SpectrometerDriver() {
        m_args.portName = "COM9";
        m_args.baudRate = 19200;
    }
    void answer(std::initializer_list<std::string_view> replies) { m_line.answer(replies); }
    void open() {
        answer({"OK\n"});
        m_line.script.answerWrite(stateReply());
        Progress progress(nullptr);
        m_mark = m_line.script.written().size();
        ASSERT_EQ(m_driver->open(m_args, progress), Result::Ok);
        EXPECT_EQ(written(), "RMT,1\nSTR\n");
    }
    std::string written() {
        std::string out = m_line.script.written().substr(m_mark);
        m_mark = m_line.script.written().size();
        return out;
    }
    Result measureColour(ColorantRecord& record, ProgressCallback cb = nullptr) {
        Progress progress(cb);
        return m_driver->readValues({}, progress, &record);
    }
    Result integration(double seconds, std::uint32_t mode) {
        IntegrationRecord record{seconds, mode};
        return m_driver->setParamsEx(&record);
    }

    testsupport::StepClock m_clock;
    testsupport::StandInLine m_line;
    std::unique_ptr<Driver> m_driver = makeDisplaySpectrometerDriver(m_clock, m_line.opener());
    OpenArgs m_args;
    std::size_t m_mark = 0;
};

TEST_F(SpectrometerDriver, ProbesItsThreeRatesInOrder) {
    m_args.baudRate = 0;
    Progress progress(nullptr);
    EXPECT_EQ(m_driver->open(m_args, progress), Result::NoInstrument);
    EXPECT_EQ(m_line.probes(), (std::vector<std::string>{"open COM9", "rate 19200", "open COM9",
                                                         "rate 4800", "open COM9", "rate 9600"}));
    // Each failed probe left remote mode and closed its port.
    EXPECT_EQ(m_line.script.written(), "RMT,1\nRMT,0\nRMT,1\nRMT,0\nRMT,1\nRMT,0\n");
    EXPECT_EQ(m_line.openPorts, 0);
}

TEST_F(SpectrometerDriver, OpenChecksTheInstrumentsState) {
    answer({"OK\n"});
    m_line.script.answerWrite(stateReply('0', '0', '7'));
    Progress progress(nullptr);
    EXPECT_EQ(m_driver->open(m_args, progress), Result::GeneralFailure);
    EXPECT_EQ(m_line.script.written(), "RMT,1\nSTR\nRMT,0\n");
    EXPECT_EQ(m_line.openPorts, 0);

    m_mark = m_line.script.written().size();
    answer({"OK\n"});
    m_line.script.answerWrite(stateReply('3'));
    answer({"OK\n"});
    EXPECT_EQ(m_driver->open(m_args, progress), Result::Ok);
    EXPECT_EQ(written(), "RMT,1\nSTR\nMMS,0\n");
    EXPECT_EQ(m_line.openPorts, 1);

    const std::string longName(32, 'C');
    m_args.portName = longName;
    EXPECT_EQ(m_driver->open(m_args, progress), Result::GeneralFailure);
    EXPECT_EQ(written(), "");
}

TEST_F(SpectrometerDriver, IntegrationModesShapeTheMeasurementStep) {
    open();
    struct Case {
        double seconds;
        std::uint32_t mode;
        std::vector<std::string_view> replies;  // up to the measurement's two lines
        std::string_view commands;
    };
    const Case cases[] = {
        {0.04, 0, {"OK\n"}, "MMS,0\n"},
        {1.5, 3, {"OK\n", "OK\n"}, "MMS,0\nMMS,3,1.500\n"},
        {1.5, 4, {"OK\n", "OK,2.250\n", "OK\n", "OK\n"}, "MMS,0\nMES,1\nMES,0\nMMS,3,1.500\n"},
        {2.5, 4, {"OK\n", "OK,2.250\n", "OK\n"}, "MMS,0\nMES,1\nMES,0\n"},
        // The learning measurement ends before the stop: its line is not taken for a later
        // command's reply.
        {2.5, 4, {"OK\n", "OK,2.250\nOK\n", "OK\n"}, "MMS,0\nMES,1\nMES,0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commands);
        ASSERT_EQ(integration(c.seconds, c.mode), Result::Ok);
        for (const auto reply : c.replies)
            m_line.script.answerWrite(reply);
        answer({"OK,1.000\nOK\n", "OK\n"});
        m_line.script.answerWrite(colourBlock());
        ColorantRecord record{};
        EXPECT_EQ(measureColour(record), Result::Ok);
        EXPECT_EQ(written(), std::string(c.commands) + "MES,1\nBDR,1,0,0\n&\n");
        EXPECT_NEAR(record.values[1], 100.0, 1e-9);
    }
}

// Answers -1 on the serial reply waits from call `g_stopAt` on.
int g_calls = 0;
int g_stopAt = 0;
std::int32_t stopWaiting(std::int32_t value) {
    if (value != kSerialReplyWait) return 0;
    return g_calls++ >= g_stopAt ? -1 : 0;
}

TEST_F(SpectrometerDriver, CallerStopsAMeasurementThatNeverEnds) {
    open();
    answer({"OK\n", ""});  // MMS,0; MES,1 never answered
    answer({"OK\n"});      // MES,0
    g_calls = 0;
    g_stopAt = 50;
    ColorantRecord record{};
    EXPECT_EQ(measureColour(record, &stopWaiting), Result::Cancelled);
    EXPECT_EQ(written(), "MMS,0\nMES,1\nMES,0\n");

    // The measurement's late reply is dropped before the next command.
    m_line.script.feed("OK,1.000\nOK\n");
    answer({"OK\n", "OK,1.000\nOK\n", "OK\n"});
    m_line.script.answerWrite(colourBlock());
    EXPECT_EQ(measureColour(record), Result::Ok);
    EXPECT_NEAR(record.values[1], 100.0, 1e-9);
}

TEST_F(SpectrometerDriver, ColourSpacesPickTheirNumbers) {
    open();
    struct Case {
        std::uint32_t colorSpace;
        std::array<double, 3> expected;
    };
    const Case cases[] = {
        {METERIO_CS_YXY, {100.0, 0.3127, 0.3290}},
        {METERIO_CS_LUV, {45.6, 0.1978, 0.4683}},
        {METERIO_CS_XYZ, {95.05, 100.0, 108.9}},
    };
    for (const Case& c : cases) {
        m_line.script.answerWrite(stateReply());
        ASSERT_EQ(m_driver->setParams({4, 6, 2, c.colorSpace}), Result::Ok);
        answer({"OK\n", "OK,1.000\nOK\n", "OK\n"});
        m_line.script.answerWrite(colourBlock());
        ColorantRecord record{};
        EXPECT_EQ(measureColour(record), Result::Ok);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(record.values[i], c.expected[i], 1e-9) << c.colorSpace;
    }
    answer({"OK\n", "OK,1.000\nOK\n", "OK\n", "ER12\nOK\n"});
    ColorantRecord record{};
    EXPECT_EQ(measureColour(record), Result::NoInstrument);
}

TEST_F(SpectrometerDriver, SpectrumIsFifteenBlocksIn401Steps) {
    open();
    const auto blocks = [](std::size_t shortBlock) {
        std::vector<std::string> out;
        int next = 0;
        for (std::size_t b = 0; b < sp::kBlocks; ++b) {
            std::string text = b + 1 == sp::kBlocks ? "\t" : "";
            const std::size_t count = b + 1 == sp::kBlocks ? 9 : 28;
            for (std::size_t i = 0; i < count - (b == shortBlock ? 1 : 0); ++i)
                text += std::to_string(next++) + ",";
            out.push_back(text + "\nOK\n");
        }
        return out;
    };
    for (const std::size_t shortBlock : {std::size_t{99}, std::size_t{3}}) {
        answer({"OK\n", "OK,1.000\nOK\n", "OK\n"});
        for (const auto& block : blocks(shortBlock))
            m_line.script.answerWrite(block);
        SpectrumRecord spectrum{};
        Progress progress(nullptr);
        const Result r = m_driver->readSpectra({}, progress, &spectrum);
        if (shortBlock == 3) {
            EXPECT_EQ(r, Result::CommunicationError);
            continue;
        }
        ASSERT_EQ(r, Result::Ok);
        EXPECT_EQ(spectrum.start, 380u);
        EXPECT_EQ(spectrum.interval, 1u);
        EXPECT_EQ(spectrum.count, 401u);
        for (std::size_t i = 0; i < 401; ++i)
            ASSERT_EQ(spectrum.values[i], static_cast<double>(i));
        EXPECT_EQ(
            written(), "MMS,0\nMES,1\nBDR,0,0,0\n" + [] {
                std::string s;
                for (int i = 0; i < 15; ++i)
                    s += "&\n";
                return s;
            }());
    }
}

TEST_F(SpectrometerDriver, IntegrationRecordIsCheckedAndKept) {
    for (const auto& [seconds, mode] : {std::pair{0.03, 0u},
                                        {60.5, 3u},
                                        {1.0, 1u},
                                        {std::numeric_limits<double>::quiet_NaN(), 3u}})
        EXPECT_EQ(integration(seconds, mode), Result::OutOfRange);
    IntegrationRecord kept{};
    EXPECT_EQ(m_driver->getParamsEx(&kept), Result::Ok);
    EXPECT_EQ(kept.timeSeconds, 0.0);
    EXPECT_EQ(kept.mode, 0u);
    for (const auto& [seconds, mode] : {std::pair{0.04, 3u}, {60.0, 4u}}) {
        EXPECT_EQ(integration(seconds, mode), Result::Ok);
        EXPECT_EQ(m_driver->getParamsEx(&kept), Result::Ok);
        EXPECT_EQ(kept.timeSeconds, seconds);
        EXPECT_EQ(kept.mode, mode);
    }
}

TEST_F(SpectrometerDriver, ParametersStoreTheObserverWhateverTheStateSays) {
    open();
    m_line.script.answerWrite(stateReply('0', '1'));
    EXPECT_EQ(m_driver->setParams({4, 6, 10, METERIO_CS_XYZ}), Result::Ok);
    answer({"OK\n", "OK,1.000\nOK\n", "OK\n"});
    m_line.script.answerWrite(colourBlock());
    ColorantRecord record{};
    EXPECT_EQ(measureColour(record), Result::Ok);
    EXPECT_EQ(written(), "STR\nMMS,0\nMES,1\nBDR,1,1,0\n&\n");

    struct Case {
        MeasureParams params;
        std::string state;
        Result expected;
    };
    const Case cases[] = {
        {{4, 6, 3, METERIO_CS_XYZ}, "", Result::BadObserver},
        {{5, 6, 2, METERIO_CS_XYZ}, stateReply(), Result::BadDensityStandard},
        {{4, 5, 2, METERIO_CS_XYZ}, stateReply(), Result::BadIllumination},
        {{4, 6, 2, METERIO_CS_LAB}, stateReply(), Result::BadColorSpace},
        {{4, 6, 2, METERIO_CS_XYZ}, "OK,0,00.000\n", Result::CommunicationError},
    };
    for (const Case& c : cases) {
        if (!c.state.empty()) m_line.script.answerWrite(c.state);
        EXPECT_EQ(m_driver->setParams(c.params), c.expected) << c.state;
    }
    // None of the refused ones changed the stored observer or colour space.
    m_line.script.answerWrite(stateReply('0', '1'));
    MeasureParams params{};
    EXPECT_EQ(m_driver->getParams(params), Result::Ok);
    EXPECT_EQ(params.observer, 10u);
    EXPECT_EQ(params.colorSpace, METERIO_CS_XYZ);
    m_line.script.answerWrite("OK,0,00.000\n");
    EXPECT_EQ(m_driver->getParams(params), Result::GeneralFailure);
}

TEST_F(SpectrometerDriver, CloseLeavesRemoteModeAndClosesThePortEvenWhenWritesFail) {
    open();
    EXPECT_EQ(m_driver->close(), Result::Ok);
    EXPECT_EQ(written(), "RMT,0\n");
    EXPECT_EQ(m_line.openPorts, 0);

    open();
    m_line.script.failWrites(true);
    EXPECT_EQ(m_driver->close(), Result::CommunicationError);
    EXPECT_EQ(m_line.openPorts, 0);
    EXPECT_EQ(m_line.log.back(), "close");
}

}  // namespace
}  // namespace meterio
