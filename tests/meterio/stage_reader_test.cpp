// The stage reader family through the exported interface, on the simulated table.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "meterio32.h"
#include "sim/serial/pty_simulator.h"
#include "sim/serial/table_sim.h"

namespace {

using Requests = std::vector<std::string>;

class StageReader : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.start());
        m_env = std::make_unique<sim::SerialPortsEnvironment>(
            std::vector<std::string>{m_pty.devicePath()});
        ASSERT_EQ(QelStageReader_Open(0, "COM101:", 9600, nullptr, &m_handle), METERIO_OK);
        m_seen = m_pty.requestCount();
    }
    void TearDown() override {
        if (m_handle != 0) {
            EXPECT_EQ(QelStageReader_Close(m_handle), METERIO_OK);
        }
    }

    // Requests since the last call.
    Requests fresh() {
        const Requests all = m_pty.requests();
        Requests out(all.begin() + static_cast<long>(m_seen), all.end());
        m_seen = all.size();
        return out;
    }

    std::uint32_t define(std::uint16_t gapX, std::uint16_t gapY, std::uint16_t width,
                         std::uint16_t height, std::uint16_t columns, std::uint16_t rows) {
        const StageDefinition d{gapX, gapY, width, height, columns, rows};
        return QelStageReader_DefineStage(m_handle, &d);
    }

    std::pair<std::int32_t, std::int32_t> pos(std::uint8_t id) {
        std::int32_t x = -7, y = -7;
        EXPECT_EQ(QelStageReader_GetPos(m_handle, 0, id, &x, &y), METERIO_OK);
        return {x, y};
    }

    sim::TableSim m_table;
    sim::PtySimulator m_pty{m_table};
    std::unique_ptr<sim::SerialPortsEnvironment> m_env;
    ReaderHandle m_handle = 0;
    std::size_t m_seen = 0;
};

}  // namespace

TEST_F(StageReader, OpenInitialisesTableAndHeadAndCloseShutsDown) {
    EXPECT_EQ(m_pty.requests(), (Requests{"; 208 36", "; 208 16", "; 208 11", "; 208 10",
                                          "; 90 1 4 5", "; 77 155", "; 22 2 1  3 0", "; 177 2 2"}));
    MeasureParams params{};
    ASSERT_EQ(QelStageReader_GetParam(m_handle, &params), METERIO_OK);
    EXPECT_EQ(params.densityStandard, 5u);
    EXPECT_EQ(params.illumination, 4u);
    EXPECT_EQ(params.observer, 2u);
    EXPECT_EQ(params.colorSpace, METERIO_CS_LAB);
    fresh();
    ASSERT_EQ(QelStageReader_Close(m_handle), METERIO_OK);
    EXPECT_EQ(fresh(), (Requests{"; 208 16", "; 208 2", "; 208 11", "; 208 17"}));
    EXPECT_EQ(QelStageReader_Close(m_handle), METERIO_BAD_HANDLE);
    m_handle = 0;
    ReaderHandle other = 0;
    EXPECT_EQ(QelStageReader_Open(1, "COM101:", 9600, nullptr, &other), METERIO_GENERAL_FAILURE);
}

TEST_F(StageReader, DefinitionsAreCheckedOverTheFullSums) {
    struct Case {
        StageDefinition d;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {{0, 0, 50, 45, 62, 1}, METERIO_OK},                  // width 3100
        {{1, 0, 49, 45, 62, 1}, METERIO_OUT_OF_RANGE},        // 3101
        {{0, 0, 45, 50, 1, 46}, METERIO_OK},                  // height 2300
        {{0, 1, 45, 49, 1, 46}, METERIO_OUT_OF_RANGE},        // 2301
        {{10, 0, 45, 45, 1192, 1}, METERIO_OUT_OF_RANGE},     // 34 in 16 bits
        {{2, 0, 65535, 45, 65535, 1}, METERIO_OUT_OF_RANGE},  // 1 in 32 bits
        {{0, 0, 44, 45, 1, 1}, METERIO_OUT_OF_RANGE},
        {{0, 0, 45, 45, 1, 0}, METERIO_OUT_OF_RANGE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.d.horizontalGap << " " << c.d.patchWidth << " "
                                        << c.d.columns << " / " << c.d.rows);
        EXPECT_EQ(QelStageReader_DefineStage(m_handle, &c.d), c.expected);
    }
    EXPECT_EQ(QelStageReader_DefineStage(m_handle, nullptr), METERIO_OUT_OF_RANGE);
    EXPECT_TRUE(fresh().empty());
}

TEST_F(StageReader, CornersAreDerivedUnlessTheCallerSetThem) {
    EXPECT_EQ(pos(3), (std::pair{450, 350}));
    EXPECT_EQ(pos(4), (std::pair{0, 0}));
    ASSERT_EQ(define(10, 10, 45, 45, 3, 2), METERIO_OK);  // pitch 55
    ASSERT_EQ(QelStageReader_GoToPos(m_handle, 0, 4), METERIO_OK);
    EXPECT_EQ(fresh(), (Requests{"; 208 16", "; 208 3", "; 208 0 0 560 350"}));
    ASSERT_EQ(QelStageReader_GoToPos(m_handle, 0, 5), METERIO_OK);
    ASSERT_EQ(QelStageReader_GoToPos(m_handle, 0, 6), METERIO_OK);
    EXPECT_EQ(pos(4), (std::pair{560, 350}));
    EXPECT_EQ(pos(5), (std::pair{450, 405}));
    EXPECT_EQ(pos(6), (std::pair{560, 405}));

    // Corner 6 follows an explicit corner 4; an explicit corner is used as set.
    ASSERT_EQ(QelStageReader_SetPos(m_handle, 0, 4, 600, 360), METERIO_OK);
    ASSERT_EQ(QelStageReader_GoToPos(m_handle, 0, 6), METERIO_OK);
    EXPECT_EQ(pos(6), (std::pair{600, 415}));
    ASSERT_EQ(QelStageReader_SetPos(m_handle, 0, 6, 700, 700), METERIO_OK);
    fresh();
    ASSERT_EQ(QelStageReader_GoToPos(m_handle, 0, 6), METERIO_OK);
    EXPECT_EQ(fresh().back(), "; 208 0 0 700 700");

    // A new definition forgets them; a derived corner off the table is refused unsent.
    ASSERT_EQ(define(10, 10, 45, 45, 3, 2), METERIO_OK);
    EXPECT_EQ(pos(3), (std::pair{450, 350}));
    ASSERT_EQ(QelStageReader_SetPos(m_handle, 0, 3, 3000, 350), METERIO_OK);
    EXPECT_EQ(QelStageReader_GoToPos(m_handle, 0, 4), METERIO_OUT_OF_RANGE);
    // Refused positions and ids.
    EXPECT_EQ(QelStageReader_SetPos(m_handle, 1, 4, 500, 229), METERIO_OUT_OF_RANGE);
    EXPECT_EQ(QelStageReader_SetPos(m_handle, 0, 4, -1, 500), METERIO_OUT_OF_RANGE);
    EXPECT_EQ(QelStageReader_SetPos(m_handle, 0, 2, 500, 500), METERIO_OUT_OF_RANGE);
    EXPECT_EQ(QelStageReader_GoToPos(m_handle, 0, 2), METERIO_OUT_OF_RANGE);
    EXPECT_TRUE(fresh().empty());
    ASSERT_EQ(QelStageReader_GoToPos(m_handle, 0, 0), METERIO_OK);
    EXPECT_EQ(fresh().back(), "; 208 2");
    ASSERT_EQ(QelStageReader_GoToPos(m_handle, 0, 1), METERIO_OK);
    EXPECT_EQ(fresh().back(), "; 208 6 0");
}

TEST_F(StageReader, GridIndexMovesInterpolateTheCorners) {
    ASSERT_EQ(define(10, 10, 45, 45, 3, 2), METERIO_OK);
    ASSERT_EQ(QelStageReader_GoToId(m_handle, 0, 2, 1), METERIO_OK);
    EXPECT_EQ(fresh(), (Requests{"; 208 3", "; 208 0 0 560 405", "; 208 4"}));
    EXPECT_EQ(QelStageReader_GoToId(m_handle, 0, 0, 2), METERIO_OUT_OF_RANGE);
    EXPECT_EQ(QelStageReader_GoToId(m_handle, 0, 3, 0), METERIO_OUT_OF_RANGE);
    ASSERT_EQ(define(10, 10, 45, 45, 3, 1), METERIO_OK);  // one row
    ASSERT_EQ(QelStageReader_GoToId(m_handle, 0, 1, 0), METERIO_OK);
    ASSERT_EQ(define(10, 10, 45, 45, 1, 2), METERIO_OK);  // one column
    ASSERT_EQ(QelStageReader_GoToId(m_handle, 0, 0, 1), METERIO_OK);
    const Requests sent = fresh();
    EXPECT_EQ(sent[1], "; 208 0 0 505 350");
    EXPECT_EQ(sent[4], "; 208 0 0 450 405");
}

TEST_F(StageReader, EveryOperationWorksOnTheSimulatedTable) {
    EXPECT_EQ(QelStageReader_HoldPaper(m_handle, -1), METERIO_OK);
    EXPECT_EQ(QelStageReader_HoldPaper(m_handle, 1), METERIO_OUT_OF_RANGE);
    EXPECT_EQ(QelStageReader_GoToLoc(m_handle, 1, 1200, 800), METERIO_OK);
    std::int32_t x = 0, y = 0;
    ASSERT_EQ(QelStageReader_GetLoc(m_handle, 1, &x, &y), METERIO_OK);
    EXPECT_EQ(x, 1200);
    EXPECT_EQ(y, 800);
    EXPECT_EQ(QelStageReader_CalibrateWhite(m_handle, nullptr), METERIO_OK);

    ColorantRecord colour{};
    ASSERT_EQ(QelStageReader_ScanSpotColorant(m_handle, nullptr, &colour), METERIO_OK);
    EXPECT_DOUBLE_EQ(colour.values[0], 51.25);
    DensityRecord density{};
    ASSERT_EQ(QelStageReader_ScanSpotDensity(m_handle, nullptr, &density), METERIO_OK);
    EXPECT_DOUBLE_EQ(density.values[3], 0.11);
    ColorantDensityRecord both{};
    ASSERT_EQ(QelStageReader_ScanSpotEx(m_handle, nullptr, &both), METERIO_OK);
    EXPECT_DOUBLE_EQ(both.density.values[0], 0.22);
    auto spectrum = std::make_unique<SpectrumRecord>();
    ASSERT_EQ(QelStageReader_ScanSpotSpectrum(m_handle, nullptr, spectrum.get()), METERIO_OK);
    EXPECT_EQ(spectrum->count, 36u);
    const MeasureParams xyz{4, 6, 2, METERIO_CS_XYZ};
    ASSERT_EQ(QelStageReader_SetParam(m_handle, &xyz), METERIO_OK);
    MeasureParams back{};
    ASSERT_EQ(QelStageReader_GetParam(m_handle, &back), METERIO_OK);
    EXPECT_EQ(back.colorSpace, METERIO_CS_XYZ);

    DeviceInfo info;
    std::memset(&info, 0xA5, sizeof info);
    ASSERT_EQ(QelStageReader_GetInfo(m_handle, &info), METERIO_OK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.bytes)), "XYTABLE MT-3101 AB");
    EXPECT_EQ(info.bytes[180], 0xA5);

    m_table.pressKey(4, 30);
    std::uint8_t key = 0;
    ASSERT_EQ(QelStageReader_WaitForKeyInput(m_handle, nullptr, &key), METERIO_OK);
    EXPECT_EQ(key, 3);
    m_table.pressKey(128, 30);
    EXPECT_EQ(QelStageReader_WaitForKeyInput2(m_handle, 8, nullptr), METERIO_OK);
    EXPECT_EQ(QelStageReader_WaitForKeyInput2(m_handle, 0, [](int32_t) { return -1; }),
              METERIO_CANCELLED);

    for (auto* notOffered :
         {+[](ReaderHandle h) { return QelStageReader_CalibrateBlack(h, nullptr); },
          +[](ReaderHandle h) { return QelStageReader_GetParamEx(h, nullptr); },
          +[](ReaderHandle h) { return QelStageReader_SetParamEx(h, nullptr); }}) {
        EXPECT_EQ(notOffered(m_handle), METERIO_NOT_OFFERED);
        EXPECT_EQ(notOffered(0), METERIO_BAD_HANDLE);
    }
    std::uint32_t version = 0;
    EXPECT_EQ(QelStageReader_Version(&version), METERIO_OK);
    EXPECT_EQ(version, 400u);
}

TEST_F(StageReader, AHangUpMidMoveIsACommunicationError) {
    m_pty.inject({sim::Fault::HangUp, "; 208 0 ", 0});
    EXPECT_EQ(QelStageReader_GoToLoc(m_handle, 0, 100, 100), METERIO_COMMUNICATION_ERROR);
    // The table is gone: closing reports it, and the second close frees the reader.
    EXPECT_NE(QelStageReader_Close(m_handle), METERIO_OK);
    EXPECT_EQ(QelStageReader_Close(m_handle), METERIO_OK);
    m_handle = 0;
}
