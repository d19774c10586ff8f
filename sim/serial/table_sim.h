// A simulated measuring table carrying the simulated spot head: answers the table's "; 208"
// requests and the head's output set-up and measurement itself, and hands the other head
// requests to the head.
#ifndef SIM_SERIAL_TABLE_SIM_H
#define SIM_SERIAL_TABLE_SIM_H

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "sim/serial/pty_simulator.h"
#include "sim/serial/spot_head_sim.h"

namespace sim {

// What the ": 190" line after "; 32" looks like.
enum class MeasureLine { Normal, Garbled, Short, Missing };

struct TableState {
    std::int32_t x = 0, y = 0;
    bool paperHeld = false;
    std::uint32_t tableStatus = 0;    // in every ": 209 128 " answer
    std::uint32_t headStatus = 0;     // in the ": 31 " answers to "; 177"
    std::uint32_t startStatus = 0;    // in the ": 37 " answer to "; 32"
    std::uint32_t measureStatus = 0;  // the last field of the ": 190" line
    MeasureLine measureLine = MeasureLine::Normal;
    bool dropMoveSecondAnswer = false;  // "; 208 4" after a move goes unanswered
    bool silent = false;                // no table command is answered
    // Information.
    std::string model = "XYTABLE MT-3101 AB";  // 18 characters are sent
    std::uint32_t numberLow = 0x0815, numberHigh = 0x0003;
    std::string secondText = "TB000815";
    std::uint32_t day = 14, month = 3, year = 2018;
    std::string version = "1.25";
    // Output the head has been set to by "; 177".
    bool colourOut = true, densityOut = false, spectrumOut = false;
    std::uint32_t colourCode = 2;
};

class TableSim final : public LineInstrument {
public:
    std::string answer(std::string_view request, Fault fault, std::uint32_t value) override;
    std::vector<Unsolicited> unsolicited() override;

    // The table reports key bit `bit` `afterMs` after the next "; 208 22".
    void pressKey(std::uint32_t bit, std::uint32_t afterMs = 0);

    SpotHeadSim& head() { return m_head; }

    template <class Change>
    void update(Change&& change) {
        std::lock_guard lock(m_mutex);
        change(m_state);
    }
    template <class Read>
    auto read(Read&& reader) {
        std::lock_guard lock(m_mutex);
        return reader(static_cast<const TableState&>(m_state));
    }

private:
    std::string tableAnswer(std::string_view request, Fault fault, std::uint32_t value);
    std::string measurement();

    SpotHeadSim m_head;
    std::mutex m_mutex;
    TableState m_state;
    std::string m_lastRequest;
    std::uint32_t m_keyBit = 0, m_keyAfterMs = 0;
    bool m_keyPending = false;
};

// Answers every CR LF-terminated request in `written`, unsolicited output included at once:
// the responder of a ScriptedPort standing in for the line.
std::string answerWritten(LineInstrument& instrument, std::string_view written);

}  // namespace sim

#endif  // SIM_SERIAL_TABLE_SIM_H
