// Port names, listing, byte reads and the line profiles down to the terminal flags.
#include <asm/termbits.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "meterio/serial/port.h"
#include "platform/posix/line_termios.h"
#include "sim/serial/pty_simulator.h"
#include "sim/serial/scripted_port.h"

namespace serial = meterio::serial;
using platform::StopBits;

namespace {

termios2 terminalFor(serial::LineProfile profile, std::uint32_t baud) {
    serial::PortSettings settings;
    serial::applyProfile(profile, baud, settings);
    termios2 tio{};
    tio.c_iflag = ICRNL | IXANY;
    tio.c_lflag = ICANON | ECHO;
    tio.c_oflag = OPOST;
    platform::posix::applyLineSettings(settings.line, tio);
    platform::posix::applyTimeouts(settings.timeouts, tio);
    return tio;
}

}  // namespace

TEST(SerialPortNames, MachineDevicesMapToFixedComNumbers) {
    EXPECT_EQ(serial::comNumberOfDevice("/dev/ttyS0"), 1u);
    EXPECT_EQ(serial::comNumberOfDevice("/dev/ttyS31"), 32u);
    EXPECT_EQ(serial::comNumberOfDevice("/dev/ttyUSB0"), 33u);
    EXPECT_EQ(serial::comNumberOfDevice("/dev/ttyACM2"), 67u);
    EXPECT_FALSE(serial::comNumberOfDevice("/dev/ttyS32"));
    EXPECT_FALSE(serial::comNumberOfDevice("/dev/ttySx"));
    EXPECT_FALSE(serial::comNumberOfDevice("/dev/pts/3"));

    EXPECT_EQ(serial::comNumberOfName("COM7:"), 7u);
    EXPECT_EQ(serial::comNumberOfName("com12"), 12u);
    EXPECT_FALSE(serial::comNumberOfName("COM0:"));
    EXPECT_FALSE(serial::comNumberOfName("COM:"));
    EXPECT_FALSE(serial::comNumberOfName("LPT1:"));
    EXPECT_FALSE(serial::comNumberOfName("COM1x:"));
}

TEST(SerialPortNames, ExtraPortsTakeExplicitOrPositionalNumbers) {
    const auto ports = serial::parseExtraPorts("/dev/pts/4::COM7=/dev/pts/9:/dev/pts/5:COMx=/a");
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].number, 101u);
    EXPECT_EQ(ports[0].device, "/dev/pts/4");
    EXPECT_EQ(ports[1].number, 7u);
    EXPECT_EQ(ports[1].device, "/dev/pts/9");
    // Positions count entries, so a later entry keeps its number when one before it changes.
    EXPECT_EQ(ports[2].number, 103u);
}

TEST(SerialPortNames, ListOrdersMachinePortsThenExtrasAndExtrasReplace) {
    const std::vector<std::string> machine = {"/dev/ttyUSB0", "/dev/ttyS1", "/dev/ttyS0"};
    const auto extra = serial::parseExtraPorts("COM2=/dev/pts/1:/dev/pts/2");
    const auto all = serial::listPorts(machine, extra, true);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].number, 1u);
    EXPECT_EQ(all[1].number, 33u);
    EXPECT_EQ(all[2].device, "/dev/pts/1");
    EXPECT_EQ(all[3].number, 102u);
    EXPECT_EQ(serial::listPorts(machine, extra, false).size(), 2u);
}

TEST(SerialPortNames, OpenResolvesComNamesAndDevicePaths) {
    sim::SerialPortsEnvironment env({"/dev/pts/77", "COM9=/dev/pts/78"});
    EXPECT_EQ(serial::devicePathOf("COM101:"), "/dev/pts/77");
    EXPECT_EQ(serial::devicePathOf("COM9"), "/dev/pts/78");
    EXPECT_EQ(serial::devicePathOf("\\\\.\\COM9"), "/dev/pts/78");
    EXPECT_EQ(serial::devicePathOf("COM2:"), "/dev/ttyS1");
    EXPECT_EQ(serial::devicePathOf("COM40"), "/dev/ttyUSB7");
    EXPECT_EQ(serial::devicePathOf("/dev/whatever"), "/dev/whatever");
    EXPECT_FALSE(serial::devicePathOf("LPT1:"));
    EXPECT_FALSE(serial::devicePathOf("COM99:"));
}

TEST(SerialPortNames, EnumerationListsComNamesWithColonAndNoLpt) {
    sim::SerialPortsEnvironment env({"/dev/pts/77", "/dev/pts/78"});
    serial::PortList list;
    ASSERT_TRUE(serial::SerialEnumPorts(serial::kKindCom, list));
    EXPECT_EQ(list, (serial::PortList{"COM101:", "COM102:"}));
    ASSERT_TRUE(serial::SerialEnumPorts(serial::kKindLpt, list));
    EXPECT_TRUE(list.empty());
}

TEST(SerialRead, StopsAtTerminatorOrEmptyQueueAndCountsBytesBeforeIt) {
    sim::ScriptedPort port;
    port.feed("AB\rCD");
    std::uint8_t buffer[8] = {};
    std::size_t count = 99;
    ASSERT_TRUE(serial::SerialRead(port, '\r', 8, buffer, &count));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(buffer[2], '\r');
    ASSERT_TRUE(serial::SerialRead(port, '\r', 8, buffer, &count));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 2), "CD");
    // Never more than the maximum.
    port.feed("0123456789");
    ASSERT_TRUE(serial::SerialRead(port, 0, 4, buffer, nullptr));
    EXPECT_EQ(port.pending(), 6u);
}

TEST(SerialRead, ReportsAFailingReadAndDrainEmptiesTheQueue) {
    sim::ScriptedPort port;
    port.feed("xyz");
    port.failReadsAfter(1);
    std::uint8_t buffer[4];
    std::size_t count = 0;
    EXPECT_FALSE(serial::SerialRead(port, 0, 4, buffer, &count));
    EXPECT_EQ(count, 1u);
    EXPECT_FALSE(serial::SerialDrain(port));

    sim::ScriptedPort quiet;
    quiet.feed(std::string("a\0b", 3));
    EXPECT_TRUE(serial::SerialDrain(quiet));
    EXPECT_EQ(quiet.pending(), 0u);
    EXPECT_TRUE(serial::SerialWrite(quiet, 0, nullptr));
    quiet.failWrites(true);
    const std::uint8_t byte = 'x';
    EXPECT_FALSE(serial::SerialWrite(quiet, 1, &byte));
}

TEST(SerialProfiles, ColorimeterIsSevenEvenTwoWithoutFlowControl) {
    const termios2 tio = terminalFor(serial::LineProfile::DisplayColorimeter, 4800);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_TRUE(tio.c_cflag & PARENB);
    EXPECT_FALSE(tio.c_cflag & PARODD);
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_TRUE(tio.c_iflag & INPCK);
    EXPECT_FALSE(tio.c_iflag & (IXON | IXOFF));
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_EQ(tio.c_ospeed, 4800u);
    EXPECT_EQ(tio.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
}

TEST(SerialProfiles, EightNoneOneProfilesDifferInXonXoffOnly) {
    for (auto profile : {serial::LineProfile::StripReader, serial::LineProfile::SpotHead,
                         serial::LineProfile::Stage, serial::LineProfile::DisplaySpectrometer}) {
        const termios2 tio = terminalFor(profile, 28800);
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_FALSE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS));
        EXPECT_TRUE(tio.c_cflag & (CLOCAL | CREAD));
        EXPECT_EQ(tio.c_ospeed, 28800u);
        // Raw: no line editing, echo, CR translation or output processing survive.
        EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO));
        EXPECT_FALSE(tio.c_iflag & (ICRNL | IXANY));
        EXPECT_FALSE(tio.c_oflag & OPOST);
        const bool xon =
            profile == serial::LineProfile::SpotHead || profile == serial::LineProfile::Stage;
        EXPECT_EQ((tio.c_iflag & IXON) != 0, xon);
        EXPECT_EQ((tio.c_iflag & IXOFF) != 0, xon);
    }
}

TEST(SerialProfiles, ReadsReturnAtOnceExceptForTheSpectrometer) {
    EXPECT_EQ(terminalFor(serial::LineProfile::SpotHead, 9600).c_cc[VTIME], 0);
    EXPECT_EQ(terminalFor(serial::LineProfile::SpotHead, 9600).c_cc[VMIN], 0);
    // 250 ms constant + 1 ms per byte: three tenths of a second for the first byte.
    EXPECT_EQ(terminalFor(serial::LineProfile::DisplaySpectrometer, 9600).c_cc[VTIME], 3);
}

TEST(SerialProfiles, KeepFieldsTheProfileDoesNotName) {
    serial::PortSettings settings;
    settings.line.xonChar = 0x21;
    settings.line.eofChar = 0x1A;
    settings.line.txContinueOnXoff = true;
    serial::applyProfile(serial::LineProfile::DisplayColorimeter, 2400, settings);
    EXPECT_EQ(settings.line.xonChar, 0x21);
    EXPECT_EQ(settings.line.eofChar, 0x1A);
    EXPECT_TRUE(settings.line.txContinueOnXoff);  // the colorimeter leaves it alone
    EXPECT_EQ(settings.line.evtChar, '\r');
    serial::applyProfile(serial::LineProfile::Stage, 2400, settings);
    EXPECT_FALSE(settings.line.txContinueOnXoff);
    EXPECT_TRUE(settings.line.abortOnError);
}

TEST(SerialPty, ProfileRateAndStopBitsReachTheMasterSide) {
    platform::PtyMaster master;
    ASSERT_TRUE(master.open());
    serial::Port port;
    ASSERT_TRUE(serial::SerialOpen(master.slavePath(), port));
    ASSERT_EQ(serial::SerialSetProfile(*port, serial::LineProfile::DisplayColorimeter, 28800),
              meterio::Result::Ok);
    EXPECT_EQ(master.baudRate(), 28800u);
    EXPECT_EQ(master.stopBits(), StopBits::Two);

    // A pty keeps neither data bits nor parity (it reads back as 8N); the rest sticks.
    serial::PortSettings back;
    ASSERT_TRUE(serial::SerialGetSettings(*port, back));
    EXPECT_EQ(back.line.stopBits, StopBits::Two);
    EXPECT_TRUE(back.line.parityCheck);
    EXPECT_EQ(back.line.baudRate, 28800u);
    EXPECT_EQ(back.timeouts.readInterval, 0xFFFFFFFFu);

    // The port is exclusive while open.
    serial::Port second;
    EXPECT_FALSE(serial::SerialOpen(master.slavePath(), second));
    EXPECT_TRUE(serial::SerialClose(port));
    EXPECT_FALSE(serial::SerialClose(port));
    EXPECT_TRUE(serial::SerialOpen(master.slavePath(), second));
}

TEST(SerialPty, ReadsReturnAtOnceAndAHangUpIsAFailure) {
    auto master = std::make_unique<platform::PtyMaster>();
    ASSERT_TRUE(master->open());
    serial::Port port;
    ASSERT_TRUE(serial::SerialOpen(master->slavePath(), port));
    std::uint8_t byte = 0;
    std::size_t count = 1;
    ASSERT_TRUE(port->read(&byte, 1, count));
    EXPECT_EQ(count, 0u);
    const std::uint8_t reply[] = {'o', 'k'};
    ASSERT_TRUE(master->write(reply, 2));
    ASSERT_TRUE(port->waitReadable(1000));
    std::uint8_t buffer[4] = {};
    std::size_t got = 0;
    ASSERT_TRUE(serial::SerialRead(*port, 0, 4, buffer, &got));
    EXPECT_EQ(got, 2u);
    master.reset();
    EXPECT_FALSE(port->read(&byte, 1, count));
}

TEST(SerialPty, MissingDevicesAndNonTerminalsDoNotOpen) {
    serial::Port port;
    EXPECT_FALSE(serial::SerialOpen("/dev/null", port));
    EXPECT_FALSE(serial::SerialOpen("/nonexistent/tty", port));
    EXPECT_FALSE(serial::SerialOpen("LPT1:", port));
    EXPECT_EQ(port, nullptr);
}
