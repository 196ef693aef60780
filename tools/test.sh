#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (headless).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

export QT_QPA_PLATFORM=offscreen
# The web engine's sandbox refuses to start as root; tests run as root in CI.
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi

jobs=$(nproc)
cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"
