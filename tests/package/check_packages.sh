#!/usr/bin/env bash
# Installs the Debian packages in $1 into a scratch root (dpkg -x) and uses them from there:
# the demo measurement and --version with the run-time packages only, the shell completion,
# the simulated spot head, then C programs built against the development package with
# pkg-config, and the manual pages rendered without a groff warning.
set -euo pipefail
debs=$1
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
lib=$root/usr/lib/$multiarch
fail() { echo "package check: $*" >&2; exit 1; }

for deb in "$debs"/*.deb; do
  case $deb in *-dev_*) ;; *) dpkg -x "$deb" "$root" ;; esac
done
export LD_LIBRARY_PATH=$lib XDG_RUNTIME_DIR=$scratch
unset QEL_MODULE_PATH

# The program finds the unversioned library names only through its own private links.
[ ! -e "$lib/libchromel32.so" ] || fail "a run-time package holds a development link"
"$root/usr/bin/luxador" --version >"$scratch/version" || fail "--version failed"
grep -q "^chromel32 [0-9.]* $lib/luxador/libchromel32.so$" "$scratch/version" &&
  grep -q "^meterio32 [0-9.]* $lib/luxador/libmeterio32.so$" "$scratch/version" ||
  { cat "$scratch/version"; fail "--version does not show the installed libraries"; }

QEL_SIM_EYEONE_BUTTON=100 "$root/usr/bin/luxador" --console --simulate D65 --lux 500 \
  </dev/null >"$scratch/demo" 2>&1 || { cat "$scratch/demo"; fail "the demo did not complete"; }
grep -q "500 lx" "$scratch/demo" || { cat "$scratch/demo"; fail "the demo shows no 500 lx"; }
echo "installed demo: measured D65 at 500 lx"

bash -c "source '$root/usr/share/bash-completion/completions/luxador'
         COMP_WORDS=(luxador --simulate D6); COMP_CWORD=2; _luxador; echo \"\${COMPREPLY[*]}\"" |
  grep -q "D65" || fail "the completion does not offer D65 after --simulate"

timeout -s INT 5 "$lib/luxador/sim/spot-head-sim" >"$scratch/spot" || true
grep -q "^QEL_SERIAL_PORTS=/dev/" "$scratch/spot" || fail "the simulated spot head did not start"

dpkg -x "$debs"/luxador-dev_*.deb "$root"
export PKG_CONFIG_LIBDIR=$lib/pkgconfig
for consumer in "$here"/../install/consumers/*_consumer.c; do
  name=$(basename "$consumer" _consumer.c)
  # The .pc files place the prefix relative to themselves, here in the scratch root.
  cc -std=c11 -Wall -Werror "$consumer" $(pkg-config --cflags --libs "$name") \
    -o "$scratch/$name" || fail "cannot build against $name with pkg-config"
  "$scratch/$name" >/dev/null || fail "the $name consumer failed"
done
echo "development package: pkg-config consumers built and run"

for page in "$root"/usr/share/man/man*/*.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
echo "manual pages render without warnings: $(cd "$root/usr/share/man" && ls man*/*.gz | tr '\n' ' ')"
