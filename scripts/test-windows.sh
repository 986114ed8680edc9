#!/usr/bin/env bash
# The Windows build under Wine: cross-builds the programs and their tests into
# build-win/ with mingw-w64 and runs them in a Wine prefix made fresh in
# build-win/ for every run. Does nothing where mingw-w64 or Wine is missing.
# With Qt for Windows (scripts/windows-qt.sh says where it is looked for) the
# window program, its tests and the installer are built and tested too; without
# it that part is skipped with the reason.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || ! command -v wine >/dev/null 2>&1 ||
   ! command -v wineserver >/dev/null 2>&1; then
  echo "test-windows: mingw-w64 or Wine is not installed; the Windows suite is skipped"
  exit 0
fi
# shellcheck source=windows-qt.sh
source scripts/windows-qt.sh
vornak_find_windows_qt
if [ -z "$VORNAK_QT_WINDOWS" ]; then
  echo "test-windows: the window program is skipped: $VORNAK_QT_WINDOWS_MISSING"
fi
# Configured again when Qt for Windows has come or gone since the last run.
cached=""
if [ -f build-win/CMakeCache.txt ]; then
  cached="$(sed -n 's/^VORNAK_QT_WINDOWS:[A-Z]*=//p' build-win/CMakeCache.txt)"
fi
if [ ! -f build-win/build.ninja ] || [ "$cached" != "$VORNAK_QT_WINDOWS" ]; then
  launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  window=OFF
  [ -n "$VORNAK_QT_WINDOWS" ] && window=ON
  cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
    -DVORNAK_QT_WINDOWS="$VORNAK_QT_WINDOWS" -DVORNAK_BUILD_WINDOW=$window
fi
cmake --build build-win --parallel
if [ -n "$VORNAK_QT_WINDOWS" ]; then
  if command -v makensis >/dev/null 2>&1; then
    # The installer that windows_installer_test installs.
    cmake --build build-win --target package
  else
    echo "test-windows: makensis is not installed; the installer is not built"
  fi
fi

export WINEPREFIX="$PWD/build-win/wineprefix"
export WINEDEBUG=-all
# No Mono and no Gecko: nothing here needs them, and they would be fetched.
export WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"

# The window tests draw on the `windows` platform plugin with Xvfb as Wine's
# display; without Xvfb they run on `minimal`, where nothing is drawn.
export QT_QPA_PLATFORM=minimal
unset DISPLAY
xvfb=""
work="$(mktemp -d)"
stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap stop EXIT
if [ -n "$VORNAK_QT_WINDOWS" ]; then
  if command -v Xvfb >/dev/null 2>&1; then
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do
      [ -s "$work/display" ] && break
      sleep 0.1
    done
    if [ -s "$work/display" ]; then
      export DISPLAY=":$(head -n 1 "$work/display")"
      export QT_QPA_PLATFORM=windows
    else
      echo "test-windows: Xvfb did not start; the window tests run on the minimal platform"
    fi
  else
    echo "test-windows: Xvfb is not installed; the window tests run on the minimal platform"
  fi
fi
# One wineserver for the whole run: a test program started without one waits
# some 3 s for its own. It is started here, not inside ctest, and always stopped.
wineserver -p >/dev/null 2>&1 </dev/null
wine wineboot --init >/dev/null 2>&1
ctest --test-dir build-win --output-on-failure --timeout 600 --parallel 2
