// The frame every exported reader function runs: open, close, and dispatch through a handle.
#ifndef METERIO_FRAME_FRAME_H
#define METERIO_FRAME_FRAME_H

#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>

#include "meterio/drivers/driver.h"
#include "meterio/frame/handle_table.h"
#include "meterio/frame/reader.h"
#include "meterio/frame/result.h"
#include "meterio32.h"

namespace meterio::frame {

struct OpenRequest {
    Family family;
    std::span<const DriverEntry> drivers;  // the family's device-code table
    std::uint8_t deviceCode;
    const char* portName;  // may be null or empty
    std::uint32_t baudRate;
    ProgressCallback progress;           // may be null
    std::unique_ptr<FamilyState> state;  // may be null
};

// Makes the driver of the device code, binds and opens it, and hands out a handle. An unknown
// code gives GeneralFailure; any failure leaves nothing loaded and no record.
Result open(OpenRequest request, ReaderHandle* handle);

// Closes the driver and releases its vendor library. When either fails the handle stays valid,
// every operation on it gives GeneralFailure, and the next close frees the record without
// calling the driver again. Waits for an operation running on the reader in another thread;
// a close from within an operation's own progress callback is refused with GeneralFailure.
Result close(Family family, ReaderHandle handle);

// The record of `handle` when it is open and belongs to `family`, else null.
std::shared_ptr<ReaderRecord> resolve(Family family, ReaderHandle handle);
// True while `handle` still refers to `record`.
bool isOpen(ReaderHandle handle, const ReaderRecord& record);

// Resolves the handle (BadHandle when it does not resolve in this family) and runs `fn` on the
// reader's driver, or on the whole record when `fn` takes a ReaderRecord&; returns its result.
// GeneralFailure, without running `fn`, from within an operation's callback on the same reader
// and after a failed close.
template <typename Fn>
Result run(ReaderHandle handle, Family family, Fn&& fn) {
    const std::shared_ptr<ReaderRecord> record = resolve(family, handle);
    if (!record) return Result::BadHandle;
    const std::lock_guard lock(record->busy);
    if (!isOpen(handle, *record)) return Result::BadHandle;  // closed while this call waited
    if (record->activeCalls > 0 || record->closeFailed) return Result::GeneralFailure;
    struct Active {
        int& calls;
        explicit Active(int& c) : calls(++c) {}
        ~Active() { --calls; }
    } active(record->activeCalls);
    if constexpr (std::is_invocable_v<Fn, ReaderRecord&>)
        return fn(*record);
    else
        return fn(*record->driver);
}

}  // namespace meterio::frame

#endif  // METERIO_FRAME_FRAME_H
