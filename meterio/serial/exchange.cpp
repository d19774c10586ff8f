// Command / reply exchange and the instrument search over ports and baud rates.
#include "meterio/serial/exchange.h"

#include <algorithm>
#include <cstring>

#include "meterio/frame/result.h"
#include "meterio32.h"

namespace meterio::serial {
namespace {

constexpr std::int32_t kIdleTurn = -100;
constexpr std::int32_t kPoll = -1;
constexpr std::int32_t kStop = -1;
// An empty turn of a reply wait sleeps on the port this long (or until a byte arrives).
constexpr std::uint32_t kEmptyTurnWaitMs = 1;
// Deadlines are compared as wrapping 32-bit ticks; longer waits are cut to this.
constexpr std::uint32_t kLongestWaitMs = 0x7FFFFFFFu;

bool deadlinePassed(std::uint32_t deadline, std::uint32_t now) {
    return static_cast<std::int32_t>(deadline - now) < 0;
}

bool stopRequested(const Callback& poll) {
    return poll && poll(kPoll) == kStop;
}

}  // namespace

Result SerialExchange(platform::SerialPort& port, std::string_view command,
                      std::string_view pattern, std::uint32_t requiredCount, std::size_t capacity,
                      std::uint8_t* reply, std::uint32_t timeoutMs, std::uint32_t delayMs,
                      const Callback& idle, platform::Clock& clock, IdleStop stop) {
    const bool sent = !command.empty();
    if (sent &&
        !SerialWrite(port, command.size(), reinterpret_cast<const std::uint8_t*>(command.data())))
        return Result::CommunicationError;
    if (pattern.empty()) return Result::Ok;
    if (delayMs != 0) clock.sleepMs(delayMs);

    const std::uint32_t deadline = clock.tickMs() + std::min(timeoutMs, kLongestWaitMs);
    std::size_t received = 0;
    std::uint32_t found = 0;
    do {
        if (received >= capacity) return Result::CommunicationError;
        std::size_t got = 0;
        if (!SerialRead(port, 0, 1, reply + received, &got)) return Result::CommunicationError;
        if (got != 0) {
            received += got;
            // Each new byte can complete at most one occurrence, the one ending with it.
            if (received >= pattern.size() &&
                std::memcmp(reply + received - pattern.size(), pattern.data(), pattern.size()) == 0)
                ++found;
        }
        if (received >= pattern.size() && found == requiredCount) return Result::Ok;
        if (idle && idle(kIdleTurn) == kStop && stop == IdleStop::MinusOneStops)
            return Result::Cancelled;
        // Never 0 ms: a zero wait in the last millisecond before the deadline would spin.
        if (got == 0) port.waitReadable(kEmptyTurnWaitMs);
    } while (!deadlinePassed(deadline, clock.tickMs()));

    if (received != 0) return Result::CommunicationError;
    return sent ? Result::NoInstrument : Result::Ok;
}

Result SerialFindInstrument(SerialRecord& record, std::string_view portName, std::uint32_t baudRate,
                            const Callback& poll, const Probe& probe,
                            std::span<const std::uint32_t> rates) {
    if (stopRequested(poll)) return Result::Cancelled;
    if (baudRate != 0) rates = std::span<const std::uint32_t>(&baudRate, 1);

    Port port;
    std::string foundName;
    std::uint32_t foundRate = 0;
    Result result = Result::NoInstrument;

    if (!portName.empty()) {
        // Drivers hold port names in 32-byte buffers.
        if (portName.size() >= kPortNameSize) return Result::GeneralFailure;
        for (const std::uint32_t rate : rates) {
            if (stopRequested(poll)) return Result::Cancelled;
            result = probe(portName, rate, poll, port);
            if (result == Result::Ok) {
                foundName = portName;
                foundRate = rate;
            }
            if (result == Result::Ok || result == Result::Cancelled) break;
        }
        if (result != Result::Ok) {
            SerialClose(port);
            return result;
        }
    } else {
        PortList ports;
        if (!SerialEnumPorts(kKindCom, ports) || ports.empty()) return Result::NoPort;
        for (const std::uint32_t rate : rates) {
            for (const auto& name : ports) {
                if (name.size() >= kPortNameSize) return Result::GeneralFailure;
                if (stopRequested(poll)) return Result::Cancelled;
                result = probe(name, rate, poll, port);
                if (result == Result::Cancelled) {
                    SerialClose(port);
                    return Result::Cancelled;
                }
                if (result == Result::Ok) {
                    foundName = name;
                    foundRate = rate;
                    break;
                }
            }
            if (result == Result::Ok) break;
        }
        if (result != Result::Ok) {
            SerialClose(port);
            return Result::NoInstrument;
        }
    }

    if (stopRequested(poll)) {
        SerialClose(port);
        return Result::Cancelled;
    }
    std::memset(record.portName, 0, sizeof record.portName);
    std::memcpy(record.portName, foundName.data(), foundName.size());
    record.baudRate = foundRate;
    record.port = std::move(port);
    record.colorSpace = METERIO_CS_LAB;
    record.reserved.fill(0);
    return Result::Ok;
}

}  // namespace meterio::serial
