// SerialExchange on a real pseudo-terminal, and the port and rate order of the search.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "meterio/serial/exchange.h"
#include "sim/serial/pty_simulator.h"
#include "sim/serial/scripted_port.h"

namespace serial = meterio::serial;
using meterio::Result;

namespace {

// The master side of a pty with the port layer's view of the slave side.
class PtyExchange : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_master.open());
        ASSERT_TRUE(serial::SerialOpen(m_master.slavePath(), m_port));
        ASSERT_EQ(serial::SerialSetProfile(*m_port, serial::LineProfile::SpotHead, 9600),
                  Result::Ok);
    }

    void answerLater(std::string bytes, int afterMs = 10) {
        m_writer = std::thread([this, bytes, afterMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
            m_master.write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        });
    }

    void TearDown() override {
        if (m_writer.joinable()) m_writer.join();
    }

    std::string sent() {
        std::uint8_t buffer[256];
        std::size_t count = 0;
        m_master.waitReadable(200);
        m_master.read(buffer, sizeof buffer, count);
        return std::string(reinterpret_cast<char*>(buffer), count);
    }

    Result exchange(std::string_view command, std::string_view pattern, std::uint32_t required,
                    std::size_t capacity, std::uint32_t timeoutMs) {
        std::memset(m_reply, 0, sizeof m_reply);
        return serial::SerialExchange(*m_port, command, pattern, required, capacity, m_reply,
                                      timeoutMs, 0, {});
    }

    std::string reply() const { return reinterpret_cast<const char*>(m_reply); }

    platform::PtyMaster m_master;
    serial::Port m_port;
    std::thread m_writer;
    std::uint8_t m_reply[600];
};

}  // namespace

TEST_F(PtyExchange, ReturnsOnceThePatternHasArrived) {
    answerLater(": 19 1\r\n");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(exchange("; 8\r\n", "\r\n", 1, 255, 3000), Result::Ok);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(reply(), ": 19 1\r\n");
    EXPECT_EQ(sent(), "; 8\r\n");
}

TEST_F(PtyExchange, EmptyPatternSendsWithoutReading) {
    m_master.write(reinterpret_cast<const std::uint8_t*>("late"), 4);
    EXPECT_EQ(exchange("; 181\r\n", "", 1, 255, 3000), Result::Ok);
    EXPECT_EQ(reply(), "");
    EXPECT_EQ(sent(), "; 181\r\n");
}

TEST_F(PtyExchange, SilenceAfterACommandIsNoInstrumentAndWithoutOneIsSuccess) {
    EXPECT_EQ(exchange("; 8\r\n", "\r\n", 1, 255, 60), Result::NoInstrument);
    EXPECT_EQ(exchange("", "\r\n", 1, 255, 60), Result::Ok);
    EXPECT_EQ(reply(), "");
}

TEST_F(PtyExchange, AReplyThatStopsShortIsACommunicationError) {
    answerLater(": 19");
    EXPECT_EQ(exchange("; 8\r\n", "\r\n", 1, 255, 200), Result::CommunicationError);
    m_writer.join();
    // Two occurrences wanted, one arrives.
    m_master.write(reinterpret_cast<const std::uint8_t*>("a\r\nb"), 4);
    EXPECT_EQ(exchange("", "\r\n", 2, 255, 200), Result::CommunicationError);
}

TEST_F(PtyExchange, OverlappingOccurrencesCountAndNulBytesAreDropped) {
    m_master.write(reinterpret_cast<const std::uint8_t*>("xAAA"), 4);
    EXPECT_EQ(exchange("", "AA", 2, 255, 1000), Result::Ok);
    EXPECT_EQ(reply(), "xAAA");
    const char withNul[] = {'a', 'b', '\0', 'c', '\r', '\n'};
    m_master.write(reinterpret_cast<const std::uint8_t*>(withNul), sizeof withNul);
    EXPECT_EQ(exchange("", "\r\n", 1, 255, 1000), Result::Ok);
    EXPECT_EQ(reply(), "abc\r\n");
}

TEST_F(PtyExchange, AReplyLongerThanTheCapacityOverflows) {
    m_master.write(reinterpret_cast<const std::uint8_t*>("0123456789\r\n"), 12);
    EXPECT_EQ(exchange("", "\r\n", 1, 8, 1000), Result::CommunicationError);
    // Nothing is written past the capacity.
    EXPECT_EQ(m_reply[8], 0);
}

TEST_F(PtyExchange, TheDeadlineIsNotExtendedByArrivingBytes) {
    // One byte every 30 ms, the terminator after 300 ms; the deadline is 150 ms.
    m_writer = std::thread([this] {
        for (int i = 0; i < 10; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            m_master.write(reinterpret_cast<const std::uint8_t*>("x"), 1);
        }
    });
    EXPECT_EQ(exchange("; 8\r\n", "\r\n", 1, 255, 150), Result::CommunicationError);
}

TEST_F(PtyExchange, TheIdleCallbackRunsWithMinusHundredOnEveryTurn) {
    int turns = 0;
    bool otherValue = false;
    const serial::Callback idle = [&](std::int32_t v) {
        ++turns;
        otherValue |= v != -100;
        return 0;
    };
    EXPECT_EQ(serial::SerialExchange(*m_port, "; 8\r\n", "\r\n", 1, 255, m_reply, 100, 0, idle),
              Result::NoInstrument);
    EXPECT_FALSE(otherValue);
    // At most about one turn per millisecond: the wait does not spin.
    EXPECT_GT(turns, 1);
    EXPECT_LT(turns, 1000);
}

TEST_F(PtyExchange, ALineThatClosesMidReplyIsACommunicationError) {
    m_writer = std::thread([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        m_master.write(reinterpret_cast<const std::uint8_t*>(": 1"), 3);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        m_master.close();
    });
    EXPECT_EQ(exchange("; 8\r\n", "\r\n", 1, 255, 2000), Result::CommunicationError);
}

TEST(SerialExchange, AFailedWriteIsACommunicationError) {
    sim::ScriptedPort port;
    port.failWrites(true);
    std::uint8_t reply[8] = {};
    EXPECT_EQ(serial::SerialExchange(port, "; 8\r\n", "\r\n", 1, 7, reply, 10, 0, {}),
              Result::CommunicationError);
}

namespace {

// Milliseconds that pass only when the exchange waits on the port.
class ManualClock final : public platform::Clock {
public:
    std::uint32_t tickMs() override { return now; }
    void sleepMs(std::uint32_t ms) override { now += ms; }
    void beep() override {}
    std::uint32_t now = 0xFFFFFFC0u;  // wraps during a wait
};

// A scripted line whose waits advance the manual clock; it records every wait asked for.
class ClockedPort final : public platform::SerialPort {
public:
    explicit ClockedPort(ManualClock& clock) : m_clock(clock) {}
    sim::ScriptedPort script;
    std::vector<std::uint32_t> waits;

    bool read(std::uint8_t* b, std::size_t m, std::size_t& c) override {
        return script.read(b, m, c);
    }
    bool write(const std::uint8_t* d, std::size_t l, std::size_t& w) override {
        return script.write(d, l, w);
    }
    bool waitReadable(std::uint32_t ms) override {
        waits.push_back(ms);
        m_clock.now += std::max<std::uint32_t>(ms, 1);  // a zero wait is recorded, not hung on
        return false;
    }
    bool getLineSettings(platform::LineSettings& s) override { return script.getLineSettings(s); }
    bool setLineSettings(const platform::LineSettings& s) override {
        return script.setLineSettings(s);
    }
    bool getTimeouts(platform::Timeouts& t) override { return script.getTimeouts(t); }
    bool setTimeouts(const platform::Timeouts& t) override { return script.setTimeouts(t); }
    bool close() override { return true; }

private:
    ManualClock& m_clock;
};

}  // namespace

// Replies that are the pattern, or end on its last byte, complete the exchange. Drivers' reply
// shapes join this table.
TEST(SerialExchange, AReplyCompletesOnThePatternsLastByte) {
    struct Case {
        std::string_view reply, pattern;
        std::uint32_t count;
        Result expected;
    };
    const Case cases[] = {
        {"\r\n", "\r\n", 1, Result::Ok},
        {"abab", "ab", 2, Result::Ok},
        {"AAA", "AA", 2, Result::Ok},
        {": 19 1\r\n", "\r\n", 1, Result::Ok},
        {"\r", "\r\n", 1, Result::CommunicationError},
        {"ab", "ab", 2, Result::CommunicationError},
    };
    for (const Case& c : cases) {
        ManualClock clock;
        ClockedPort port(clock);
        port.script.feed(c.reply);
        std::uint8_t reply[32] = {};
        EXPECT_EQ(serial::SerialExchange(port, "", c.pattern, c.count, 31, reply, 50, 0, {}, clock),
                  c.expected)
            << c.reply;
        EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(reply)), c.reply);
    }
}

TEST(SerialExchange, EveryEmptyTurnWaitsAtLeastAMillisecond) {
    ManualClock clock;
    ClockedPort port(clock);
    int turns = 0;
    const serial::Callback idle = [&](std::int32_t) { return ++turns, 0; };
    std::uint8_t reply[8] = {};
    EXPECT_EQ(serial::SerialExchange(port, "; 8\r\n", "\r\n", 1, 7, reply, 40, 0, idle, clock),
              Result::NoInstrument);
    EXPECT_EQ(*std::min_element(port.waits.begin(), port.waits.end()), 1u);
    EXPECT_LE(turns, 41);
}

TEST(SerialExchange, MinusOneFromTheIdleCallbackStopsOnlyWhenAsked) {
    const serial::Callback stop = [](std::int32_t) { return -1; };
    std::uint8_t reply[8] = {};
    ManualClock clock;
    ClockedPort ignoring(clock);
    EXPECT_EQ(serial::SerialExchange(ignoring, "; 8\r\n", "\r\n", 1, 7, reply, 20, 0, stop, clock),
              Result::NoInstrument);
    ClockedPort stopping(clock);
    stopping.script.feed(": 1");
    EXPECT_EQ(serial::SerialExchange(stopping, "; 8\r\n", "\r\n", 1, 7, reply, 20, 0, stop, clock,
                                     serial::IdleStop::MinusOneStops),
              Result::Cancelled);
    EXPECT_EQ(stopping.script.pending(), 2u);  // stopped after the first byte
}

namespace {

struct ProbeLog {
    std::vector<std::pair<std::string, std::uint32_t>> calls;
    std::string answeringPort;
    std::uint32_t answeringRate = 0;
    bool stop = false;

    serial::Probe probe(std::string devicePath) {
        return [this, devicePath](std::string_view name, std::uint32_t rate,
                                  const serial::Callback&, serial::Port& port) {
            calls.emplace_back(std::string(name), rate);
            if (stop) return Result::Cancelled;
            if (name != answeringPort || rate != answeringRate) return Result::NoInstrument;
            return serial::SerialOpen(devicePath, port) ? Result::Ok : Result::NoInstrument;
        };
    }
};

}  // namespace

TEST(SerialFindInstrument, NoPortsIsNoPort) {
    sim::SerialPortsEnvironment env({});
    serial::SerialRecord record;
    ProbeLog log;
    EXPECT_EQ(serial::SerialFindInstrument(record, "", 0, {}, log.probe("")), Result::NoPort);
    EXPECT_TRUE(log.calls.empty());
}

TEST(SerialFindInstrument, TriesEveryPortAtEveryRateRatesOuter) {
    sim::SerialPortsEnvironment env({"/dev/pts/901", "/dev/pts/902"});
    serial::SerialRecord record;
    ProbeLog log;
    int polls = 0;
    const serial::Callback poll = [&](std::int32_t v) {
        EXPECT_EQ(v, -1);
        ++polls;
        return 0;
    };
    EXPECT_EQ(serial::SerialFindInstrument(record, "", 0, poll, log.probe("")),
              Result::NoInstrument);
    ASSERT_EQ(log.calls.size(), 22u);
    EXPECT_EQ(log.calls[0], (std::pair<std::string, std::uint32_t>{"COM101:", 9600}));
    EXPECT_EQ(log.calls[1], (std::pair<std::string, std::uint32_t>{"COM102:", 9600}));
    EXPECT_EQ(log.calls[2], (std::pair<std::string, std::uint32_t>{"COM101:", 57600}));
    EXPECT_EQ(log.calls[21], (std::pair<std::string, std::uint32_t>{"COM102:", 110}));
    EXPECT_EQ(polls, 23);  // once at the start, then before every probe
}

TEST(SerialFindInstrument, FindsTheInstrumentOnTheSecondPortAt19200) {
    platform::PtyMaster master;
    ASSERT_TRUE(master.open());
    sim::SerialPortsEnvironment env({"/dev/pts/901", master.slavePath()});
    serial::SerialRecord record;
    record.reserved.fill(0xEE);
    ProbeLog log;
    log.answeringPort = "COM102:";
    log.answeringRate = 19200;
    EXPECT_EQ(serial::SerialFindInstrument(record, "", 0, {}, log.probe(master.slavePath())),
              Result::Ok);
    EXPECT_EQ(log.calls.size(), 8u);  // 9600, 57600, 28800 on both, then 19200 on both
    EXPECT_STREQ(record.portName, "COM102:");
    EXPECT_EQ(record.baudRate, 19200u);
    EXPECT_NE(record.port, nullptr);
    EXPECT_EQ(record.colorSpace, 0x4C616220u);
    EXPECT_EQ(record.reserved[31], 0);
}

TEST(SerialFindInstrument, AGivenPortAndRateAreProbedOnce) {
    serial::SerialRecord record;
    ProbeLog log;
    EXPECT_EQ(serial::SerialFindInstrument(record, "COM5:", 4800, {}, log.probe("")),
              Result::NoInstrument);
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0].second, 4800u);
    log.calls.clear();
    EXPECT_EQ(serial::SerialFindInstrument(record, "COM5:", 0, {}, log.probe("")),
              Result::NoInstrument);
    EXPECT_EQ(log.calls.size(), 11u);
    EXPECT_EQ(serial::SerialFindInstrument(record, std::string(32, 'C'), 0, {}, log.probe("")),
              Result::GeneralFailure);
}

TEST(SerialFindInstrument, StoppedByTheCallbackLeavesNoPortOpen) {
    platform::PtyMaster master;
    ASSERT_TRUE(master.open());
    sim::SerialPortsEnvironment env({master.slavePath()});
    serial::SerialRecord record;
    ProbeLog log;
    log.answeringPort = "COM101:";
    log.answeringRate = 9600;
    int polls = 0;
    // Stops at the poll after the successful probe.
    const serial::Callback poll = [&](std::int32_t) { return ++polls == 3 ? -1 : 0; };
    EXPECT_EQ(serial::SerialFindInstrument(record, "", 0, poll, log.probe(master.slavePath())),
              Result::Cancelled);
    EXPECT_EQ(record.port, nullptr);
    // The port was closed: it opens again.
    serial::Port again;
    EXPECT_TRUE(serial::SerialOpen(master.slavePath(), again));

    polls = 0;
    const serial::Callback stopAtOnce = [&](std::int32_t) { return -1; };
    EXPECT_EQ(serial::SerialFindInstrument(record, "", 0, stopAtOnce, log.probe("")),
              Result::Cancelled);
}

TEST(SerialFindInstrument, SearchesTheDriversOwnRateList) {
    sim::SerialPortsEnvironment env({"/dev/pts/901", "/dev/pts/902"});
    serial::SerialRecord record;
    ProbeLog log;
    const std::uint32_t rates[] = {38400, 9600};
    EXPECT_EQ(serial::SerialFindInstrument(record, "", 0, {}, log.probe(""), rates),
              Result::NoInstrument);
    const std::vector<std::pair<std::string, std::uint32_t>> expected = {
        {"COM101:", 38400}, {"COM102:", 38400}, {"COM101:", 9600}, {"COM102:", 9600}};
    EXPECT_EQ(log.calls, expected);
    log.calls.clear();
    EXPECT_EQ(serial::SerialFindInstrument(record, "COM5:", 0, {}, log.probe(""), rates),
              Result::NoInstrument);
    EXPECT_EQ(log.calls.size(), 2u);
}
