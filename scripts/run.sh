#!/usr/bin/env bash
# Installs, builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
exec ./build/bin/vornak-uninstaller "$@"
