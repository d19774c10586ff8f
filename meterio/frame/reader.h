// The reader record behind a handle.
#ifndef METERIO_FRAME_READER_H
#define METERIO_FRAME_READER_H

#include <cstdint>
#include <memory>
#include <mutex>

#include "meterio/drivers/driver.h"

namespace meterio {

// State a family keeps beside its driver (a strip or stage definition); families derive from it.
struct FamilyState {
    virtual ~FamilyState() = default;
};

struct ReaderRecord {
    Family family = Family::Ambient;
    std::uint8_t deviceCode = 0;
    std::unique_ptr<Driver> driver;
    std::unique_ptr<FamilyState> state;  // may be null

    // Held by every operation and by close, so that a close from another thread never releases
    // the vendor library under a running operation. Recursive so that a progress callback that
    // calls into the same reader finds `activeCalls` set and is refused instead of deadlocking:
    // the nested call would share the driver's port and reply buffer with the waiting one.
    std::recursive_mutex busy;
    int activeCalls = 0;       // operations running on the reader, guarded by `busy`
    bool closeFailed = false;  // a close failed: operations are refused, the next close frees
};

}  // namespace meterio

#endif  // METERIO_FRAME_READER_H
