#!/usr/bin/env bash
# Installs the Debian packages the build, tests, benchmarks and GUI tests need (run as root).
set -euo pipefail

packages=(
  build-essential cmake pkg-config git python3
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev
  liblcms2-dev
  dpkg-dev lintian groff-base man-db bash-completion
  libgtk-3-dev xvfb xdotool x11-utils imagemagick fonts-ipafont-gothic desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages (${missing[*]}); run as root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
