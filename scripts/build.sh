#!/usr/bin/env bash
# Installs what is missing, then configures and builds into ./build.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
if [ ! -f build/build.ninja ]; then
  launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
fi
cmake --build build --parallel
