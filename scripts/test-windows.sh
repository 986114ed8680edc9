#!/usr/bin/env bash
# The Windows build under Wine: cross-builds the logic, the tool and their tests
# into build-win/ with mingw-w64 and runs them in a Wine prefix made fresh in
# build-win/ for every run. Does nothing where mingw-w64 or Wine is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || ! command -v wine >/dev/null 2>&1 ||
   ! command -v wineserver >/dev/null 2>&1; then
  echo "test-windows: mingw-w64 or Wine is not installed; the Windows suite is skipped"
  exit 0
fi
if [ ! -f build-win/build.ninja ]; then
  launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
fi
cmake --build build-win --parallel

export WINEPREFIX="$PWD/build-win/wineprefix"
export WINEDEBUG=-all
# No Mono and no Gecko: nothing here needs them, and they would be fetched.
export WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# One wineserver for the whole run: a test program started without one waits
# some 3 s for its own. It is started here, not inside ctest, and always stopped.
wineserver -p >/dev/null 2>&1 </dev/null
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wine wineboot --init >/dev/null 2>&1
ctest --test-dir build-win --output-on-failure --timeout 600 --parallel 2
