#!/bin/sh
# The packaging agrees with the tree: one version, one licence text, one list of build
# dependencies, the default preset's build.
#   package_sources_test.sh SOURCE_DIR PROJECT_VERSION
set -eu
source_dir=$1
project_version=$2
cd "$source_dir"
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

# The Debian revision and an epoch aside, debian/changelog carries the CMake project version.
changelog_version=$(dpkg-parsechangelog -S Version)
upstream_version=${changelog_version#*:}
upstream_version=${upstream_version%-*}
[ "$upstream_version" = "$project_version" ] ||
  fail "debian/changelog has $changelog_version, CMakeLists.txt has $project_version"

# debian/copyright holds the licence text of LICENSE.
copyright_text=$(awk '/^License: Expat$/ && !seen { seen = 1; next } seen && /^ / { print }' \
  debian/copyright | sed -e 's/^ //' -e 's/^\.$//')
license_text=$(sed -n '/^Permission is hereby granted/,$p' LICENSE)
[ -n "$copyright_text" ] && [ "$copyright_text" = "$license_text" ] ||
  fail "the Expat text in debian/copyright differs from LICENSE"
grep -q '^MIT License$' LICENSE || fail "LICENSE is not the MIT licence"
grep -q '<project_license>MIT</project_license>' packaging/org.kaldo.utility.metainfo.xml.in ||
  fail "the AppStream metadata does not name MIT as the project licence"

# Every build dependency as dpkg reads it (no build profile, so the tests' too) is one that
# scripts/install-deps installs.
# An empty package database makes dpkg-checkbuilddeps list every one of them.
admin_dir=$(mktemp -d)
trap 'rm -rf "$admin_dir"' EXIT
touch "$admin_dir/status"
unmet=$(dpkg-checkbuilddeps -I --admindir="$admin_dir" 2>&1 || true)
build_depends=$(echo "$unmet" | sed -n 's/.*Unmet build dependencies: //p' |
  sed -E 's/\([^)]*\)//g; s/ *\| *[^ ]+//g; s/:[a-z]+//g' | tr -s ' ' '\n' | grep -v '^$' || true)
[ -n "$build_depends" ] || fail "no build dependencies read from debian/control: $unmet"
installed=$(scripts/install-deps --list)
for package in $build_depends; do
  [ "$package" = debhelper-compat ] && continue
  echo "$installed" | grep -qx "$package" ||
    fail "build dependency $package is not installed by scripts/install-deps"
done

# The package is built with the default preset's build type and generator.
preset_build_type=$(sed -n 's/.*"CMAKE_BUILD_TYPE": "\([^"]*\)".*/\1/p' CMakePresets.json | head -n 1)
grep -q -- "-DCMAKE_BUILD_TYPE=$preset_build_type\b" debian/rules ||
  fail "debian/rules does not build $preset_build_type like the default preset"
grep -q -- '--buildsystem=cmake+ninja' debian/rules ||
  fail "debian/rules does not build with Ninja like the default preset"

exit $status
