#!/usr/bin/env bash
# Installs what is missing, builds Tolvaner and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
# Until the window lands, show the frame the program sends for bytes 01 02 with a one-pair preamble.
build/release/tools/tolvaner-cli encode --preamble-length 1 01 02
