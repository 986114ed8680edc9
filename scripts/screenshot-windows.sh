#!/usr/bin/env bash
# Shows the Windows window program as a Windows user sees it: starts
# build-win/bin/vornak-uninstaller.exe under Wine on a private X server (Xvfb with
# openbox) with the example registrations (examples/registrations.reg, drive C
# mapped onto examples/drive-c) and saves the screen as a PNG.
#   scripts/screenshot-windows.sh [--lang English|Danish] [--show main|about|wizard|editor] OUT.png
# Build first: scripts/test-windows.sh (with Qt for Windows) and scripts/build.sh.
# The Wine prefix is kept in build-win/screenshot-prefix between runs.
set -euo pipefail
cd "$(dirname "$0")/.."
lang=English
show=main
out=""
while [ "$#" -gt 0 ]; do
  case "$1" in
    --lang) lang="$2"; shift 2 ;;
    --show) show="$2"; shift 2 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) out="$1"; shift ;;
  esac
done
if [ -z "$out" ]; then
  echo "usage: $0 [--lang English|Danish] [--show main|about|wizard|editor] OUT.png" >&2
  exit 2
fi
case "$show" in main|about|wizard|editor) ;; *) echo "--show: main, about, wizard or editor" >&2; exit 2 ;; esac
out="$(realpath -m "$out")"
program=build-win/bin/vornak-uninstaller.exe
if [ ! -f "$program" ]; then
  echo "$program is missing: run scripts/test-windows.sh with Qt for Windows first" >&2
  exit 1
fi
for tool in Xvfb openbox xdotool wine wineserver; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -f build/build.ninja ] || ./scripts/build.sh
cmake --build build --target vornak_grab_screen >/dev/null

export WINEPREFIX="$PWD/build-win/screenshot-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
work="$(mktemp -d)"
xvfb=""
wm=""
stop() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap stop EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"
XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" \
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!

wine wineboot --init >/dev/null 2>&1
# A private store in the prefix's registry, filled afresh for every picture.
export VORNAK_REGISTRY_DIR="screenshot"
VORNAK_DRIVES="C=$(winepath -w "$PWD/examples/drive-c")"
export VORNAK_DRIVES
tool() { wine build-win/bin/vornak.exe "$@" >/dev/null; }
tool reg delete 'HKLM\SOFTWARE' /f 2>/dev/null || true
tool reg delete 'HKCU\SOFTWARE' /f 2>/dev/null || true
tool reg import "$(winepath -w "$PWD/examples/registrations.reg")"
tool reg add 'HKLM\SOFTWARE\Vornak\Uninstaller' /v lang /d "$lang" /f

wine "$program" >"$work/program.log" 2>&1 &
window=""
for _ in $(seq 300); do
  window="$(xdotool search --onlyvisible --name '^Vornak Uninstaller 2.1' 2>/dev/null | head -n 1 || true)"
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the main window did not come up" >&2; cat "$work/program.log" >&2; exit 1; }
# The first paint waits for the list; a loaded machine takes its time.
sleep "${VORNAK_SCREENSHOT_WAIT:-5}"
# The splash screen carries the same title and is gone by now.
window="$(xdotool search --onlyvisible --name '^Vornak Uninstaller 2.1' 2>/dev/null | tail -n 1 || true)"
[ -n "$window" ] || { echo "the main window has gone" >&2; cat "$work/program.log" >&2; exit 1; }
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
case "$show" in
  about) xdotool key F10 ;;
  wizard) xdotool key alt+a ;;
  # The second row ("Acme Editor 3.2") of the list at the window's design size.
  editor) xdotool mousemove --window "$window" 260 145 click 1 sleep 1 key ctrl+i ;;
esac
sleep "${VORNAK_SCREENSHOT_WAIT:-5}"
build/vornak_grab_screen "$out"
echo "$out"
