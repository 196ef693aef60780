#!/usr/bin/env bash
# Starts the bundled sample site on a free loopback port and Tovalin pointed at it, reading the
# sample topic from the start; the ticker reads the sample announcement page, which announces
# the running version (no update question) unless --update asks for one that announces a newer
# version. Builds nothing; tools/demo.sh builds first.
#
#   tools/run-demo.sh [--update] [BUILD_DIR]   (or TOVALIN_BUILD_DIR; default build/default; with
#                                               no build there, the installed package's programs)
set -euo pipefail
caller_dir="$PWD"
cd "$(dirname "$0")/.."

announcement=announce-current.html
if [ "${1:-}" = "--update" ]; then
  announcement=announce.html
  shift
fi
build_dir="${1:-${TOVALIN_BUILD_DIR:-build/default}}"
# A relative build directory is taken from where the command was given, else from the checkout.
if [[ "$build_dir" != /* && -d "$caller_dir/$build_dir" ]]; then build_dir="$caller_dir/$build_dir"; fi
site_bin="$build_dir/tools/sample-site/tovalin-sample-site"
app_bin="$build_dir/app/tovalin"
# Without a build, the installed package: the sample site lives in Tovalin's private folder.
if [ ! -x "$site_bin" ] && [ ! -x "$app_bin" ] && [ -x /usr/lib/tovalin/tovalin-sample-site ]; then
  site_bin=/usr/lib/tovalin/tovalin-sample-site
  app_bin=$(command -v tovalin || echo /usr/bin/tovalin)
fi
for bin in "$site_bin" "$app_bin"; do
  if [ ! -x "$bin" ]; then
    echo "run-demo: $bin is missing; build first (tools/demo.sh does)" >&2
    exit 1
  fi
done

# The site ends with the demo (trap below); the idle limit only matters if this script is
# killed outright and cannot clean up.
site_idle_exit=3600
# The site prints its address as soon as it listens.
start_wait_tenths=50

work_dir="$(mktemp -d "${TMPDIR:-/tmp}/tovalin-demo.XXXXXX")"
site_pid=""
cleanup() {
  if [ -n "$site_pid" ]; then
    kill "$site_pid" 2>/dev/null || true
    wait "$site_pid" 2>/dev/null || true
  fi
  rm -rf "$work_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$site_bin" --port 0 --idle-exit "$site_idle_exit" >"$work_dir/site.out" &
site_pid=$!

base=""
for _ in $(seq "$start_wait_tenths"); do
  base="$(head -n 1 "$work_dir/site.out" 2>/dev/null || true)"
  case "$base" in http://*/) break ;; esac
  if ! kill -0 "$site_pid" 2>/dev/null; then break; fi
  sleep 0.1
done
case "$base" in
  http://*/) ;;
  *) echo "run-demo: the sample site did not start" >&2; exit 1 ;;
esac

echo "Sample site: $base"
echo "Reading the sample topic: the arrow keys (or PageDown/PageUp, Home, End) step through it."

export TOVALIN_TOPIC_URL="${base}group/topic/1001/"
export TOVALIN_ANNOUNCE_URL="${base}blog/post/${announcement}"
# Load the topic in the box as soon as the window is up.
export TOVALIN_LOAD_AT_START=1
# The web view's sandbox refuses to run as root.
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi

# Not exec: the trap must stop the site once the window is closed.
status=0
"$app_bin" || status=$?
exit "$status"
