// libFuzzer target: arbitrary reply bytes into SerialExchange, the spot-head reply parsers and
// every spot-head operation. The first byte picks the target; the rest is what the line
// delivers. Buffers are heap blocks of their exact size so that a read or write past them is
// caught by AddressSanitizer.
// Selectors 3 and 4 serve the measuring table: its parsers, then its operations.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "meterio/drivers/measuring_table.h"
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

// Measuring table: the status check, the table and ": 190" parsers, and the key-line search over
// a 255-byte buffer.
void fuzzTableParsers(std::uint8_t control, std::string_view line) {
    std::vector<char> exact(line.begin(), line.end());
    const std::string_view view(exact.data(), exact.size());
    for (auto list :
         {meterio::StatusList::Measurement, meterio::StatusList::Table, meterio::StatusList::Head})
        for (std::string_view prefix : {": 209 128 ", ": 31 ", ": 37 ", ": 190 "})
            (void)meterio::CheckTableStatus(view, prefix, list);
    double values[8];
    const std::uint32_t space = control & 1 ? METERIO_CS_XYZ : METERIO_CS_YXY;
    for (std::uint32_t kind = 0; kind < 3; ++kind)
        (void)meterio::ParseTableMeasurement(view, kind, space, values);
    auto spectrum = std::make_unique<SpectrumRecord>();
    (void)meterio::ParseTableSpectrum(view, *spectrum);
    const std::size_t keyBytes = std::min<std::size_t>(exact.size(), 255);
    auto keyBuffer = std::make_unique<char[]>(keyBytes + 1);
    if (keyBytes != 0) std::memcpy(keyBuffer.get(), exact.data(), keyBytes);
    (void)meterio::TableKeyBit({keyBuffer.get(), keyBytes});
    (void)meterio::TableTextHasKey({keyBuffer.get(), keyBytes}, 1u << (control & 7));
}

// Every table operation over a scripted port that answers each write with the next chunk of the
// input ('~' separates the chunks), so that the drains before the requests find nothing.
void fuzzTable(std::uint8_t control, std::string_view line) {
    SteppingClock clock;
    meterio::TableRecord record;
    record.clock = &clock;
    auto port = std::make_unique<sim::ScriptedPort>();
    port->respond([line](std::string_view) mutable {
        const std::size_t end = line.find('~');
        const std::string chunk(line.substr(0, end));
        line.remove_prefix(end == std::string_view::npos ? line.size() : end + 1);
        return chunk;
    });
    record.port = std::move(port);
    record.colorSpace = control & 0x10 ? METERIO_CS_YXY : METERIO_CS_XYZ;
    record.setUp = static_cast<std::uint8_t>((control >> 5) & 3);
    record.positions[0] = {350, 450};
    int calls = 0;
    const serial::Callback poll = [&calls](std::int32_t) { return ++calls > 40 ? -1 : 0; };
    std::int32_t x = 0, y = 0;
    std::uint8_t key = 0;
    switch (control & 0x0F) {
        case 0:
            (void)meterio::TableSetConditions(record, {4, 6, 2, METERIO_CS_LAB});
            break;
        case 1: {
            meterio::SpotConditions c{};
            (void)meterio::TableGetConditions(record, c);
            break;
        }
        case 2: {
            auto info = std::make_unique<meterio::StageInfoRecord>();
            (void)meterio::TableGetInfo(record, *info);
            break;
        }
        case 3:
        case 4:
        case 5: {
            auto values = std::make_unique<double[]>((control & 0x0F) == 3 ? 3 : 8);
            (void)meterio::TableMeasure(record, static_cast<std::uint32_t>((control & 0x0F) - 3),
                                        poll, values.get());
            break;
        }
        case 6: {
            auto spectrum = std::make_unique<SpectrumRecord>();
            (void)meterio::TableMeasureSpectrum(record, poll, *spectrum);
            break;
        }
        case 7:
            (void)meterio::TableCalibrateWhite(record, poll);
            break;
        case 8:
            (void)meterio::TableWaitKey(record, 0, poll, &key);
            break;
        case 9:
            (void)meterio::TableWaitKeyState(record, control >> 4 & 7, 0, poll);
            break;
        case 10:
            (void)meterio::TableMoveTo(record, control >> 7, 500, 500);
            break;
        case 11:
            (void)meterio::TableMove(record, 0, control & 0x80 ? 3 : 1, (control >> 4) & 7);
            break;
        case 12:
            (void)meterio::TableGetLocation(record, control >> 7, x, y);
            break;
        case 13:
            (void)meterio::TableHoldPaper(record, control & 0x80 ? -1 : 0);
            break;
        default:
            (void)meterio::TableClose(record);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t selector = data[0];
    const std::uint8_t control = data[1];
    const std::string_view line(reinterpret_cast<const char*>(data + 2), size - 2);
    switch (selector % 5) {
        case 0:
            fuzzExchange(control, line);
            break;
        case 1:
            fuzzParsers(line);
            break;
        case 2:
            fuzzSpotHead(control, line);
            break;
        case 3:
            fuzzTableParsers(control, line);
            break;
        default:
            fuzzTable(control, line);
            break;
    }
    return 0;
}
