#!/usr/bin/env bash
# Builds the Debian packages (Release) into build/packages/ and checks them with lintian.
# Arguments are passed to CMake's configure step (tools/test.sh adds -DQEL_WERROR=ON).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${QEL_JOBS:-$(nproc)}
dir=$root/build/package
out=$root/build/packages

bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DBUILD_TESTING=OFF -DQEL_BUILD_BENCHMARKS=OFF "$@" >"$dir.configure.log" 2>&1 ||
  { cat "$dir.configure.log"; exit 1; }
cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1 ||
  { grep -E -B2 -A8 'error|Error' "$dir.build.log" | head -150; exit 1; }
rm -rf "$out"
(cd "$dir" && cpack -G DEB -B "$out") >"$dir.cpack.log" 2>&1 || { cat "$dir.cpack.log"; exit 1; }
rm -rf "$out/_CPack_Packages"
ls "$out"/*.deb
# Errors fail the build; the warnings kept are listed in the README.
lintian --fail-on error "$out"/*.deb
