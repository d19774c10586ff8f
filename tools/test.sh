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
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600) 2>&1 | tee "$dir.ctest.log"
  local rc=${PIPESTATUS[0]} failed=0 total=0
  # "N% tests passed, F tests failed out of T" -> running totals for the closing line.
  read -r failed total < <(sed -n -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1 \2/p' \
    "$dir.ctest.log" | tail -n 1)
  total_passed=$((total_passed + ${total:-0} - ${failed:-0}))
  total_failed=$((total_failed + ${failed:-0}))
  return "$rc"
}
total_passed=0
total_failed=0

mkdir -p "$root/build"
status=0
echo "== optimised build =="
run_suite "$root/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo || status=1
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite "$root/build/asan" -DCMAKE_BUILD_TYPE=Debug -DQEL_SANITIZE=ON \
    -DQEL_BUILD_BENCHMARKS=OFF || status=1
echo "== fuzzing: serial replies (libFuzzer, ${QEL_FUZZ_SECONDS:-60} s) =="
run_fuzz() {
  local dir=$root/build/fuzz
  CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_TESTING=OFF -DQEL_BUILD_BENCHMARKS=OFF -DQEL_BUILD_GUI=OFF -DQEL_BUILD_FUZZERS=ON \
    >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" --target serial_reply_fuzz -j "$jobs" >"$dir.build.log" 2>&1 ||
    { grep -E -B2 -A8 'error|Error' "$dir.build.log" | head -150; return 1; }
  mkdir -p "$dir/corpus/serial_reply"
  # New inputs go to the build tree; the seeds in tests/fuzz/corpus are only read.
  "$dir/bin/serial_reply_fuzz" -max_total_time="${QEL_FUZZ_SECONDS:-60}" -print_final_stats=1 \
    -artifact_prefix="$dir/" "$dir/corpus/serial_reply" "$root/tests/fuzz/corpus" \
    >"$dir/serial_reply.log" 2>&1 || { tail -60 "$dir/serial_reply.log"; return 1; }
  grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$dir/serial_reply.log"
}
run_fuzz || status=1
if [ "$status" -ne 0 ] && [ "$total_failed" -eq 0 ]; then
  total_failed=1  # a build, configure or fuzz failure counts as a failed suite
fi
echo "tests: $total_passed passed, $total_failed failed"
exit $status
