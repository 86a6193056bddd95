#!/usr/bin/env bash
# Installs what is missing, builds Tolvaner and runs the window against a virtual device, so the
# program can be tried without hardware. The window's files live in build/release/run/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release

run=build/release/run
mkdir -p "$run"
cli="$PWD/build/release/tools/tolvaner-cli"
window="$PWD/build/release/app/tolvaner"

# The virtual device prints the path of its end of the line, then answers every frame sent to
# 0002 with an echo. It goes when the window goes.
"$cli" device >"$run/device.path" &
device=$!
trap 'kill "$device" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -s "$run/device.path" ] && break
  sleep 0.05
done
path=$(head -n1 "$run/device.path")
if [ -z "$path" ]; then
  echo "the virtual device did not start" >&2
  exit 1
fi

# Point the port at the device; every other setting is kept from the last run.
settings="$run/tolvaner.par"
if [ -f "$settings" ] && grep -q '^PORT=' "$settings"; then
  sed -i "s|^PORT=.*|PORT=$path|" "$settings"
else
  printf 'PORT=%s\n' "$path" >>"$settings"
fi
echo "virtual device on $path: check \"Открыть порт\", type 01 and 02, press \"Передать\""
cd "$run"
"$window"
