// libFuzzer target: arbitrary reply bytes into SerialExchange, the spot-head reply parsers,
// every spot-head operation and every operation of the USB display instrument, the DTP41, the
// serial display instruments and the measuring table. The first byte picks the target; the
// rest is what the line delivers. Buffers are heap blocks of their exact size so that a read
// or write past them is caught by AddressSanitizer.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "meterio/drivers/display_colorimeter.h"
#include "meterio/drivers/display_spectrometer.h"
#include "meterio/drivers/dtp41.h"
#include "meterio/drivers/kmsecs200.h"
#include "meterio/drivers/measuring_table.h"
#include "meterio/drivers/spot_head.h"
#include "meterio/serial/exchange.h"
#include "meterio/serial/spot_protocol.h"
#include "sim/serial/scripted_port.h"
#include "tests/support/stand_in_port.h"

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

// DTP41: every answer parser over an exact copy of the line.
void fuzzDtp41Parsers(std::uint8_t control, std::string_view line) {
    namespace dtp41 = meterio::dtp41;
    std::vector<char> exact(line.begin(), line.end());
    const std::string_view view(exact.data(), exact.size());
    (void)dtp41::answerOk(view);
    (void)dtp41::leadingHex(view);
    (void)dtp41::leadingDecimal(view);
    (void)dtp41::errorQueryResult(view);
    (void)dtp41::dateAt(view, control & 0x1F);
    std::vector<double> values(1 + control % dtp41::kSpectrumValues);
    (void)dtp41::parseLine(view, values);
    const std::uint32_t capacity = control & 0x3F;
    auto out = std::make_unique<double[]>(capacity * 4 + 1);
    const std::size_t perLine = control & 0x80 ? dtp41::kSpectrumValues : 3 + ((control >> 6) & 1);
    (void)dtp41::parseTransfer(view, perLine, capacity,
                               [&](std::uint32_t i, std::span<const double> v) {
                                   if (i >= capacity) __builtin_trap();
                                   out[i * 4] = v[0];
                               });
}

// DTP41: each operation over a port whose answers come one per command, split at 0xFF bytes,
// with a fuzzed capacity and result buffers of exactly that size.
void fuzzDtp41(std::uint8_t control, std::uint8_t capacityByte, std::string_view line) {
    SteppingClock clock;
    meterio::Dtp41Record record;
    record.clock = &clock;
    auto port = std::make_unique<sim::ScriptedPort>();
    for (std::size_t begin = 0; begin <= line.size();) {
        const std::size_t end = std::min(line.find('\xFF', begin), line.size());
        port->answerWrite(line.substr(begin, end - begin));
        begin = end + 1;
    }
    if (control & 0x80) port->failReadsAfter(capacityByte);
    record.port = std::move(port);
    record.colorSpace = control & 0x40 ? METERIO_CS_XYZ : METERIO_CS_LAB;
    const serial::Callback poll = [](std::int32_t) { return 0; };
    const std::uint32_t capacity = capacityByte % 128;
    const std::uint32_t kind = (control >> 4) & 3;
    std::uint32_t count = 0;
    switch (control & 0x0F) {
        case 0:
            (void)meterio::Dtp41Initialise(record, poll);
            break;
        case 1:
            (void)meterio::Dtp41ErrorQuery(record);
            break;
        case 2:
            (void)meterio::Dtp41DefineStrip(record, {5, 70, 70, capacityByte});
            break;
        case 3:
            (void)meterio::Dtp41SetParam(record, {4, 23, 10, METERIO_CS_XYZ});
            break;
        case 4: {
            MeasureParams params{};
            (void)meterio::Dtp41GetParam(record, params);
            break;
        }
        case 5: {
            auto info = std::make_unique<meterio::StripInfoRecord>();
            (void)meterio::Dtp41GetInfo(record, *info);
            break;
        }
        case 6:
            (void)meterio::Dtp41CalibrateWhite(record, poll);
            break;
        case 7: {
            std::uint8_t taken = 0;
            (void)meterio::Dtp41WaitReading(record, 3000, 0, -1, 1000, poll, &taken);
            break;
        }
        case 8:
            (void)meterio::Dtp41WaitReadingState(record, meterio::kNoTimeout, 0, 0, 0,
                                                 capacityByte & 1, poll);
            break;
        case 9:
        case 10: {
            const std::size_t doubles = kind == 2 ? 8 : 4;
            auto results = std::make_unique<double[]>(capacity * doubles);
            (void)meterio::Dtp41ScanStrip(record, kind, capacity, poll, &count, results.get());
            break;
        }
        case 11: {
            auto spectra = std::make_unique<SpectrumRecord[]>(capacity);
            (void)meterio::Dtp41ScanStripSpectra(record, capacity, poll, &count, spectra.get());
            break;
        }
        case 12:
        case 13: {
            auto result = std::make_unique<double[]>(kind == 2 ? 8 : 4);
            (void)meterio::Dtp41ReadPatch(record, kind, capacity, capacityByte >> 1, poll,
                                          result.get());
            break;
        }
        default: {
            auto spectrum = std::make_unique<SpectrumRecord>();
            (void)meterio::Dtp41ReadPatchSpectrum(record, capacity, capacityByte >> 1, poll,
                                                  *spectrum);
            break;
        }
    }
}

// The serial display instruments: their parsers over an exact copy of the line, then open and
// one operation over a line whose answers come one per command, split at 0xFF bytes.
void fuzzDisplayParsers(std::string_view line) {
    std::vector<char> exact(line.begin(), line.end());
    const std::string_view view(exact.data(), exact.size());
    namespace cm = meterio::colorimeter;
    namespace sp = meterio::spectrometer;
    const cm::ReplyLines lines = cm::splitLines(view);
    for (const char* command : {"H1", "F1&Z", "Z", "S3&Z"})
        (void)cm::checkReply(lines.view(), command);
    (void)cm::parseReading(view);
    DisplayColorimeterInfo info{};
    (void)cm::splitStatus(view, info);
    (void)sp::checkReply(view, true);
    (void)sp::checkReply(view, false);
    (void)sp::learnedTime(view);
    (void)sp::stateFlag(view);
    (void)sp::stateObserverIndex(view);
    std::array<double, sp::kBlockValues> values{};
    (void)sp::readNumbers(view, values);
}

void fuzzDisplay(bool spectrometer, std::uint8_t control, std::string_view line) {
    testsupport::StepClock clock(97);
    testsupport::StandInLine stand;
    for (std::size_t begin = 0; begin <= line.size();) {
        const std::size_t end = std::min(line.find('\xFF', begin), line.size());
        stand.script.answerWrite(line.substr(begin, end - begin));
        begin = end + 1;
    }
    if (control & 0x80) stand.script.failReadsAfter(control & 0x3F);
    const std::unique_ptr<meterio::Driver> driver =
        spectrometer ? meterio::makeDisplaySpectrometerDriver(clock, stand.opener())
                     : meterio::makeDisplayColorimeterDriver(clock, stand.opener());
    meterio::Progress progress(nullptr);
    meterio::OpenArgs args;
    args.portName = "COM1";
    args.baudRate = (control & 0x40) ? 0 : 9600;
    (void)driver->open(args, progress);
    switch (control & 0x07) {
        case 0: {
            auto record = std::make_unique<ColorantRecord>();
            (void)driver->readValues(meterio::ReadRequest{}, progress, record.get());
            break;
        }
        case 1: {
            auto spectrum = std::make_unique<SpectrumRecord>();
            (void)driver->readSpectra(meterio::ReadRequest{}, progress, spectrum.get());
            break;
        }
        case 2:
            (void)driver->calibrateBlack(progress);
            break;
        case 3: {
            auto info = std::make_unique<DeviceInfo>();
            (void)driver->getInfo(*info);
            break;
        }
        case 4: {
            MeasureParams params{};
            (void)driver->getParams(params);
            (void)driver->setParams(MeasureParams{4, 6, 10, METERIO_CS_YXY});
            break;
        }
        case 5: {
            // A learning measurement.
            IntegrationRecord integration{0.04, 4};
            (void)driver->setParamsEx(&integration);
            auto record = std::make_unique<ColorantRecord>();
            (void)driver->readValues(meterio::ReadRequest{}, progress, record.get());
            break;
        }
        default:
            break;
    }
    (void)driver->close();
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
    switch (selector % 10) {
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
            fuzzUsbInstrument(control, line);
            break;
        case 4:
            fuzzDtp41Parsers(control, line);
            break;
        case 5:
            if (!line.empty())
                fuzzDtp41(control, static_cast<std::uint8_t>(line[0]), line.substr(1));
            break;
        case 6:
            fuzzDisplayParsers(line);
            break;
        case 7:
            fuzzDisplay(control & 0x08, control, line);
            break;
        case 8:
            fuzzTableParsers(control, line);
            break;
        default:
            fuzzTable(control, line);
            break;
    }
    return 0;
}
