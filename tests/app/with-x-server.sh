#!/usr/bin/env bash
# Runs one window test under a private X server (Xvfb) with a small window
# manager (openbox): window placement needs real window frames, which the
# offscreen platform does not have. Exits 77 (a skip to ctest) with the reason
# when either cannot be found or started.
set -u
if [ "$#" -lt 1 ]; then
  echo "usage: $0 TEST-PROGRAM [ARGS...]" >&2
  exit 2
fi
for tool in Xvfb openbox xprop; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
xvfb=""
wm=""
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to the file; a
# display taken by another server at the same moment is tried again.
start_x() {
  : >"$work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && return 0
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
  done
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  xvfb=""
  return 1
}

# openbox keeps its own files in a folder of ours, never the user's.
start_wm() {
  XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" \
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
    kill -0 "$wm" 2>/dev/null || break
    sleep 0.1
  done
  kill "$wm" 2>/dev/null
  wait "$wm" 2>/dev/null
  wm=""
  return 1
}

started=""
for _ in 1 2 3; do
  if start_x; then
    export DISPLAY=":$(head -n 1 "$work/display")"
    if start_wm; then
      started=yes
      break
    fi
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    xvfb=""
  fi
  sleep 0.5
done
if [ -z "$started" ]; then
  echo "SKIP: no X server with a window manager could be started:" \
    "$(tail -n 3 "$work/xvfb.log" "$work/openbox.log" 2>/dev/null | tr '\n' ' ')"
  exit 77
fi

QT_QPA_PLATFORM=xcb "$@"
