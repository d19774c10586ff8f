#!/usr/bin/env bash
# Sets up and builds the project (the measurement program joins this script once it exists).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build/run" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DQEL_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$root/build/run" -j "$(nproc)" >/dev/null
echo "built into $root/build/run/bin"
