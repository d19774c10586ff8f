#!/usr/bin/env bash
# Sets up, builds and runs the main job: one measurement with the simulated EyeOne
# measuring CIE illuminant F11 at 500 lx, printed in the terminal.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build/run" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DQEL_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$root/build/run" -j "$(nproc)" --target luxador sim_eye_one >/dev/null
exec "$root/build/run/bin/luxador" --console --simulate F11 --lux 500 </dev/null
