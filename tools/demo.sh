#!/usr/bin/env bash
# Installs what is missing, builds Tovalin and starts it against the bundled sample site, so it
# works without a network. It opens on the sample topic; --update makes the sample announcement
# page announce a newer version, so the update question comes up on the first ticker tick.
#
#   tools/demo.sh [--update]
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)"
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
exec tools/run-demo.sh "$@" build/default
