// The USB display instrument reached through the vendor library Kmsecs200.dll, which only moves
// text blocks; the driver speaks the instrument's CR LF command language on top of it.
#ifndef METERIO_DRIVERS_KMSECS200_H
#define METERIO_DRIVERS_KMSECS200_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "meterio/drivers/driver.h"
#include "meterio/frame/result.h"
#include "platform/clock.h"

namespace meterio {

// The entry points as the driver calls them: instrument index first; the constant 1 before the
// length or capacity of the transfers.
struct KmsecsApi {
    std::int32_t (*intUsb)(std::int32_t index) = nullptr;  // open
    std::int32_t (*endUsb)(std::int32_t index) = nullptr;  // close
    std::int32_t (*read64Usb)(std::int32_t index, char* buffer, std::int32_t one,
                              std::int32_t capacity) = nullptr;
    std::int32_t (*write64Usb)(std::int32_t index, const char* text, std::int32_t one,
                               std::int32_t length) = nullptr;
    std::int32_t (*getNum)() = nullptr;  // attached instruments
};

// Bytes a reply may hold; the buffer has one more for the terminator.
inline constexpr std::size_t kKmsecsReplyCapacity = 250;
// How long "ER02" (measurement still running) to a data read is retried, and how often.
inline constexpr std::uint32_t kKmsecsMeasureTimeoutMs = 90000;
inline constexpr std::uint32_t kKmsecsRetryMs = 1000;

// Codes of int_usb and end_usb, and of write64_usb and read64_usb.
Result mapKmsecsLinkCode(std::int32_t code);
Result mapKmsecsTransferCode(std::int32_t code);
// The status that begins a reply; shorter replies and unknown statuses are GeneralFailure.
Result mapKmsecsStatus(std::string_view reply);

// The "SPS" command of a speed setting (without CR LF), or nullopt when the pair is refused.
std::optional<std::string> kmsecsSpeedCommand(std::uint32_t mode, std::uint32_t value);

std::unique_ptr<Driver> makeKmsecsDriver();
// The same with another clock for its sleeps and time-outs.
std::unique_ptr<Driver> makeKmsecsDriver(platform::Clock& clock);
// Speaking through `api` instead of the vendor library; bind then does nothing.
std::unique_ptr<Driver> makeKmsecsDriver(const KmsecsApi& api, platform::Clock& clock);

}  // namespace meterio

#endif  // METERIO_DRIVERS_KMSECS200_H
