// The serial display spectrometer: upper-case commands ending in LF ("RMT,1", "MES,1", "MMS",
// "BDR", "&", "STR"), replies in LF-ended lines. Remote mode holds from open to close.
#ifndef METERIO_DRIVERS_DISPLAY_SPECTROMETER_H
#define METERIO_DRIVERS_DISPLAY_SPECTROMETER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "meterio/drivers/driver.h"
#include "meterio/frame/result.h"
#include "meterio/serial/exchange.h"
#include "meterio32.h"
#include "platform/clock.h"

namespace meterio {

namespace spectrometer {

// Bytes a reply may take; the buffer has one more for a terminator.
inline constexpr std::size_t kReplyCapacity = 256;
// Spectral data: fifteen blocks, 28 values in each of the first fourteen, 9 in the last.
inline constexpr std::size_t kBlocks = 15;
inline constexpr std::size_t kBlockValues = 28;
inline constexpr std::size_t kLastBlockValues = 9;
inline constexpr std::size_t kSpectrumValues = 401;

// "MMS,0" / "MMS,3,1.500".
std::string integrationCommand(std::uint32_t mode, double timeSeconds = 0);
// "BDR,1,<index>,0" (colour data) or "BDR,0,<index>,0" (spectral data).
std::string dataRequest(bool colour, std::uint32_t observerIndex);
// 0 for observer 2, 1 for observer 10.
std::optional<std::uint32_t> observerIndex(std::uint32_t observer);

// Judges a reply: it must begin with "OK" unless `anyReply`; one holding "ER" gives the code of
// the number after its second character. 0, 0x80000005 to 0x80000007 or 0x0FFFFFFF.
Result checkReply(std::string_view reply, bool anyReply = false);

// Reads `values.size()` numbers from a data block, commas counting as blanks; false when it
// holds fewer.
bool readNumbers(std::string_view block, std::span<double> values);

// The time a learning measurement reports: a word of at most three characters, then a number
// of at most six characters.
std::optional<double> learnedTime(std::string_view reply);

// The digit at the 26th character of a state ("STR") reply, when it is 0 or 1.
std::optional<std::uint32_t> stateFlag(std::string_view reply);
// The number that starts at the 24th character of a state reply.
std::optional<std::uint32_t> stateObserverIndex(std::string_view reply);

}  // namespace spectrometer

// The spectrometer's baud rates, in the order they are tried.
inline constexpr std::array<std::uint32_t, 3> kSpectrometerBaudRates = {19200, 4800, 9600};

std::unique_ptr<Driver> makeDisplaySpectrometerDriver();
// With another clock, and a stand-in for opening ports by name.
std::unique_ptr<Driver> makeDisplaySpectrometerDriver(platform::Clock& clock,
                                                      serial::PortOpener openPort);

}  // namespace meterio

#endif  // METERIO_DRIVERS_DISPLAY_SPECTROMETER_H
