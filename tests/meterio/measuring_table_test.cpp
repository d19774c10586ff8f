// The measuring-table driver over a scripted port that the simulated table answers in step.
#include "meterio/drivers/measuring_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "sim/serial/scripted_port.h"
#include "sim/serial/table_sim.h"
#include "tests/support/stepping_clock.h"

namespace meterio {
namespace {

using sim::MeasureLine;
using sim::TableState;

class TableTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto port = std::make_unique<sim::ScriptedPort>();
        m_port = port.get();
        m_port->respond([this](std::string_view written) { return respond(written); });
        m_record.port = std::move(port);
        m_record.clock = &m_clock;
        m_record.colorSpace = METERIO_CS_LAB;
        m_record.found = 1;
        m_record.conditionFlag = 1;
    }

    // Requests written since the last call.
    std::string written() {
        std::string fresh = m_port->written().substr(m_seen);
        m_seen = m_port->written().size();
        return fresh;
    }

    std::string respond(std::string_view written) {
        std::string replies;
        for (std::size_t end; (end = written.find("\r\n")) != std::string_view::npos;) {
            const std::string request(written.substr(0, end));
            written.remove_prefix(end + 2);
            if (m_unanswered[request] > 0)
                --m_unanswered[request];
            else
                replies += sim::answerWritten(m_table, request + "\r\n");
            replies += m_after[request];
        }
        return replies;
    }

    sim::TableSim m_table;
    sim::ScriptedPort* m_port = nullptr;
    testsupport::SteppingClock m_clock;
    TableRecord m_record;
    std::size_t m_seen = 0;
    std::map<std::string, int> m_unanswered;     // requests left unanswered this often
    std::map<std::string, std::string> m_after;  // output after a request's (missing) answer
};

TEST(TableCodes, StatusListsTranslateAsDocumented) {
    struct Case {
        StatusList list;
        std::uint32_t status;
        Result expected;
    };
    const Case cases[] = {
        {StatusList::Measurement, 0, Result::Ok},
        {StatusList::Measurement, 19, Result::Ok},
        {StatusList::Measurement, 52, Result::Ok},
        {StatusList::Measurement, 14, Result::MeasurementError},
        {StatusList::Measurement, 50, Result::MeasurementError},
        {StatusList::Measurement, 6, Result::NotCompleted},
        {StatusList::Measurement, 53, Result::NotCompleted},
        {StatusList::Measurement, 55, Result::OutOfRange},
        {StatusList::Measurement, 7, Result::CommunicationError},
        {StatusList::Measurement, 1, Result::GeneralFailure},
        {StatusList::Table, 0, Result::Ok},
        {StatusList::Table, 1, Result::NoInstrument},
        {StatusList::Table, 6, Result::NoInstrument},
        {StatusList::Table, 2, Result::OutOfRange},
        {StatusList::Table, 5, Result::OutOfRange},
        {StatusList::Table, 8, Result::NotCompleted},
        {StatusList::Table, 10, Result::NotCompleted},
        {StatusList::Table, 19, Result::GeneralFailure},
        {StatusList::Head, 0, Result::Ok},
        {StatusList::Head, 1, Result::OutOfRange},
        {StatusList::Head, 4000000000u, Result::OutOfRange},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.list) << " / " << c.status);
        EXPECT_EQ(TableStatus(c.list, c.status), c.expected);
    }
    // The prefix and a number right after it are required.
    EXPECT_EQ(CheckTableStatus(": 209 128 8\r\n", ": 209 128 ", StatusList::Table),
              Result::NotCompleted);
    EXPECT_EQ(CheckTableStatus(": 209 129 0\r\n", ": 209 128 ", StatusList::Table),
              Result::CommunicationError);
    EXPECT_EQ(CheckTableStatus(": 209 128 \r\n", ": 209 128 ", StatusList::Table),
              Result::CommunicationError);
    EXPECT_EQ(CheckTableStatus(": 31", ": 31 ", StatusList::Head), Result::CommunicationError);
}

TEST(TableCodes, KeyBitsAndKeyLines) {
    for (std::uint8_t key = 1; key <= 8; ++key)
        EXPECT_EQ(TableKeyNumber(1u << (key - 1)), key);
    EXPECT_FALSE(TableKeyNumber(3));
    EXPECT_FALSE(TableKeyNumber(0));
    EXPECT_EQ(TableKeyBit(": 209 130 16\r\n"), 16u);
    EXPECT_FALSE(TableKeyBit(": 209 128 16\r\n"));
    EXPECT_TRUE(TableTextHasKey(": 209 128 0\r\n: 209 130 4\r\n", 4));
    EXPECT_FALSE(TableTextHasKey(": 209 130 1\r\n", 4));
    EXPECT_FALSE(TableTextHasKey(": 209 130 0\r\n", 0));
}

TEST_F(TableTest, MovesSendTravelThenThePairedMoveAndRefuseOutOfRangeTargets) {
    ASSERT_EQ(TableMoveTo(m_record, 1, 100, 230), Result::Ok);
    EXPECT_EQ(written(), "; 208 3\r\n; 208 0 1 100 230\r\n; 208 4\r\n");
    EXPECT_EQ(m_table.read([](const TableState& s) { return s.y; }), 230);
    struct Refused {
        std::uint8_t mode;
        std::int32_t x, y;
    };
    for (const Refused& r : {Refused{1, 100, 229}, Refused{0, 3102, 500}, Refused{0, -1, 500},
                             Refused{0, 500, 2302}, Refused{0, 500, -1}}) {
        SCOPED_TRACE(testing::Message() << r.x << ", " << r.y);
        EXPECT_EQ(TableMoveTo(m_record, r.mode, r.x, r.y), Result::OutOfRange);
        EXPECT_EQ(written(), "");
    }
    ASSERT_EQ(TableMoveTo(m_record, 0, 3101, 2301), Result::Ok);
    EXPECT_EQ(written(), "; 208 3\r\n; 208 0 0 3101 2301\r\n; 208 4\r\n");
}

TEST_F(TableTest, StagedMovesToStoredAndSpecialPlaces) {
    m_record.positions[1] = {400, 900};  // id 4
    ASSERT_EQ(TableMove(m_record, 0, 4, 5), Result::Ok);
    EXPECT_EQ(written(), "; 208 16\r\n; 208 3\r\n; 208 0 0 900 400\r\n");
    ASSERT_EQ(TableMove(m_record, 0, 0, 5), Result::Ok);
    EXPECT_EQ(written(), "; 208 16\r\n; 208 3\r\n; 208 2\r\n");
    ASSERT_EQ(TableMove(m_record, 1, 1, 5), Result::Ok);
    EXPECT_EQ(written(), "; 208 16\r\n; 208 3\r\n; 208 6 0\r\n");
    EXPECT_EQ(TableMove(m_record, 0, 2, 5), Result::OutOfRange);
    m_record.positions[2] = {-5, 10};  // id 5 below the table
    EXPECT_EQ(TableMove(m_record, 0, 5, 5), Result::OutOfRange);
    m_record.positions[3] = {100, 10};  // id 6 too near the edge for mode 1
    EXPECT_EQ(TableMove(m_record, 1, 6, 5), Result::OutOfRange);
    EXPECT_EQ(written(), "");
}

TEST_F(TableTest, MoveFaultsAndSilence) {
    m_table.update([](TableState& s) { s.dropMoveSecondAnswer = true; });
    EXPECT_EQ(TableMoveTo(m_record, 0, 10, 10), Result::CommunicationError);
    m_table.update([](TableState& s) {
        s.dropMoveSecondAnswer = false;
        s.tableStatus = 2;
    });
    EXPECT_EQ(TableMoveTo(m_record, 0, 10, 10), Result::OutOfRange);
    m_table.update([](TableState& s) { s.tableStatus = 0; });
    m_unanswered["; 208 3"] = 1;
    EXPECT_EQ(TableMoveTo(m_record, 0, 10, 10), Result::NoInstrument);
}

TEST_F(TableTest, LocationComesFromTheLocationReply) {
    ASSERT_EQ(TableMoveTo(m_record, 0, 1234, 567), Result::Ok);
    written();
    std::int32_t x = 0, y = 0;
    ASSERT_EQ(TableGetLocation(m_record, 1, x, y), Result::Ok);
    EXPECT_EQ(written(), "; 208 5 1\r\n");
    EXPECT_EQ(x, 1234);
    EXPECT_EQ(y, 567);
    m_unanswered["; 208 5 0"] = 1;
    m_after["; 208 5 0"] = ": 209 129 1 0 5 5 0\r\n";  // reports the other mode
    EXPECT_EQ(TableGetLocation(m_record, 0, x, y), Result::CommunicationError);
}

TEST_F(TableTest, HoldPaperTakesOnlyHoldOrRelease) {
    ASSERT_EQ(TableHoldPaper(m_record, -1), Result::Ok);
    EXPECT_EQ(written(), "; 208 16\r\n; 208 18 \r\n");
    EXPECT_TRUE(m_table.read([](const TableState& s) { return s.paperHeld; }));
    ASSERT_EQ(TableHoldPaper(m_record, 0), Result::Ok);
    EXPECT_EQ(written(), "; 208 16\r\n; 208 19 \r\n");
    EXPECT_EQ(TableHoldPaper(m_record, 1), Result::OutOfRange);
    EXPECT_EQ(written(), "");
}

TEST_F(TableTest, KeyWaitReportsTheKeyAndEndsTheReports) {
    m_table.pressKey(8);
    std::uint8_t key = 0;
    ASSERT_EQ(TableWaitKey(m_record, 0, {}, &key), Result::Ok);
    EXPECT_EQ(key, 4);
    EXPECT_EQ(written(), "; 208 17\r\n; 208 22\r\n; 208 23\r\n");
    m_table.pressKey(3);  // two keys at once
    EXPECT_EQ(TableWaitKey(m_record, 0, {}, &key), Result::GeneralFailure);
    EXPECT_EQ(written(), "; 208 17\r\n; 208 22\r\n; 208 23\r\n");
}

TEST_F(TableTest, KeyWaitsStopAtMinusOneAndStillEndTheReports) {
    // No key: the callback is called while the line is quiet and its -1 ends the wait.
    int calls = 0;
    const serial::Callback stopSoon = [&](std::int32_t value) {
        EXPECT_EQ(value, 7);
        return ++calls == 5 ? -1 : 0;
    };
    std::uint8_t key = 9;
    EXPECT_EQ(TableWaitKey(m_record, 7, stopSoon, &key), Result::Cancelled);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(written(), "; 208 17\r\n; 208 22\r\n; 208 23\r\n");
    calls = 0;
    m_unanswered["; 208 23"] = 1;  // the first end request meets silence and is repeated
    EXPECT_EQ(TableWaitKeyState(m_record, 0, 7, stopSoon), Result::Cancelled);
    EXPECT_EQ(written(), "; 208 17\r\n; 208 22\r\n; 208 23\r\n; 208 23\r\n");
}

TEST_F(TableTest, KeyStateWaitIgnoresOtherKeys) {
    m_table.pressKey(1);
    m_after["; 208 22"] = ": 209 128 0\r\n: 209 130 4\r\n";
    int calls = 0;
    ASSERT_EQ(TableWaitKeyState(m_record, 3, 0, [&](std::int32_t) { return ++calls, 0; }),
              Result::Ok);
    EXPECT_GE(calls, 1);  // key 1 was seen and passed over
    EXPECT_EQ(written(), "; 208 17\r\n; 208 22\r\n; 208 23\r\n");
    EXPECT_EQ(TableWaitKeyState(m_record, 9, 0, {}), Result::GeneralFailure);
}

TEST_F(TableTest, AFailingReadEndsAKeyWait) {
    m_port->respond([this](std::string_view w) {
        std::string replies = respond(w);
        if (w.find("; 208 22") != std::string_view::npos)
            m_port->failReadsAfter(static_cast<long>(replies.size()));
        return replies;
    });
    std::uint8_t key = 0;
    EXPECT_EQ(TableWaitKey(m_record, 0, {}, &key), Result::CommunicationError);
}

TEST_F(TableTest, MeasurementsSetUpTheOutputOnlyWhenItChanges) {
    m_table.head().update([](sim::SpotHeadState& s) { s.densities = {0.1, 0.2, 0.3, 0.4}; });
    double d[4] = {};
    ASSERT_EQ(TableMeasure(m_record, 1, {}, d), Result::Ok);
    EXPECT_EQ(written(),
              "; 208 4\r\n; 177 1 0\r\n; 177 2 0\r\n; 177 4 0\r\n; 177 4 15\r\n; 32\r\n");
    EXPECT_DOUBLE_EQ(d[0], 0.2);
    EXPECT_DOUBLE_EQ(d[1], 0.3);
    EXPECT_DOUBLE_EQ(d[2], 0.4);
    EXPECT_DOUBLE_EQ(d[3], 0.1);
    ASSERT_EQ(TableMeasure(m_record, 1, {}, d), Result::Ok);
    EXPECT_EQ(written(), "; 208 4\r\n; 32\r\n");

    // Setting the conditions leaves the head on colour only: a combined measurement sets up.
    ASSERT_EQ(TableSetConditions(m_record, {4, 6, 2, METERIO_CS_LAB}), Result::Ok);
    EXPECT_EQ(written(), "; 177 1 0\r\n; 177 2 0\r\n; 177 4 0\r\n; 177 2 2\r\n; 22 1 1  2 0\r\n");
    double both[8] = {};
    ASSERT_EQ(TableMeasure(m_record, 2, {}, both), Result::Ok);
    EXPECT_EQ(written(),
              "; 208 4\r\n; 177 1 0\r\n; 177 2 0\r\n; 177 4 0\r\n; 177 2 2\r\n"
              "; 177 4 15\r\n; 32\r\n");
    EXPECT_DOUBLE_EQ(both[0], 51.25);
    EXPECT_DOUBLE_EQ(both[4], 0.2);
    EXPECT_DOUBLE_EQ(both[7], 0.1);

    // A set-up that fails midway is not remembered.
    m_unanswered["; 177 2 2"] = 1;
    EXPECT_EQ(TableMeasure(m_record, 0, {}, both), Result::NoInstrument);
    written();
    ASSERT_EQ(TableMeasure(m_record, 0, {}, both), Result::Ok);
    EXPECT_EQ(written(), "; 208 4\r\n; 177 1 0\r\n; 177 2 0\r\n; 177 4 0\r\n; 177 2 2\r\n; 32\r\n");
}

TEST_F(TableTest, ColourValuesFollowTheColourSpaceAndSpectraStayUnscaled) {
    struct Case {
        std::uint32_t space;
        double expected[3];
    };
    const Case cases[] = {{METERIO_CS_XYZ, {0.5125, -0.035, 0.1275}},
                          {METERIO_CS_YXY, {12.75, 51.25, -3.5}},
                          {METERIO_CS_LCH, {51.25, -3.5, 12.75}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.space);
        ASSERT_EQ(TableSetConditions(m_record, {4, 6, 2, c.space}), Result::Ok);
        double v[4] = {};
        ASSERT_EQ(TableMeasure(m_record, 0, {}, v), Result::Ok);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(v[i], c.expected[i], 1e-12);
    }
    m_table.head().update([](sim::SpotHeadState& s) {
        for (std::size_t i = 0; i < 36; ++i)
            s.spectrum[i] = 10.0 + static_cast<double>(i);
    });
    auto spectrum = std::make_unique<SpectrumRecord>();
    written();
    ASSERT_EQ(TableMeasureSpectrum(m_record, {}, *spectrum), Result::Ok);
    EXPECT_EQ(written(), "; 208 4\r\n; 177 1 0\r\n; 177 2 0\r\n; 177 4 0\r\n; 177 1 1\r\n; 32\r\n");
    EXPECT_EQ(spectrum->start, 380u);
    EXPECT_EQ(spectrum->interval, 10u);
    EXPECT_EQ(spectrum->count, 36u);
    EXPECT_DOUBLE_EQ(spectrum->values[0], 10.0);
    EXPECT_DOUBLE_EQ(spectrum->values[35], 45.0);
}

TEST_F(TableTest, BadMeasurementLinesAndStatuses) {
    double v[8] = {};
    for (const MeasureLine bad : {MeasureLine::Garbled, MeasureLine::Short, MeasureLine::Missing}) {
        SCOPED_TRACE(int(bad));
        m_table.update([&](TableState& s) { s.measureLine = bad; });
        EXPECT_EQ(TableMeasure(m_record, 0, {}, v), Result::CommunicationError);
    }
    m_table.update([](TableState& s) {
        s.measureLine = MeasureLine::Normal;
        s.measureStatus = 14;
    });
    EXPECT_EQ(TableMeasure(m_record, 0, {}, v), Result::MeasurementError);
    m_table.update([](TableState& s) {
        s.measureStatus = 0;
        s.startStatus = 53;
    });
    EXPECT_EQ(TableMeasure(m_record, 0, {}, v), Result::NotCompleted);
    // A density line whose fourth group is not channel 8.
    EXPECT_EQ(ParseTableMeasurement(": 190 14 1 0.1 14 2 0.2 14 4 0.3 14 4 0.4 255 0\r\n", 1,
                                    METERIO_CS_LAB, v),
              Result::CommunicationError);
    EXPECT_EQ(ParseTableMeasurement(": 190 2 1 1 2 3 255 0\r\n", 0, METERIO_CS_LAB, v),
              Result::CommunicationError);  // set to Yxy, read as Lab
}

TEST_F(TableTest, ConditionsAreCheckedBeforeAnythingIsSent) {
    EXPECT_EQ(TableSetConditions(m_record, {4, 99, 2, METERIO_CS_LAB}), Result::BadIllumination);
    EXPECT_EQ(TableSetConditions(m_record, {4, 6, 2, 0x41424320u}), Result::BadColorSpace);
    EXPECT_EQ(written(), "");
    EXPECT_EQ(m_record.colorSpace, METERIO_CS_LAB);
}

TEST_F(TableTest, InformationHoldsTheTableBlockThenTheHeadBlock) {
    m_table.head().update([](sim::SpotHeadState& s) { s.state = 3; });
    StageInfoRecord info;
    std::memset(&info, 0x5A, sizeof info);
    ASSERT_EQ(TableGetInfo(m_record, info), Result::Ok);
    EXPECT_EQ(written(),
              "; 181\r\n; 43\r\n; 0\r\n; 208 48\r\n; 208 49\r\n; 208 50\r\n; 208 51\r\n"
              "; 208 52\r\n");
    EXPECT_EQ(std::string(info.model), "XYTABLE MT-3101 AB");
    EXPECT_EQ(info.number, 0x00030815u);
    EXPECT_EQ(std::string(info.secondText), "TB000815");
    EXPECT_EQ(info.year, 2018);
    EXPECT_EQ(info.month, 3);
    EXPECT_EQ(info.day, 14);
    EXPECT_EQ(info.reserved[5], 0);
    EXPECT_EQ(info.version, 125u);
    SpotInfoRecord head;
    std::memcpy(&head, info.head, sizeof info.head);
    EXPECT_EQ(std::string(head.model, 18), "SPOTHEAD SH-32 REF");
    EXPECT_EQ(head.headState, 3u);

    m_table.update([](TableState& s) { s.day = 32; });
    EXPECT_EQ(TableGetInfo(m_record, info), Result::CommunicationError);
    m_table.update([](TableState& s) {
        s.day = 1;
        s.version = "x";
    });
    EXPECT_EQ(TableGetInfo(m_record, info), Result::CommunicationError);
}

TEST_F(TableTest, CalibrationRunsTheWhiteStepBetweenTableCommands) {
    std::vector<std::int32_t> calls;
    ASSERT_EQ(TableCalibrateWhite(m_record, [&](std::int32_t v) { return calls.push_back(v), 0; }),
              Result::Ok);
    EXPECT_EQ(written(), "; 208 4\r\n; 34 9 7\r\n; 208 3\r\n; 208 3\r\n");
    EXPECT_EQ(calls, (std::vector<std::int32_t>{0, 4000, 7000, 10000}));
}

}  // namespace
}  // namespace meterio
