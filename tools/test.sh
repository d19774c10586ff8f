#!/usr/bin/env bash
# Builds everything and runs every test: once in an optimised build, once under
# AddressSanitizer + UndefinedBehaviorSanitizer. Installs missing packages first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${QEL_JOBS:-$(nproc)}

bash "$root/tools/install-deps.sh"

run_suite() {
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -DBUILD_TESTING=ON "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1 ||
    { grep -E -B2 -A8 'error|Error' "$dir.build.log" | head -150; return 1; }
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600)
}

mkdir -p "$root/build"
status=0
echo "== optimised build =="
run_suite "$root/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo || status=1
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite "$root/build/asan" -DCMAKE_BUILD_TYPE=Debug -DQEL_SANITIZE=ON \
    -DQEL_BUILD_BENCHMARKS=OFF || status=1
exit $status
