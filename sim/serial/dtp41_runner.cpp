// Puts the simulated DTP41 on a pseudo-terminal for programs that use the strip reader:
// prints the QEL_SERIAL_PORTS value to use, pulls a strip through whenever a line is read from
// standard input, and stops at the end of input.
//   dtp41-sim [baud rate (0 = any)] [patches per strip]
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "sim/serial/dtp41_sim.h"
#include "sim/serial/pty_simulator.h"

int main(int argc, char** argv) {
    const auto rate = static_cast<std::uint32_t>(argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 0);
    const std::size_t patches = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 12;
    if (patches < 1 || patches > 100) {
        std::fprintf(stderr, "usage: dtp41-sim [baud rate] [patches 1..100]\n");
        return 2;
    }
    sim::Dtp41Sim dtp41;
    dtp41.update([&](sim::Dtp41State& s) { s.strip = sim::makeStrip(patches); });
    sim::PtySimulator pty(dtp41, rate);
    if (!pty.start()) {
        std::fprintf(stderr, "dtp41-sim: no pseudo-terminal\n");
        return 1;
    }
    std::printf("QEL_SERIAL_PORTS=%s QEL_SERIAL_SCAN=0\n", pty.devicePath().c_str());
    std::printf("Enter pulls a strip of %zu patches; end of input stops.\n", patches);
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {
        dtp41.pullStrip();
        std::printf("strip pulled (%zu requests so far)\n", pty.requestCount());
        std::fflush(stdout);
    }
    return 0;
}
