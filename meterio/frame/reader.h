// The reader record behind a handle.
#ifndef METERIO_FRAME_READER_H
#define METERIO_FRAME_READER_H

#include <cstdint>
#include <memory>

#include "meterio/drivers/driver.h"

namespace meterio {

// State a family keeps beside its driver (a strip or stage definition); families derive from it.
struct FamilyState {
    virtual ~FamilyState() = default;
};

struct ReaderRecord {
    Family family;
    std::uint8_t deviceCode;
    std::unique_ptr<Driver> driver;
    std::unique_ptr<FamilyState> state;  // may be null
};

}  // namespace meterio

#endif  // METERIO_FRAME_READER_H
