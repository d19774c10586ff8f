// Open, close and handle resolution shared by every reader family.
#include "meterio/frame/frame.h"

#include <new>
#include <utility>

namespace meterio::frame {

Result open(OpenRequest request, ReaderHandle* handle) {
    if (handle == nullptr) return Result::GeneralFailure;
    const DriverEntry* entry = nullptr;
    for (const DriverEntry& e : request.drivers)
        if (e.deviceCode == request.deviceCode) entry = &e;
    if (entry == nullptr) return Result::GeneralFailure;

    std::shared_ptr<ReaderRecord> record;
    try {
        record = std::make_shared<ReaderRecord>();
        record->driver = entry->make();
    } catch (const std::bad_alloc&) {
        return Result::NoMemory;
    }
    record->family = request.family;
    record->deviceCode = request.deviceCode;
    record->state = std::move(request.state);
    if (!record->driver) return Result::NoMemory;
    Driver& driver = *record->driver;

    OpenArgs args;
    if (request.portName != nullptr) args.portName = request.portName;
    args.baudRate = request.baudRate;
    args.mode = entry->mode;

    if (const Result r = driver.bind(); r != Result::Ok) return r;
    Progress progress(request.progress);
    if (const Result r = driver.open(args, progress); r != Result::Ok) {
        (void)driver.releaseLibrary();
        return r;
    }
    try {
        *handle = HandleTable::instance().insert(record);
    } catch (const std::bad_alloc&) {
        (void)driver.close();
        (void)driver.releaseLibrary();
        return Result::NoMemory;
    }
    return Result::Ok;
}

Result close(Family family, ReaderHandle handle) {
    const std::shared_ptr<ReaderRecord> record = resolve(family, handle);
    if (!record) return Result::BadHandle;
    const std::lock_guard lock(record->busy);
    if (!isOpen(handle, *record)) return Result::BadHandle;  // closed while this call waited
    // The operation that called back would go on with its library released.
    if (record->activeCalls > 0) return Result::GeneralFailure;
    if (!record->closeFailed) {
        Driver& driver = *record->driver;
        Result r = driver.close();
        if (r != Result::Ok)
            (void)driver.releaseLibrary();
        else
            r = driver.releaseLibrary();
        if (r != Result::Ok) {
            // The driver may have dropped its port or library: only a close may follow.
            record->closeFailed = true;
            return r;
        }
    }
    HandleTable::instance().erase(handle, record.get());
    return Result::Ok;
}

bool isOpen(ReaderHandle handle, const ReaderRecord& record) {
    return HandleTable::instance().find(handle).get() == &record;
}

std::shared_ptr<ReaderRecord> resolve(Family family, ReaderHandle handle) {
    std::shared_ptr<ReaderRecord> record = HandleTable::instance().find(handle);
    if (!record || record->family != family) return nullptr;
    return record;
}

}  // namespace meterio::frame
