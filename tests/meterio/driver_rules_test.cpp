// Rules every driver keeps behind the frame, one row per driver against its simulator: the
// information record stays within its documented size, and after a failed close the reader
// refuses operations until a second close frees it. New drivers add their row to kDrivers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "meterio/drivers/cscmtlib.h"
#include "meterio/drivers/dtp41.h"
#include "meterio/drivers/eye_one.h"
#include "meterio/drivers/kmsecs200.h"
#include "meterio/drivers/spot_head.h"
#include "meterio/frame/frame.h"
#include "platform/module.h"
#include "sim/cscmtlib/sim_cscmtlib.h"
#include "sim/kmsecs200/sim_kmsecs200.h"
#include "sim/serial/dtp41_sim.h"
#include "sim/serial/pty_simulator.h"
#include "sim/serial/spot_head_sim.h"

namespace meterio {
namespace {

// What a row's instrument needs while its reader is open.
struct Bench {
    virtual ~Bench() = default;
};

std::unique_ptr<Bench> noBench() {
    return std::make_unique<Bench>();
}

struct CscmtlibBench final : Bench {
    platform::Module sim;
    CscmtlibBench() {
        SimCscmtlib_ResetFn reset = nullptr;
        if (sim.load("CSCMTLib.dll") && sim.resolve("SimCscmtlib_Reset", reset)) reset();
    }
};

// A serial instrument on a pseudo-terminal listed as COM101.
template <typename Instrument>
struct PtyBench final : Bench {
    Instrument instrument;
    sim::PtySimulator pty{instrument};
    std::unique_ptr<sim::SerialPortsEnvironment> env;
    PtyBench() {
        if (pty.start())
            env = std::make_unique<sim::SerialPortsEnvironment>(
                std::vector<std::string>{pty.devicePath()});
    }
};

struct KmsecsBench final : Bench {
    platform::Module sim;
    KmsecsBench() {
        SimKmsecs200_ResetFn reset = nullptr;
        if (sim.load("Kmsecs200.dll") && sim.resolve("SimKmsecs200_Reset", reset)) reset();
    }
};

template <typename T>
std::unique_ptr<Bench> bench() {
    return std::make_unique<T>();
}

struct DriverRow {
    const char* name;
    Family family;
    DriverEntry entry;
    const char* portName;
    std::uint32_t baudRate;
    std::size_t infoBytes;  // the documented size of the driver's information record
    std::unique_ptr<Bench> (*bench)();
};

const DriverRow kDrivers[] = {
    {"EyeOne",
     Family::Spot,
     {0, &EyeOneDriver::make, kEyeOneReflectance},
     nullptr,
     0,
     16,
     &noBench},
    {"CSCMTLib", Family::Spot, {1, &makeCscmtlibDriver, 0}, "COM3:", 0, 58, &bench<CscmtlibBench>},
    {"spot head",
     Family::Spot,
     {2, &makeSpotHeadDriver, 0},
     "COM101:",
     9600,
     128,
     &bench<PtyBench<sim::SpotHeadSim>>},
    {"USB instrument",
     Family::Monitor,
     {4, &makeKmsecsDriver, 0},
     nullptr,
     0,
     sizeof(UsbInstrumentInfo),
     &bench<KmsecsBench>},
    {"DTP41",
     Family::Strip,
     {0, &makeDtp41Driver, 0},
     "COM101:",
     9600,
     48,
     &bench<PtyBench<sim::Dtp41Sim>>},
};

// The real driver of the row, whose close reports a failure after doing its work.
std::unique_ptr<Driver> (*g_inner)() = nullptr;

class CloseFails final : public Driver {
public:
    explicit CloseFails(std::unique_ptr<Driver> driver) : m_driver(std::move(driver)) {}
    Result bind() override { return m_driver->bind(); }
    Result open(const OpenArgs& args, Progress& progress) override {
        return m_driver->open(args, progress);
    }
    Result close() override {
        (void)m_driver->close();
        return Result::CommunicationError;
    }
    Result releaseLibrary() override { return m_driver->releaseLibrary(); }
    Result getParams(MeasureParams& params) override { return m_driver->getParams(params); }

private:
    std::unique_ptr<Driver> m_driver;
};

std::unique_ptr<Driver> makeCloseFails() {
    return std::make_unique<CloseFails>(g_inner());
}

class DriverRules : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("QEL_MODULE_PATH", QEL_SIM_DIR, 1); }

    Result open(const DriverRow& row, const DriverEntry& entry, ReaderHandle& handle) {
        return frame::open({row.family,
                            {&entry, 1},
                            entry.deviceCode,
                            row.portName,
                            row.baudRate,
                            nullptr,
                            nullptr},
                           &handle);
    }
};

}  // namespace

TEST_F(DriverRules, InformationStaysWithinItsDocumentedSize) {
    for (const DriverRow& row : kDrivers) {
        SCOPED_TRACE(row.name);
        const auto bench = row.bench();
        ReaderHandle handle = 0;
        ASSERT_EQ(open(row, row.entry, handle), Result::Ok);
        DeviceInfo info;
        std::memset(&info, 0xA5, sizeof info);
        EXPECT_EQ(frame::run(handle, row.family, [&](Driver& d) { return d.getInfo(info); }),
                  Result::Ok);
        std::size_t touched = 0;
        for (std::size_t i = row.infoBytes; i < sizeof info.bytes; ++i)
            touched += info.bytes[i] != 0xA5;
        EXPECT_EQ(touched, 0u) << "bytes written past " << row.infoBytes;
        EXPECT_EQ(frame::close(row.family, handle), Result::Ok);
    }
}

TEST_F(DriverRules, AfterAFailedCloseOperationsFailAndTheNextCloseFrees) {
    const auto getParams = [](Driver& d) {
        MeasureParams params{};
        return d.getParams(params);
    };
    for (const DriverRow& row : kDrivers) {
        SCOPED_TRACE(row.name);
        const auto bench = row.bench();
        const std::size_t before = HandleTable::instance().size();
        g_inner = row.entry.make;
        const DriverEntry failing{row.entry.deviceCode, &makeCloseFails, row.entry.mode};
        ReaderHandle handle = 0;
        ASSERT_EQ(open(row, failing, handle), Result::Ok);
        ASSERT_EQ(frame::run(handle, row.family, getParams), Result::Ok);
        EXPECT_EQ(frame::close(row.family, handle), Result::CommunicationError);
        EXPECT_EQ(frame::run(handle, row.family, getParams), Result::GeneralFailure);
        EXPECT_EQ(frame::close(row.family, handle), Result::Ok);
        EXPECT_EQ(frame::close(row.family, handle), Result::BadHandle);
        EXPECT_EQ(HandleTable::instance().size(), before);
    }
}

}  // namespace meterio
