// A simulated DTP41 strip instrument: answers its command lines from a settable state and
// reports a strip reading that a test starts by "pulling" a strip through.
#ifndef SIM_SERIAL_DTP41_SIM_H
#define SIM_SERIAL_DTP41_SIM_H

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "sim/serial/pty_simulator.h"

namespace sim {

// One measured patch, in the units the instrument sends.
struct Dtp41Patch {
    std::array<double, 3> lab{};
    std::array<double, 3> xyz{};        // percent
    std::array<double, 4> densities{};  // d1..d4 as sent
    std::array<double, 31> spectrum{};  // percent, 400 to 700 nm
};

// `count` patches whose values all differ from patch to patch.
std::vector<Dtp41Patch> makeStrip(std::size_t count);

struct Dtp41State {
    std::vector<Dtp41Patch> strip = makeStrip(12);  // the next strip pulled through
    std::uint32_t readingMs = 40;     // from the reported start of a reading to its end
    bool readingCompletes = true;     // false: the reading never ends
    std::uint32_t readingStatus = 0;  // status of the end, "<00>" CR LF when 0
    std::size_t endPieces = 1;        // the end arrives in this many pieces, readingMs apart
    std::map<std::size_t, std::string> replacedLines;  // transfer lines sent instead (no CR LF)
    std::string errorText;               // when set, the answer of "xe" instead of the code
    std::uint32_t serialNumber = 41017;  // "00sn"
    std::uint32_t secondNumber = 4242;   // "04sn"
    std::string bootVersion = "BOOTCODE V1.08B12";   // date at 13: 1998-11-12
    std::string softVersion = "FIRMWARE V2.059C03";  // date at 14: 1999-12-03
    // Configuration registers: D50 with 2 degrees, ANSI T, Lab until written.
    std::map<std::uint8_t, std::uint8_t> registers{{0x16, 0x04}, {0x17, 0x03}, {0x18, 0x04}};
    std::string definition;  // last "ds" command
};

class Dtp41Sim final : public LineInstrument {
public:
    // Called from the simulator's answering thread.
    std::string answer(std::string_view request, Fault fault, std::uint32_t value) override;
    std::vector<Unsolicited> unsolicited() override;

    // The strip is pulled: the next "br" reports a reading, which ends `readingMs` after
    // the instrument was asked for its error, and its patches can then be transferred.
    void pullStrip();

    template <class Change>
    void update(Change&& change) {
        std::lock_guard lock(m_mutex);
        change(m_state);
    }
    Dtp41State state() const {
        std::lock_guard lock(m_mutex);
        return m_state;
    }

private:
    enum class Phase { Idle, Pulled, Reported };

    mutable std::mutex m_mutex;
    Dtp41State m_state;
    Phase m_phase = Phase::Idle;
    std::vector<Dtp41Patch> m_measured;  // the last strip read
    std::uint32_t m_lastError = 0;
    std::vector<Unsolicited> m_later;
};

}  // namespace sim

#endif  // SIM_SERIAL_DTP41_SIM_H
