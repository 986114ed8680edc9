#!/usr/bin/env bash
# Installs, builds and runs every test (windows tests run offscreen). The Windows
# build's tests under Wine (scripts/test-windows.sh) do not all pass yet; with
# VORNAK_TEST_WINDOWS=1 they run after the native ones.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 600 --parallel 2
if [ "${VORNAK_TEST_WINDOWS:-0}" = 1 ]; then
  ./scripts/test-windows.sh
fi
