// The serial display colorimeter: reply checks, parsers and every operation's commands on a
// scripted line, with a clock that steps through the waits.
#include "meterio/drivers/display_colorimeter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "sim/serial/pty_simulator.h"
#include "tests/support/stand_in_port.h"

namespace meterio {
namespace {

namespace cm = colorimeter;

constexpr std::uint32_t F = METERIO_GENERAL_FAILURE;
constexpr std::uint32_t kOk = 0;
constexpr std::uint32_t k5 = METERIO_NO_INSTRUMENT;
constexpr std::uint32_t k6 = METERIO_COMMUNICATION_ERROR;
constexpr std::uint32_t k7 = METERIO_NOT_COMPLETED;
constexpr std::uint32_t k8 = METERIO_DEVICE_ERROR;
constexpr std::uint32_t k9 = METERIO_MEASUREMENT_ERROR;

std::uint32_t check(std::vector<std::string_view> lines, std::string_view command) {
    return toCode(cm::checkReply(lines, command));
}

TEST(ColorimeterReplies, ErrorLinesMapByTheCommandsTable) {
    struct Row {
        std::string_view line;
        std::uint32_t afterReading, afterPreparation, afterOther;
    };
    const Row rows[] = {
        {"E10", k7, kOk, k7},       {"E12", k7, k7, k7},      {"E21", k9, k9, k9},
        {"P1 E22", k7, k7, k7},     {"P1 E23", k9, kOk, kOk}, {"P1 E24", kOk, kOk, kOk},
        {"E25", k8, k8, k8},        {"P1 E28", k6, k6, k6},   {"E30", k9, k9, k9},
        {"P1 E29", k9, kOk, kOk},   {"E99", F, F, F},         {"P1 E3", F, F, F},
        {"E105 more", k7, kOk, k7},  // compared on three characters
    };
    for (const Row& row : rows) {
        // A line that maps to 0 leaves the last-line rule to judge: error lines end well.
        EXPECT_EQ(check({row.line}, "H1"), row.afterReading) << row.line;
        EXPECT_EQ(check({row.line}, "F1&Z"), row.afterPreparation) << row.line;
        EXPECT_EQ(check({row.line}, "H1&Z"), row.afterPreparation) << row.line;
        EXPECT_EQ(check({row.line}, "S3&Z"), row.afterOther) << row.line;
    }
    // The first failing line wins, whatever follows.
    EXPECT_EQ(check({"P1 E24", "E25", "E21"}, "H0"), k8);
    // The last line decides when no error line fails.
    EXPECT_EQ(check({"P1 E24", "P1 OK"}, "S3&Z"), kOk);
    EXPECT_EQ(check({"P1 OK", "hello"}, "S3&Z"), k5);
    EXPECT_EQ(check({}, "F1&Z"), k5);
}

TEST(ColorimeterReplies, StatusReadNeedsAModeLine) {
    EXPECT_EQ(check({"MODE:1 a b c d e f g h i"}, "Z"), kOk);
    EXPECT_EQ(check({"P1 OK", "MODE:1", "junk"}, "Z"), kOk);
    EXPECT_EQ(check({"P1 OK"}, "Z"), k6);
    EXPECT_EQ(check({"P1 E24"}, "Z"), k6);
    EXPECT_EQ(check({"junk"}, "Z"), k5);
    EXPECT_EQ(check({"E25", "MODE:1"}, "Z"), k8);
}

TEST(ColorimeterReplies, LinesEndAtCarriageReturnsAndSkipALeadingLineFeed) {
    const auto lines = cm::splitLines("P1 OK\r\nE10\r\r\n\rMODE:1\r");
    ASSERT_EQ(lines.count, 3u);
    EXPECT_EQ(lines.lines[1], "E10");
    EXPECT_EQ(lines.lines[2], "MODE:1");
}

TEST(ColorimeterReplies, ReadingLineHasAShortWordAndExactlyThreeNumbers) {
    const auto numbers = cm::parseReading("P1 313,329,12000");
    ASSERT_TRUE(numbers);
    EXPECT_EQ((*numbers)[0], 313.0f);
    EXPECT_EQ((*numbers)[2], 12000.0f);
    EXPECT_TRUE(cm::parseReading("P1 -1.5;2e1;3"));
    for (const char* bad : {"P1 313,329,12000 X", "P1 313,329", "P1 313,329,", "PPPP 1,2,3",
                            "P1 1,,3", "P1", "1,2,3", ""})
        EXPECT_FALSE(cm::parseReading(bad)) << bad;
}

TEST(ColorimeterReplies, StatusLineNeedsTenShortWords) {
    DisplayColorimeterInfo info{};
    EXPECT_EQ(cm::splitStatus("MODE:1 b c d e f g h i j k", info), Result::Ok);
    EXPECT_STREQ(info.words[0], "MODE:1");
    EXPECT_STREQ(info.words[9], "j");
    EXPECT_EQ(cm::splitStatus("MODE:1 b c d e f g h i", info), Result::DeviceError);
    const std::string longWord(32, 'w');
    EXPECT_EQ(cm::splitStatus("MODE:1 " + longWord + " c d e f g h i j", info),
              Result::DeviceError);
}

// The instrument's replies, one per command in order ("" = silence).
constexpr std::string_view kOkLine = "P1 OK\r";
const std::vector<std::string_view> kPreparation = {kOkLine, kOkLine, kOkLine, kOkLine};
constexpr std::string_view kPreparationCommands = "F1&Z\rH1&Z\rS3&Z\rM0&Z\r";

class ColorimeterDriver : public ::testing::Test {
protected:
    ColorimeterDriver() {
        m_args.portName = "COM7";
        m_args.baudRate = 9600;
    }

    void answer(std::initializer_list<std::string_view> replies) { m_line.answer(replies); }
    void answer(const std::vector<std::string_view>& replies) { m_line.answer(replies); }

    // Opens on the stand-in and forgets what the open wrote.
    void open() {
        answer({kOkLine, kOkLine, kOkLine, kOkLine});  // F1&H1&Z, F1&Z, S3&Z, M0&Z; F0 silent
        answer({""});
        Progress progress(nullptr);
        m_mark = m_line.script.written().size();
        ASSERT_EQ(m_driver->open(m_args, progress), Result::Ok);
        EXPECT_EQ(writtenSinceOpen(), "F1&H1&Z\rF1&Z\rS3&Z\rM0&Z\rF0\r");
        m_mark = m_line.script.written().size();
        m_line.log.clear();
    }
    std::string writtenSinceOpen() const { return m_line.script.written().substr(m_mark); }

    testsupport::StepClock m_clock;
    testsupport::StandInLine m_line;
    std::unique_ptr<Driver> m_driver = makeDisplayColorimeterDriver(m_clock, m_line.opener());
    OpenArgs m_args;
    std::size_t m_mark = 0;
};

TEST_F(ColorimeterDriver, MeasurementScalesTheReadingAndClosesThePort) {
    open();
    answer(kPreparation);
    answer({kOkLine, "P1 313,329,12000\r", ""});
    ColorantRecord record{{0, 0, 0, 42}};
    Progress progress(nullptr);
    EXPECT_EQ(m_driver->readValues({}, progress, &record), Result::Ok);
    EXPECT_EQ(writtenSinceOpen(), std::string(kPreparationCommands) + "H0\rH1\rF0\r");
    EXPECT_NEAR(record.values[0], 120.0, 1e-9);
    EXPECT_NEAR(record.values[1], 0.313, 1e-6);
    EXPECT_NEAR(record.values[2], 0.329, 1e-6);
    EXPECT_EQ(record.values[3], 42);
    EXPECT_EQ(m_line.log.front(), "open COM7");
    EXPECT_EQ(m_line.log.back(), "close");
    EXPECT_EQ(m_line.openPorts, 0);
}

TEST_F(ColorimeterDriver, FailuresCloseThePortWithTheirCode) {
    open();
    struct Case {
        const char* what;
        std::vector<std::string_view> replies;  // after the preparation
        Result expected;
        std::string_view lastCommands;
    };
    const Case cases[] = {
        {"fourth word", {kOkLine, "P1 313,329,12000 X\r"}, Result::NotCompleted, "H0\rH1\r"},
        {"missing number", {kOkLine, "P1 313,329\r"}, Result::NotCompleted, "H0\rH1\r"},
        {"error after H1", {kOkLine, "P1 E23\r"}, Result::MeasurementError, "H0\rH1\r"},
        {"silent H0", {""}, Result::NoInstrument, "H0\r"},
        {"half a line", {kOkLine, "P1 313,3"}, Result::CommunicationError, "H0\rH1\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_line.log.clear();
        answer(kPreparation);
        answer(c.replies);
        const std::size_t before = m_line.script.written().size();
        ColorantRecord record{};
        Progress progress(nullptr);
        EXPECT_EQ(m_driver->readValues({}, progress, &record), c.expected);
        EXPECT_EQ(m_line.script.written().substr(before),
                  std::string(kPreparationCommands) + std::string(c.lastCommands));
        EXPECT_EQ(m_line.log.back(), "close");
        EXPECT_EQ(m_line.openPorts, 0);
    }
}

TEST_F(ColorimeterDriver, E10AfterSecondPreparationStepSendsFirstStepAgain) {
    open();
    answer({kOkLine, "E10\r", kOkLine, kOkLine, kOkLine});
    answer({kOkLine, "P1 1,2,3\r", ""});
    ColorantRecord record{};
    Progress progress(nullptr);
    EXPECT_EQ(m_driver->readValues({}, progress, &record), Result::Ok);
    EXPECT_EQ(writtenSinceOpen(), "F1&Z\rH1&Z\rF1&Z\rS3&Z\rM0&Z\rH0\rH1\rF0\r");
}

TEST_F(ColorimeterDriver, OperationsSendTheirCommandsInOrder) {
    open();
    struct Case {
        const char* what;
        std::function<Result(Driver&)> run;
        std::vector<std::string_view> replies;
        Result expected;
        std::string_view commands;
    };
    const auto getInfo = [](Driver& d) {
        DeviceInfo info;
        return d.getInfo(info);
    };
    const Case cases[] = {
        {"black calibration",
         [](Driver& d) {
             Progress p(nullptr);
             return d.calibrateBlack(p);
         },
         {kOkLine, kOkLine, ""},
         Result::Ok,
         "I\rH1&Z\rF0\r"},
        {"parameters",
         [](Driver& d) {
             return d.setParams({4, 6, 2, METERIO_CS_YXY});
         },
         {kOkLine, ""},
         Result::Ok,
         "M0&Z\rF0\r"},
        {"XYZ refused after the preparation",
         [](Driver& d) {
             return d.setParams({4, 6, 2, METERIO_CS_XYZ});
         },
         {},
         Result::BadColorSpace,
         ""},
        {"observer 10 refused",
         [](Driver& d) {
             return d.setParams({4, 6, 10, METERIO_CS_YXY});
         },
         {},
         Result::BadObserver,
         ""},
        {"nine status words", getInfo, {"MODE:1 b c d e f g h i\r"}, Result::DeviceError, "Z\r"},
        {"status line with an error", getInfo, {"E25\r"}, Result::DeviceError, "Z\r"},
        {"close", [](Driver& d) { return d.close(); }, {kOkLine}, Result::Ok, "H0&F0\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_line.log.clear();
        answer(kPreparation);
        answer(c.replies);
        const std::size_t before = m_line.script.written().size();
        EXPECT_EQ(c.run(*m_driver), c.expected);
        EXPECT_EQ(m_line.script.written().substr(before),
                  std::string(kPreparationCommands) + std::string(c.commands));
        EXPECT_EQ(m_line.log.back(), "close");
        EXPECT_EQ(m_line.openPorts, 0);
    }
    MeasureParams params{};
    EXPECT_EQ(m_driver->getParams(params), Result::Ok);
    EXPECT_EQ(params.colorSpace, METERIO_CS_YXY);
    EXPECT_EQ(params.observer, 2u);
}

TEST_F(ColorimeterDriver, InformationHoldsTheTenStatusWords) {
    open();
    answer(kPreparation);
    answer({"MODE:1 b c d e f g h i j\r", ""});
    DeviceInfo info;
    std::memset(&info, 0xAB, sizeof info);
    EXPECT_EQ(m_driver->getInfo(info), Result::Ok);
    DisplayColorimeterInfo view;
    std::memcpy(&view, info.bytes, sizeof view);
    EXPECT_STREQ(view.words[0], "MODE:1");
    EXPECT_STREQ(view.words[9], "j");
    for (const std::uint8_t b : view.reserved)
        EXPECT_EQ(b, 0);
    for (const std::uint8_t b : view.tail)
        EXPECT_EQ(b, 0);
}

TEST_F(ColorimeterDriver, ALineThatKeepsTalkingOrOverflowsEndsTheExchange) {
    open();
    std::string talker;
    for (int i = 0; i < 40; ++i)
        talker += "\r";
    answer({talker});
    ColorantRecord record{};
    Progress progress(nullptr);
    EXPECT_EQ(m_driver->readValues({}, progress, &record), Result::CommunicationError);
    EXPECT_EQ(m_line.openPorts, 0);

    m_line.script.failReadsAfter(-1);
    while (m_line.script.pending() != 0) {
        std::uint8_t b;
        std::size_t n;
        (void)m_line.script.read(&b, 1, n);
    }
    std::string flood;
    for (int i = 0; i < 30; ++i)
        flood += "P1 0123456789012345678\r";
    answer({flood});
    EXPECT_EQ(m_driver->readValues({}, progress, &record), Result::GeneralFailure);
    EXPECT_EQ(m_line.openPorts, 0);
}

TEST_F(ColorimeterDriver, OpenSearchesRatesOuterPortsInner) {
    sim::SerialPortsEnvironment env({"/dev/null-a", "/dev/null-b"});
    Progress progress(nullptr);
    OpenArgs args;  // no name: every listed port at every rate, all silent
    EXPECT_EQ(m_driver->open(args, progress), Result::NoInstrument);
    std::vector<std::string> expected;
    for (const std::uint32_t rate : kColorimeterBaudRates)
        for (const char* name : {"COM101:", "COM102:"}) {
            expected.push_back(std::string("open ") + name);
            expected.push_back("rate " + std::to_string(rate));
        }
    EXPECT_EQ(m_line.probes(), expected);
    EXPECT_EQ(m_line.openPorts, 0);
}

// Answers `value` from call `from` (0-based) on.
int g_calls = 0;
int g_from = 0;
std::int32_t g_value = 0;
std::int32_t answerFrom(std::int32_t) {
    return g_calls++ >= g_from ? g_value : 0;
}

TEST_F(ColorimeterDriver, OnlyMinusOneStopsTheSearchAnyNonZeroStopsTheRest) {
    // 5 passes every poll of the search, then stops the open after it.
    g_calls = 0;
    g_from = 0;
    g_value = 5;
    answer({kOkLine, kOkLine});
    Progress fives(&answerFrom);
    EXPECT_EQ(m_driver->open(m_args, fives), Result::Cancelled);
    EXPECT_EQ(m_line.script.written(), "F1&H1&Z\rF1&Z\r");
    EXPECT_EQ(m_line.openPorts, 0);

    // -1 at the first poll: nothing is opened.
    g_calls = 0;
    g_value = -1;
    m_line.log.clear();
    Progress stop(&answerFrom);
    EXPECT_EQ(m_driver->open(m_args, stop), Result::Cancelled);
    EXPECT_TRUE(m_line.log.empty());

    // After open any non-zero answer cancels a measurement before the port is opened.
    open();
    g_calls = 0;
    g_value = 7;
    Progress seven(&answerFrom);
    ColorantRecord record{};
    EXPECT_EQ(m_driver->readValues({}, seven, &record), Result::Cancelled);
    EXPECT_TRUE(m_line.log.empty());
}

TEST_F(ColorimeterDriver, LongPortNamesAreRefusedBeforeProbing) {
    const std::string name(32, 'C');
    OpenArgs args;
    args.portName = name;
    Progress progress(nullptr);
    EXPECT_EQ(m_driver->open(args, progress), Result::GeneralFailure);
    EXPECT_TRUE(m_line.log.empty());
}

}  // namespace
}  // namespace meterio
