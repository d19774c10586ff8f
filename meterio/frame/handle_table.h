// Live reader records by 32-bit handle. Pointers do not fit a handle here, so handles are ids:
// a closed, unknown or never-issued id resolves to nothing.
#ifndef METERIO_FRAME_HANDLE_TABLE_H
#define METERIO_FRAME_HANDLE_TABLE_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "meterio/frame/reader.h"

namespace meterio {

class HandleTable {
public:
    // Stores the record and returns its new id (never 0, never one still in use).
    std::uint32_t insert(std::shared_ptr<ReaderRecord> record);
    // The record of `id`, or null. The caller's reference keeps the record alive.
    std::shared_ptr<ReaderRecord> find(std::uint32_t id) const;
    // Drops `id` if it still refers to `record`.
    void erase(std::uint32_t id, const ReaderRecord* record);
    std::size_t size() const;

    // The library's one table.
    static HandleTable& instance();

private:
    mutable std::mutex m_mutex;
    std::unordered_map<std::uint32_t, std::shared_ptr<ReaderRecord>> m_records;
    std::uint32_t m_next = 1;
};

}  // namespace meterio

#endif  // METERIO_FRAME_HANDLE_TABLE_H
