#!/usr/bin/env bash
# Installs, builds and runs every test (windows tests run offscreen), then the
# Windows build's tests under Wine (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 600 --parallel 2
./scripts/test-windows.sh
