#!/usr/bin/env bash
# Installs, on Debian 12, the packages Tolvaner needs to build, test and run; skips what is there.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkgconf
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  clang-format
  qt6-base-dev fonts-liberation
  g++-mingw-w64-x86-64-posix
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]}; run this as root to install them" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
