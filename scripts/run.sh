#!/usr/bin/env bash
# Installs, builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
# The window needs a display; without one Qt aborts with a message that does not
# say what to do instead.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: no display (DISPLAY is not set): run it in a desktop session or set DISPLAY, or use the command line: build/bin/vornak list" >&2
  exit 1
fi
./scripts/build.sh
exec ./build/bin/vornak-uninstaller "$@"
