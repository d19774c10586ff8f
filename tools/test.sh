#!/usr/bin/env bash
# Builds everything and runs every test: once in an optimised build, once under
# AddressSanitizer + UndefinedBehaviorSanitizer, the threaded suites under ThreadSanitizer;
# then a Release build of what is shipped, and a fuzzing run. Warnings are errors here.
# Installs missing packages first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${QEL_JOBS:-$(nproc)}

bash "$root/tools/install-deps.sh"

run_suite() {
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -DBUILD_TESTING=ON -DQEL_WERROR=ON "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1 ||
    { grep -E -B2 -A8 'error|Error' "$dir.build.log" | head -150; return 1; }
  # Twice as many tests as cores: many spend their time waiting on simulated instruments.
  (cd "$dir" && ctest --output-on-failure -j "$((jobs * 2))" --timeout 600) 2>&1 |
    tee "$dir.ctest.log"
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

run_optimised() {
  run_suite "$root/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
}

run_asan() {
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite "$root/build/asan" -DCMAKE_BUILD_TYPE=Debug -DQEL_SANITIZE=ON \
      -DQEL_BUILD_BENCHMARKS=OFF
}

# Test programs whose threads meet (simulators, reply waits, progress callbacks), run under
# ThreadSanitizer. Add a target here to cover it.
tsan_tests=(
  meterio_serial_tests meterio_spot_reader_tests meterio_tests meterio_frame_tests
  meterio_kmsecs200_tests meterio_display_tests meterio_table_tests
  app_tests app_road_tests luxador_tests chromel_tests
)
run_tsan() {
  local dir=$root/build/tsan rc=0
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DQEL_SANITIZE_THREAD=ON -DQEL_WERROR=ON \
    -DBUILD_TESTING=ON -DQEL_BUILD_BENCHMARKS=OFF -DQEL_BUILD_GUI=OFF \
    -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j "$jobs" --target "${tsan_tests[@]}" >"$dir.build.log" 2>&1 ||
    { grep -E -B2 -A8 'error|Error' "$dir.build.log" | head -150; return 1; }
  local t log passed failed
  # The programs run side by side, two per core; each leaves its log and exit status.
  rm -f "$dir"/*.status
  for t in "${tsan_tests[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$((jobs * 2))" ]; do wait -n || true; done
    # A race report fails the program (exit 66) even when every test in it passed.
    (TSAN_OPTIONS="halt_on_error=0 exitcode=66 second_deadlock_stack=1" \
      "$dir/bin/$t" >"$dir/$t.log" 2>&1; echo $? >"$dir/$t.status") &
  done
  wait
  for t in "${tsan_tests[@]}"; do
    log=$dir/$t.log
    if [ "$(cat "$dir/$t.status")" = 0 ]; then
      failed=0
    else
      rc=1
      sed -n -E '/WARNING: ThreadSanitizer|\[  FAILED  \]/,+12p' "$log" | head -80
      failed=$(sed -n -E 's/^\[  FAILED  \] ([0-9]+) tests?, listed below.*/\1/p' "$log")
      failed=${failed:-1}
    fi
    passed=$(sed -n -E 's/^\[  PASSED  \] ([0-9]+) tests?\..*/\1/p' "$log")
    echo "$t: ${passed:-0} passed, $failed failed$(grep -q 'WARNING: ThreadSanitizer' "$log" &&
      echo ', data race reported')"
    total_passed=$((total_passed + ${passed:-0}))
    total_failed=$((total_failed + failed))
  done
  return "$rc"
}

# What is shipped, built as a distribution would build it (its tests ran above): the Debian
# packages, checked by lintian and installed into a scratch root. Without the Debian tools
# only the build is checked.
run_release() {
  if command -v dpkg-shlibdeps >/dev/null && command -v lintian >/dev/null; then
    if bash "$root/tools/package.sh" -DQEL_WERROR=ON &&
        bash "$root/tests/package/check_packages.sh" "$root/build/packages"; then
      total_passed=$((total_passed + 1))
      return 0
    fi
    total_failed=$((total_failed + 1))
    return 1
  fi
  echo "package test SKIPPED: dpkg-shlibdeps or lintian is missing; building only"
  local dir=$root/build/package
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DQEL_WERROR=ON -DBUILD_TESTING=OFF \
    -DQEL_BUILD_BENCHMARKS=OFF >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1 ||
    { grep -E -B2 -A8 'error|Error' "$dir.build.log" | head -150; return 1; }
  echo "Release build of the libraries and the program: no warning"
}

run_fuzz() {
  local dir=$root/build/fuzz
  CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_TESTING=OFF -DQEL_BUILD_BENCHMARKS=OFF -DQEL_BUILD_GUI=OFF -DQEL_BUILD_FUZZERS=ON \
    -DQEL_WERROR=ON \
    >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" --target serial_reply_fuzz -j "$jobs" >"$dir.build.log" 2>&1 ||
    { grep -E -B2 -A8 'error|Error' "$dir.build.log" | head -150; return 1; }
  mkdir -p "$dir/corpus/serial_reply"
  # New inputs go to the build tree; the seeds in tests/fuzz/corpus are only read.
  "$dir/bin/serial_reply_fuzz" -max_total_time="${QEL_FUZZ_SECONDS:-30}" -print_final_stats=1 \
    -artifact_prefix="$dir/" "$dir/corpus/serial_reply" "$root/tests/fuzz/corpus" \
    >"$dir/serial_reply.log" 2>&1 || { tail -60 "$dir/serial_reply.log"; return 1; }
  grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$dir/serial_reply.log"
}

# Runs one pass under a heading and says how long it took.
pass() {
  local title=$1 start=$SECONDS rc=0
  shift
  echo "== $title =="
  "$@" || rc=1
  echo "-- $title: $((SECONDS - start)) s"
  return "$rc"
}

mkdir -p "$root/build"
status=0
pass "optimised build" run_optimised || status=1
pass "AddressSanitizer + UndefinedBehaviorSanitizer build" run_asan || status=1
pass "ThreadSanitizer: ${tsan_tests[*]}" run_tsan || status=1
pass "Release build and Debian packages" run_release || status=1
pass "fuzzing: serial replies (libFuzzer, ${QEL_FUZZ_SECONDS:-30} s)" run_fuzz || status=1
if [ "$status" -ne 0 ] && [ "$total_failed" -eq 0 ]; then
  total_failed=1  # a build, configure or fuzz failure counts as a failed suite
fi
echo "tests: $total_passed passed, $total_failed failed"
exit $status
