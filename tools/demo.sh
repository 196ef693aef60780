#!/usr/bin/env bash
# Installs what is missing, builds Tovalin and starts it against the bundled sample site, so it
# works without a network.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)"
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
exec tools/run-demo.sh build/default
