// libFuzzer target: arbitrary reply bytes into SerialExchange, the spot-head reply parsers,
// every spot-head operation and every operation of the USB display instrument. The first byte
// picks the target; the rest is what the line delivers. Buffers are heap blocks of their exact
// size so that a read or write past them is caught by AddressSanitizer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "meterio/drivers/kmsecs200.h"
#include "meterio/drivers/spot_head.h"
#include "meterio/serial/exchange.h"
#include "meterio/serial/spot_protocol.h"
#include "sim/serial/scripted_port.h"

namespace {

namespace serial = meterio::serial;
namespace spot = meterio::serial::spot;

// Time moves on with every look at the clock, so that waits end after a few turns.
class SteppingClock final : public platform::Clock {
public:
    std::uint32_t tickMs() override { return m_now += 97; }
    void sleepMs(std::uint32_t ms) override { m_now += ms; }
    void beep() override {}

private:
    std::uint32_t m_now = 0xFFFFF000u;  // wraps during the run
};

void fuzzExchange(std::uint8_t control, std::string_view line) {
    sim::ScriptedPort port;
    port.feed(line);
    if (control & 0x80) port.failReadsAfter(control & 0x0F);
    const std::size_t capacity = 1 + (control & 0x3F) * 8;
    auto reply = std::make_unique<std::uint8_t[]>(capacity);
    SteppingClock clock;
    const std::string_view pattern = (control & 0x40) ? std::string_view("AA") : spot::kLineEnd;
    (void)serial::SerialExchange(
        port, (control & 1) ? "; 8\r\n" : "", pattern, (control >> 1) & 3, capacity, reply.get(),
        2000, control & 3, [](std::int32_t) { return 0; }, clock);
}

void fuzzParsers(std::string_view line) {
    // An exact copy without terminator: the parsers must respect the length they are given.
    std::vector<char> exact(line.begin(), line.end());
    const char* text = exact.empty() ? nullptr : exact.data();
    for (std::uint32_t number : {11u, 19u, 31u, 37u, 49u, 182u, 185u, 187u, 189u})
        (void)spot::CheckReplyNumber(number, exact.size(), text);
    const std::string_view view(text, exact.size());
    for (auto [number, format] : {std::pair{11u, spot::kConditionFormat},
                                  {19u, spot::kStatusFormat},
                                  {49u, spot::kProductionFormat},
                                  {182u, spot::kIdentityFormat},
                                  {185u, spot::kSpectralFormat},
                                  {187u, spot::kColorimetricFormat},
                                  {189u, spot::kDensityFormat}})
        (void)spot::scanReply(view, number, format);
    (void)spot::scanReal(view);
}

void fuzzSpotHead(std::uint8_t control, std::string_view line) {
    SteppingClock clock;
    meterio::SpotHeadRecord record;
    record.clock = &clock;
    auto port = std::make_unique<sim::ScriptedPort>();
    port->feed(line);
    record.port = std::move(port);
    record.colorSpace = control & 0x10 ? METERIO_CS_YXY : METERIO_CS_LAB;
    const serial::Callback poll = [](std::int32_t) { return 0; };
    switch (control & 0x0F) {
        case 0: {
            meterio::SpotConditions c{1, 6, 2, METERIO_CS_XYZ};
            (void)meterio::SpotHeadSetConditions(record, c);
            break;
        }
        case 1: {
            meterio::SpotConditions c{};
            (void)meterio::SpotHeadGetConditions(record, c);
            break;
        }
        case 2: {
            meterio::SpotInfoRecord info;
            (void)meterio::SpotHeadGetInfo(record, info);
            break;
        }
        case 3:
        case 4:
        case 5: {
            auto values = std::make_unique<double[]>((control & 0x0F) == 3 ? 3 : 8);
            (void)meterio::SpotHeadMeasure(record, (control >> 5) & 1,
                                           static_cast<std::uint32_t>((control & 0x0F) - 3), poll,
                                           values.get());
            break;
        }
        case 6: {
            auto spectrum = std::make_unique<SpectrumRecord>();
            (void)meterio::SpotHeadMeasureSpectrum(record, (control >> 5) & 1, poll, *spectrum);
            break;
        }
        case 7:
            (void)meterio::SpotHeadCalibrate(record, -1, -1, poll);
            break;
        case 8: {
            std::uint8_t pressed = 0;
            (void)meterio::SpotHeadWaitKey(record, 500, 0, poll, &pressed);
            break;
        }
        case 9:
            (void)meterio::SpotHeadWaitKeyState(record, 500, 0, control >> 7, poll);
            break;
        default:
            (void)meterio::SpotHeadCalibrate(record, -1, 0, poll);
            break;
    }
}

// The USB display instrument behind a fake entry-point table: every read delivers the next
// line-feed-separated piece of the fuzz bytes (at most the capacity, unterminated), cycling.
struct UsbLine {
    std::string_view bytes;
    std::size_t at = 0;
    std::uint8_t control = 0;
};
UsbLine g_usb;

std::int32_t usbRead(std::int32_t, char* buffer, std::int32_t, std::int32_t capacity) {
    if (g_usb.at >= g_usb.bytes.size()) g_usb.at = 0;
    std::string_view rest = g_usb.bytes.substr(g_usb.at);
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    const std::size_t n = std::min(end, static_cast<std::size_t>(capacity));
    std::memcpy(buffer, rest.data(), n);
    g_usb.at += end + 1;
    if (g_usb.control & 0x40) return 0x7FFFFFFF;  // a count beyond what was asked for
    return static_cast<std::int32_t>(n);
}

void fuzzUsbInstrument(std::uint8_t control, std::string_view line) {
    g_usb = UsbLine{line, 0, control};
    meterio::KmsecsApi api;
    api.intUsb = [](std::int32_t) { return 0; };
    api.endUsb = [](std::int32_t) { return 0; };
    api.read64Usb = &usbRead;
    api.write64Usb = [](std::int32_t, const char*, std::int32_t, std::int32_t length) {
        return (g_usb.control & 0x80) ? -2 : length;
    };
    api.getNum = [] { return 1; };
    SteppingClock clock;
    const std::unique_ptr<meterio::Driver> driver = meterio::makeKmsecsDriver(api, clock);
    meterio::Progress progress(nullptr);
    (void)driver->open(meterio::OpenArgs{}, progress);
    switch (control & 0x07) {
        case 0:
        case 1: {
            if (control & 1) (void)driver->setParams(MeasureParams{4, 6, 10, METERIO_CS_LUV});
            auto record = std::make_unique<ColorantRecord>();
            (void)driver->readValues(meterio::ReadRequest{}, progress, record.get());
            break;
        }
        case 2: {
            MeasureParams params{};
            (void)driver->getParams(params);
            break;
        }
        case 3: {
            auto info = std::make_unique<DeviceInfo>();
            (void)driver->getInfo(*info);
            break;
        }
        case 4: {
            auto speed = std::make_unique<SpeedSettingRecord>();
            (void)driver->getParamsEx(speed.get());
            (void)driver->setParamsEx(speed.get());
            break;
        }
        default:
            (void)driver->setParams(MeasureParams{4, 6, 2, METERIO_CS_XYZ});
            break;
    }
    (void)driver->close();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t selector = data[0];
    const std::uint8_t control = data[1];
    const std::string_view line(reinterpret_cast<const char*>(data + 2), size - 2);
    switch (selector % 4) {
        case 0:
            fuzzExchange(control, line);
            break;
        case 1:
            fuzzParsers(line);
            break;
        case 2:
            fuzzSpotHead(control, line);
            break;
        default:
            fuzzUsbInstrument(control, line);
            break;
    }
    return 0;
}
