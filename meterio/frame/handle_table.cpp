// Live reader records by 32-bit id; ids are not reused until the counter wraps.
#include "meterio/frame/handle_table.h"

#include <utility>

namespace meterio {

std::uint32_t HandleTable::insert(std::shared_ptr<ReaderRecord> record) {
    std::lock_guard lock(m_mutex);
    std::uint32_t id = m_next;
    while (id == 0 || m_records.contains(id))
        ++id;
    m_next = id + 1;
    m_records.emplace(id, std::move(record));
    return id;
}

std::shared_ptr<ReaderRecord> HandleTable::find(std::uint32_t id) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(id);
    return it == m_records.end() ? nullptr : it->second;
}

void HandleTable::erase(std::uint32_t id, const ReaderRecord* record) {
    std::shared_ptr<ReaderRecord> dropped;  // destroyed outside the lock
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(id);
    if (it != m_records.end() && it->second.get() == record) {
        dropped = std::move(it->second);
        m_records.erase(it);
    }
}

std::size_t HandleTable::size() const {
    std::lock_guard lock(m_mutex);
    return m_records.size();
}

HandleTable& HandleTable::instance() {
    static HandleTable table;
    return table;
}

}  // namespace meterio
