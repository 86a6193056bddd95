#!/usr/bin/env bash
# Installs what is missing, builds Tolvaner and runs every test. Usage: scripts/test.sh [dev|asan]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
bash scripts/install-deps.sh
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
cmake --workflow --preset "$preset"
