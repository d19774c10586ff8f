// Simulated serial display instruments for the monitor reader: the "&Z" colorimeter (CR-ended
// lines) and the spectrometer (LF-ended lines), each answering from a settable state.
#ifndef SIM_SERIAL_DISPLAY_SIMS_H
#define SIM_SERIAL_DISPLAY_SIMS_H

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "sim/serial/pty_simulator.h"

namespace sim {

struct ColorimeterState {
    // The "Z" answer: ten blank-separated words.
    std::string statusLine =
        "MODE:Yxy CH:00 ZERO:OK RANGE:AUTO SYNC:INT SPEED:N AVG:1 "
        "UNIT:CD TEMP:25 SN:00417";
    double x = 0.3127;
    double y = 0.3290;
    double luminance = 120.0;  // Y in cd/m2
    // Lines sent instead of a command's answer, by command ("E25", "P1 E23", ...).
    std::map<std::string, std::string> errorLines;
};

// Answers on a PtySimulator with terminator "\r". Fault::ErrorStatus answers "E<value>".
class ColorimeterSim final : public LineInstrument {
public:
    std::string answer(std::string_view request, Fault fault, std::uint32_t value) override;

    template <class Change>
    void update(Change&& change) {
        std::lock_guard lock(m_mutex);
        change(m_state);
    }
    ColorimeterState state() const {
        std::lock_guard lock(m_mutex);
        return m_state;
    }

private:
    mutable std::mutex m_mutex;
    ColorimeterState m_state;
};

struct SpectrometerState {
    // Fields of the "STR" answer "OK,m,tt.ttt,0000,00000,o,f": integration mode (4th
    // character), observer index (24th) and a flag (26th, 0 or 1).
    char integrationMode = '0';
    char observerIndex = '0';
    char flag = '0';
    std::string stateLine;  // when set, the whole "STR" answer (no LF)
    // The colour data's nine numbers: 0, L, X, Y, Z (percent), x, y, u', v'.
    std::array<double, 9> colour = {0, 45.6, 9505, 10000, 10890, 0.3127, 0.3290, 0.1978, 0.4683};
    std::vector<double> spectrum = defaultSpectrum();  // 401 values from 380 nm
    double learnedSeconds = 1.0;                       // announced in the first line of "MES,1"
    std::uint32_t measureMs = 20;                      // until "MES,1" ends; kNever: it never does
    // Lines sent instead of a command's answer, by command ("ER12", ...; no LF).
    std::map<std::string, std::string> errorLines;
    // What the instrument saw.
    bool remote = false;
    bool measuring = false;
    std::string lastTiming;  // the last "MMS" command
    std::string lastData;    // the last "BDR" command

    static constexpr std::uint32_t kNever = 0xFFFFFFFFu;
    static std::vector<double> defaultSpectrum();
};

// Answers on a PtySimulator with terminator "\n"; attach() lets "MES,0" stop the end of a
// running measurement. Fault::ErrorStatus answers "ER<value>" then "OK".
class SpectrometerSim final : public LineInstrument {
public:
    void attach(PtySimulator& pty) { m_pty = &pty; }
    std::string answer(std::string_view request, Fault fault, std::uint32_t value) override;
    std::vector<Unsolicited> unsolicited() override;

    template <class Change>
    void update(Change&& change) {
        std::lock_guard lock(m_mutex);
        change(m_state);
    }
    SpectrometerState state() const {
        std::lock_guard lock(m_mutex);
        return m_state;
    }

private:
    enum class Pending { None, Colour, Spectrum };

    mutable std::mutex m_mutex;
    SpectrometerState m_state;
    PtySimulator* m_pty = nullptr;
    Pending m_pending = Pending::None;
    std::size_t m_block = 0;
    std::vector<Unsolicited> m_later;
};

}  // namespace sim

#endif  // SIM_SERIAL_DISPLAY_SIMS_H
