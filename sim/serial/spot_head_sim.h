// A simulated spot measuring head: answers the head's request lines from its settable state.
#ifndef SIM_SERIAL_SPOT_HEAD_SIM_H
#define SIM_SERIAL_SPOT_HEAD_SIM_H

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "sim/serial/pty_simulator.h"

namespace sim {

// State the head reports.
struct SpotHeadState {
    std::uint32_t headCode = 32;
    std::string model = "SPOTHEAD SH-32 REFL";  // 18 characters are sent
    std::string serial = "SN004711";            // 8 characters
    std::uint32_t numberLow = 0x1234, numberHigh = 0x0002;
    std::string firmware = "2.45";
    std::uint32_t year = 2019, month = 11, day = 28, productionValue = 77;
    // Conditions: density code, flag, illuminant code, observer code, head state.
    std::uint32_t density = 1, flag = 1, illuminant = 3, observer = 0, state = 0;
    // State after the white step ("; 34 9 7").
    std::uint32_t stateAfterWhite = 1;
    // Colorimetric triple sent for head colour-space code S: base + 10 * S.
    std::array<double, 3> colorimetric = {51.25, -3.5, 12.75};
    std::array<double, 4> densities = {0.11, 0.22, 0.33, 0.44};  // d1..d4 as sent
    std::array<double, 36> spectrum{};
    std::uint32_t measurementStatus = 0;
};

class SpotHeadSim final : public LineInstrument {
public:
    // Called from the simulator's answering thread.
    std::string answer(std::string_view request, Fault fault, std::uint32_t value) override;

    // The key reads as pressed after this many further key polls (0: at the next poll).
    void pressKeyAfter(std::uint32_t polls);
    void releaseKey();

    // Changes the reported state under the lock the answering thread takes, e.g.
    // `head.update([](SpotHeadState& s) { s.state = 5; });`.
    template <class Change>
    void update(Change&& change) {
        std::lock_guard lock(m_mutex);
        change(m_state);
    }

    // Reads the state under the same lock, e.g. `head.read([](const SpotHeadState& s) {...})`.
    template <class Read>
    auto read(Read&& reader) {
        std::lock_guard lock(m_mutex);
        return reader(static_cast<const SpotHeadState&>(m_state));
    }

private:
    std::mutex m_mutex;
    SpotHeadState m_state;
    std::int64_t m_pollsUntilPress = -1;  // negative: not pressed
};

}  // namespace sim

#endif  // SIM_SERIAL_SPOT_HEAD_SIM_H
