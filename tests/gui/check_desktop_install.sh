#!/usr/bin/env bash
# Installs the desktop component into a scratch prefix and checks the menu entry and icons.
set -euo pipefail
build=$1
scratch=$2
rm -rf "$scratch"
cmake --install "$build" --prefix "$scratch" --component desktop >/dev/null
entry=$scratch/share/applications/luxador.desktop
[ -f "$entry" ] || { echo "no desktop entry installed" >&2; exit 1; }
desktop-file-validate "$entry"
grep -qx 'Exec=luxador' "$entry" || { echo "the entry does not start luxador" >&2; exit 1; }
icon=$(sed -n 's/^Icon=//p' "$entry")
for size in 48 256; do
  png=$scratch/share/icons/hicolor/${size}x${size}/apps/$icon.png
  [ -f "$png" ] || { echo "no ${size}px icon named $icon" >&2; exit 1; }
  got=$(identify -format '%wx%h' "$png")
  [ "$got" = "${size}x${size}" ] || { echo "$png is $got, not ${size}x${size}" >&2; exit 1; }
done
echo "desktop entry and icons installed"
