#!/usr/bin/env bash
# Builds the Debian package from an existing build and checks it as Debian would: lintian
# (any error or warning fails; an accepted tag needs an override in the package, each with its
# reason), the desktop entry and the AppStream metadata validated, and the manual pages present.
#
#   tools/check-package.sh [BUILD_DIR]   (default build/default, already built)
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir="${1:-build/default}"
cmake --build "$build_dir" --target package
deb=$(ls -t "$build_dir"/packages/tovalin_*.deb | head -1)
echo "== $deb"

desktop-file-validate tools/install/tovalin.desktop
appstreamcli validate --no-net tools/install/com.example.tovalin.metainfo.xml

# Warnings fail too: the package is meant to carry none.
lintian --fail-on error,warning --display-info "$deb"

# What a user asks for after installing: a manual page for every program.
contents=$(dpkg -c "$deb")
for page in tovalin tovalin-export tovalin-get tovalin-sample-site; do
  grep -q "usr/share/man/man1/$page.1.gz" <<<"$contents" || { echo "no manual page: $page" >&2; exit 1; }
done
echo "== package checks passed"
