// The frame with a scripted driver: open and close paths, families, and the cancel rules.
#include "meterio/frame/frame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "meterio/frame/progress.h"

namespace meterio {
namespace {

struct Script {
    Result bind = Result::Ok;
    Result open = Result::Ok;
    Result close = Result::Ok;
    Result release = Result::Ok;
    std::atomic<int> releases = 0;
    std::atomic<int> closes = 0;
    int destroyed = 0;
    bool closeWaitsForAnother = false;  // the first close waits a while for a second to enter
    OpenArgs args;
};
Script g;

// Polls `done` for up to 300 ms; whether it became true is left to the caller to look at.
template <typename Done>
void waitUntil(Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (!done() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

class FakeDriver final : public Driver {
public:
    ~FakeDriver() override { ++g.destroyed; }
    Result bind() override { return g.bind; }
    Result open(const OpenArgs& args, Progress&) override {
        g.args = args;
        return g.open;
    }
    Result close() override {
        const int n = ++g.closes;
        if (n == 1 && g.closeWaitsForAnother) waitUntil([] { return g.closes > 1; });
        return g.close;
    }
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
    void SetUp() override {
        g.bind = g.open = g.close = g.release = Result::Ok;
        g.releases = 0;
        g.closes = 0;
        g.destroyed = 0;
        g.closeWaitsForAnother = false;
        g.args = {};
    }
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

// A close that fails in the driver or in the library release keeps the record but refuses
// every operation; the next close frees it without calling the driver again.
TEST_F(Frame, AfterAFailedCloseOnlyAnotherCloseIsAccepted) {
    const auto setParams = [](Driver& d) { return d.setParams(MeasureParams{}); };
    const struct {
        Result close, release;
    } cases[] = {{Result::CommunicationError, Result::Ok},
                 {Result::Ok, Result::GeneralFailure},
                 {Result::GeneralFailure, Result::GeneralFailure}};
    for (const auto& c : cases) {
        SetUp();
        ASSERT_EQ(open(), Result::Ok);
        g.close = c.close;
        g.release = c.release;
        const Result expected = c.close != Result::Ok ? c.close : c.release;
        EXPECT_EQ(frame::close(Family::Spot, handle), expected);
        EXPECT_EQ(g.releases, 1) << "the library is released even so";
        EXPECT_EQ(frame::run(handle, Family::Spot, setParams), Result::GeneralFailure);
        EXPECT_EQ(frame::close(Family::Spot, handle), Result::Ok);
        EXPECT_EQ(g.closes, 1);
        EXPECT_EQ(g.releases, 1);
        EXPECT_EQ(g.destroyed, 1);
        EXPECT_EQ(frame::close(Family::Spot, handle), Result::BadHandle);
    }
}

// A callback that calls into its own reader is refused; other readers stay usable.
TEST_F(Frame, OperationsFromTheReadersOwnCallbackAreRefused) {
    ASSERT_EQ(open(), Result::Ok);
    const ReaderHandle first = handle;
    ASSERT_EQ(open(), Result::Ok);
    const ReaderHandle other = handle;
    const auto setParams = [](Driver& d) { return d.setParams(MeasureParams{}); };
    Result nested = Result::Ok, nestedOther = Result::GeneralFailure, nestedClose = Result::Ok;
    EXPECT_EQ(frame::run(first, Family::Spot,
                         [&](Driver&) {
                             nested = frame::run(first, Family::Spot, setParams);
                             nestedClose = frame::close(Family::Spot, first);
                             nestedOther = frame::run(other, Family::Spot, setParams);
                             return Result::Ok;
                         }),
              Result::Ok);
    EXPECT_EQ(nested, Result::GeneralFailure);
    EXPECT_EQ(nestedClose, Result::GeneralFailure);
    EXPECT_EQ(nestedOther, Result::Ok);
    EXPECT_EQ(frame::run(first, Family::Spot, setParams), Result::Ok);
    EXPECT_EQ(frame::close(Family::Spot, first), Result::Ok);
    EXPECT_EQ(frame::close(Family::Spot, other), Result::Ok);
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

// A close from another thread waits for the running operation instead of releasing the vendor
// library under it.
TEST_F(Frame, CloseWaitsForAnOperationOnAnotherThread) {
    ASSERT_EQ(open(), Result::Ok);
    std::atomic<bool> started = false;
    int releasesSeenByOperation = -1;
    std::thread operation([&] {
        (void)frame::run(handle, Family::Spot, [&](Driver&) {
            started = true;
            waitUntil([] { return g.releases > 0; });
            releasesSeenByOperation = g.releases;
            return Result::Ok;
        });
    });
    waitUntil([&] { return started.load(); });
    EXPECT_EQ(frame::close(Family::Spot, handle), Result::Ok);
    operation.join();
    EXPECT_EQ(releasesSeenByOperation, 0);
    EXPECT_EQ(g.releases, 1);
}

// Two threads closing one reader: one closes it, the other finds it gone; the library is
// released once.
TEST_F(Frame, ConcurrentClosesReleaseOnce) {
    ASSERT_EQ(open(), Result::Ok);
    g.closeWaitsForAnother = true;
    Result first = Result::GeneralFailure;
    std::thread other([&] { first = frame::close(Family::Spot, handle); });
    waitUntil([] { return g.closes > 0; });
    const Result second = frame::close(Family::Spot, handle);
    other.join();
    EXPECT_EQ(first, Result::Ok);
    EXPECT_EQ(second, Result::BadHandle);
    EXPECT_EQ(g.closes, 1);
    EXPECT_EQ(g.releases, 1);
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
