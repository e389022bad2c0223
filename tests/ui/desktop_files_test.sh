#!/bin/sh
# Installs the launcher, icon and AppStream metadata as `cmake --install` does and validates
# them; a hint or warning of either validator fails the test.
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" --component desktop >/dev/null
share=$prefix/share

test -s "$share/icons/hicolor/scalable/apps/kaldo-utility.svg"
grep -q '^Icon=kaldo-utility$' "$share/applications/org.kaldo.utility.desktop"

report=$(desktop-file-validate "$share/applications/org.kaldo.utility.desktop" 2>&1) || true
if [ -n "$report" ]; then
  echo "$report"
  exit 1
fi
appstreamcli validate --no-net "$share/metainfo/org.kaldo.utility.metainfo.xml"
