// spot-head-sim: the simulated spot head on a pseudo-terminal, for demos without hardware.
// Prints the settings that point the instrument library at it, then answers until
// interrupted. Usage: spot-head-sim [--press-after POLLS]
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>

#include "sim/serial/spot_head_sim.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void onSignal(int) {
    g_stop = true;
}

}  // namespace

int main(int argc, char** argv) {
    long pressAfter = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        char* end = nullptr;
        if (arg == "--press-after" && i + 1 < argc &&
            (pressAfter = std::strtol(argv[i + 1], &end, 10)) >= 0 && *end == 0) {
            ++i;
            continue;
        }
        std::cerr << "usage: spot-head-sim [--press-after POLLS]\n";
        return 2;
    }
    sim::SpotHeadSim head;
    if (pressAfter >= 0) head.pressKeyAfter(static_cast<std::uint32_t>(pressAfter));
    sim::PtySimulator line(head);
    if (!line.start()) {
        std::cerr << "spot-head-sim: cannot create a pseudo-terminal\n";
        return 1;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::cout << "QEL_SERIAL_PORTS=" << line.devicePath() << "\nQEL_SERIAL_SCAN=0\n" << std::flush;
    while (!g_stop)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    line.stop();
    return 0;
}
