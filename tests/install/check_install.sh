#!/usr/bin/env bash
# Installs the build into a scratch prefix, then builds and runs consumers of each
# installed library with pkg-config and with find_package.
set -euo pipefail
here=$1
prefix=$QEL_SCRATCH/prefix
rm -rf "$QEL_SCRATCH"
mkdir -p "$QEL_SCRATCH"
cmake --install "$QEL_BUILD_DIR" --prefix "$prefix" >/dev/null

libdir=$prefix/lib
[ -d "$prefix/lib64" ] && libdir=$prefix/lib64
export PKG_CONFIG_PATH=$libdir/pkgconfig
export LD_LIBRARY_PATH=$libdir

for lib in $(cd "$here/consumers" && ls *.c | sed 's/_consumer\.c$//'); do
  soname=$(objdump -p "$libdir/lib$lib.so" | awk '/SONAME/ {print $2}')
  [ -n "$soname" ] || { echo "lib$lib.so has no SONAME" >&2; exit 1; }

  # pkg-config consumer
  cc -std=c11 -Wall -Werror "$here/consumers/${lib}_consumer.c" \
     $(pkg-config --cflags --libs "$lib") -o "$QEL_SCRATCH/${lib}_pc"
  "$QEL_SCRATCH/${lib}_pc"

  # find_package consumer
  proj=$QEL_SCRATCH/${lib}_cmake
  mkdir -p "$proj"
  cp "$here/consumers/${lib}_consumer.c" "$proj/main.c"
  cat > "$proj/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(consumer C)
find_package($lib REQUIRED)
add_executable(consumer main.c)
target_link_libraries(consumer PRIVATE $lib::$lib)
CMAKE
  cmake -S "$proj" -B "$proj/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$proj/build" >/dev/null
  "$proj/build/consumer"
  echo "$lib: installed ($soname), pkg-config and find_package consumers run"
done
