// The frame with a scripted driver: open and close paths, families, and the cancel rules.
#include "meterio/frame/frame.h"

#include <gtest/gtest.h>

#include <memory>

#include "meterio/frame/progress.h"

namespace meterio {
namespace {

struct Script {
    Result bind = Result::Ok;
    Result open = Result::Ok;
    Result close = Result::Ok;
    Result release = Result::Ok;
    int releases = 0;
    int destroyed = 0;
    OpenArgs args;
};
Script g;

class FakeDriver final : public Driver {
public:
    ~FakeDriver() override { ++g.destroyed; }
    Result bind() override { return g.bind; }
    Result open(const OpenArgs& args, Progress&) override {
        g.args = args;
        return g.open;
    }
    Result close() override { return g.close; }
    Result releaseLibrary() override {
        ++g.releases;
        return g.release;
    }
    Result setParams(const MeasureParams&) override { return Result::Ok; }
};

std::unique_ptr<Driver> makeFake() {
    return std::make_unique<FakeDriver>();
}

constexpr DriverEntry kTable[] = {{5, &makeFake, 2}};

class Frame : public ::testing::Test {
protected:
    void SetUp() override { g = {}; }
    Result open(Family family = Family::Spot, std::uint8_t code = 5, const char* port = "COM3") {
        return frame::open({family, kTable, code, port, 4800, nullptr, nullptr}, &handle);
    }
    ReaderHandle handle = 0;
};

TEST_F(Frame, OpenPassesArgumentsAndHandsOutAnId) {
    ASSERT_EQ(open(), Result::Ok);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(g.args.portName, "COM3");
    EXPECT_EQ(g.args.baudRate, 4800u);
    EXPECT_EQ(g.args.mode, 2);
    EXPECT_EQ(g.args.filter, 0u);
    EXPECT_EQ(g.args.kind, 1u);
    EXPECT_EQ(frame::close(Family::Spot, handle), Result::Ok);
    EXPECT_EQ(g.destroyed, 1);
}

TEST_F(Frame, FailedOpenKeepsNothing) {
    const std::size_t before = HandleTable::instance().size();
    EXPECT_EQ(open(Family::Spot, 6), Result::GeneralFailure);
    g.bind = Result::LibraryNotLoaded;
    EXPECT_EQ(open(), Result::LibraryNotLoaded);
    EXPECT_EQ(g.releases, 0);
    g.bind = Result::Ok;
    g.open = Result::NoInstrument;
    EXPECT_EQ(open(), Result::NoInstrument);
    EXPECT_EQ(g.releases, 1);
    EXPECT_EQ(g.destroyed, 2);
    EXPECT_EQ(HandleTable::instance().size(), before);
    EXPECT_EQ(handle, 0u);
}

TEST_F(Frame, FailedCloseKeepsTheRecordAndASecondCloseMayFinish) {
    ASSERT_EQ(open(), Result::Ok);
    g.close = Result::CommunicationError;
    EXPECT_EQ(frame::close(Family::Spot, handle), Result::CommunicationError);
    EXPECT_EQ(g.releases, 1) << "the library is released even so";
    g.close = Result::Ok;
    g.release = Result::GeneralFailure;
    EXPECT_EQ(frame::close(Family::Spot, handle), Result::GeneralFailure);
    EXPECT_NE(frame::resolve(Family::Spot, handle), nullptr);
    g.release = Result::Ok;
    EXPECT_EQ(frame::close(Family::Spot, handle), Result::Ok);
    EXPECT_EQ(frame::resolve(Family::Spot, handle), nullptr);
    EXPECT_EQ(frame::close(Family::Spot, handle), Result::BadHandle);
}

TEST_F(Frame, HandlesBelongToTheirFamilyAndUnofferedOperationsSaySo) {
    ASSERT_EQ(open(Family::Strip), Result::Ok);
    const auto setParams = [](Driver& d) { return d.setParams(MeasureParams{}); };
    EXPECT_EQ(frame::run(handle, Family::Spot, setParams), Result::BadHandle);
    EXPECT_EQ(frame::close(Family::Monitor, handle), Result::BadHandle);
    EXPECT_EQ(frame::run(handle, Family::Strip, setParams), Result::Ok);
    Progress progress(nullptr);
    EXPECT_EQ(
        frame::run(handle, Family::Strip, [&](Driver& d) { return d.calibrateBlack(progress); }),
        Result::NotOffered);
    EXPECT_EQ(frame::run(handle, Family::Strip,
                         [](ReaderRecord& r) {
                             return r.deviceCode == 5 ? Result::Ok : Result::GeneralFailure;
                         }),
              Result::Ok);
    EXPECT_EQ(frame::close(Family::Strip, handle), Result::Ok);
}

std::int32_t answer = 0;
std::int32_t answering(std::int32_t) {
    return answer;
}

TEST(ProgressRules, AnyNonZeroOrOnlyMinusOne) {
    Progress builtIn(nullptr);
    EXPECT_FALSE(builtIn.cancels(kPollOnly));
    EXPECT_FALSE(builtIn.cancels(kPollOnly, CancelRule::MinusOneOnly));

    Progress caller(&answering);
    const struct {
        std::int32_t answer;
        bool anyNonZero;
        bool minusOne;
    } cases[] = {{0, false, false}, {1, true, false}, {-1, true, true}, {-100, true, false}};
    for (const auto& c : cases) {
        answer = c.answer;
        EXPECT_EQ(caller.cancels(0), c.anyNonZero) << c.answer;
        EXPECT_EQ(caller.cancels(0, CancelRule::MinusOneOnly), c.minusOne) << c.answer;
    }
}

}  // namespace
}  // namespace meterio
