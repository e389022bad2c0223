#!/bin/sh
# The packages scripts/package built, unpacked as dpkg would into a temporary root: the programs
# run from there, and the udev rule, launcher, metadata, manual pages and completions sit where
# udev, the desktop, man and the shells look for them. lintian finds no error and no warning.
# Exits 77 (skipped) when no packages have been built.
#   package_layout_test.sh PACKAGE_DIR SOURCE_DIR PROJECT_VERSION
set -eu
package_dir=$1
source_dir=$2
project_version=$3
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

if ! ls "$package_dir"/kaldo-*.deb >/dev/null 2>&1; then
  echo "no packages in $package_dir: scripts/package builds them"
  exit 77
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
# One root per package, so that each file is checked in the package that must carry it.
for package in kaldo-utility kaldo-tools; do
  set -- "$package_dir/${package}_${project_version}"-*.deb
  if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "FAIL: no single $package $project_version package in $package_dir (run scripts/package)"
    exit 1
  fi
  dpkg-deb -x "$1" "$root/$package"
  test -s "$root/$package/usr/share/doc/$package/copyright" || fail "$package has no copyright file"
done
utility=$root/kaldo-utility
tools=$root/kaldo-tools

# package   program, as it reports its version
while read -r package program; do
  output=$(QT_QPA_PLATFORM=offscreen "$root/$package/usr/bin/$program" --version 2>&1) ||
    fail "$program --version failed: $output"
  echo "$output" | grep -qF "$project_version" || fail "$program --version says: $output"
done <<TABLE
kaldo-utility kaldo-utility
kaldo-tools   kaldo-ctl
kaldo-tools   kaldo-sim
TABLE

# Help › Manual opens the window's manual where the package puts it, uncompressed, with its
# pictures.
manual=/usr/share/doc/kaldo-utility/window.md
test -s "$utility$manual" || fail "$manual is not packaged"
grep -qF "$manual" "$utility/usr/bin/kaldo-utility" || fail "kaldo-utility does not look for $manual"
for picture in $(sed -n 's/.*](\([a-z-]*\.png\)).*/\1/p' "$utility$manual"); do
  test -s "$utility/usr/share/doc/kaldo-utility/$picture" || fail "window.md shows $picture, not packaged"
done

# The udev rule where udev reads it, as the tree has it.
cmp "$utility/usr/lib/udev/rules.d/70-kaldo.rules" "$source_dir/packaging/70-kaldo.rules" ||
  fail "the udev rule is not packaged as usr/lib/udev/rules.d/70-kaldo.rules"
[ ! -e "$utility/lib" ] || fail "files under /lib: $(cd "$utility" && find lib -type f)"

# Launcher and metadata validate in their installed places and name what the package carries.
desktop=$utility/usr/share/applications/org.kaldo.utility.desktop
metainfo=$utility/usr/share/metainfo/org.kaldo.utility.metainfo.xml
report=$(desktop-file-validate "$desktop" 2>&1) || true
[ -z "$report" ] || fail "desktop-file-validate: $report"
report=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $report"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$utility/usr/bin/$exec_name" ] || fail "the launcher starts $exec_name, not packaged"
test -s "$utility/usr/share/icons/hicolor/scalable/apps/$icon_name.svg" ||
  fail "the launcher's icon $icon_name is not packaged"
grep -q '<launchable type="desktop-id">org.kaldo.utility.desktop</launchable>' "$metainfo" ||
  fail "the metadata does not launch org.kaldo.utility.desktop"
grep -q "<release version=\"$project_version\"" "$metainfo" ||
  fail "the metadata has no release $project_version"

# package   manual page (section 1): compressed, and man reads it without a complaint.
while read -r package page; do
  file=$root/$package/usr/share/man/man1/$page.1.gz
  if [ ! -f "$file" ]; then
    fail "$package has no compressed manual page $page(1)"
    continue
  fi
  text=$(MANWIDTH=80 man -l "$file" 2>"$root/man.err") || fail "man -l $page.1.gz failed"
  # pandoc makes its tables 70 columns wide, which sticks out of an 80-column terminal by two
  # characters; tbl says so. Apart from that, man has nothing to complain about.
  complaints=$(grep -v -e "^warning: file '<standard input>', around line [0-9]*:$" \
    -e '^  table wider than line width$' "$root/man.err" || true)
  [ -z "$complaints" ] || fail "man -l $page.1.gz: $complaints"
  echo "$text" | grep -q '^NAME' || fail "$page(1) has no NAME section"
  echo "$text" | grep -q "^ *$page - " || fail "$page(1) does not name $page"
done <<TABLE
kaldo-utility kaldo-utility
kaldo-tools   kaldo-ctl
kaldo-tools   kaldo-sim
TABLE

# Completions where bash-completion, zsh and fish load them from; bash loads its own.
bash_completion=$tools/usr/share/bash-completion/completions/kaldo-ctl
bash -c '. "$1" && complete -p kaldo-ctl' bash "$bash_completion" >/dev/null 2>&1 ||
  fail "bash does not complete kaldo-ctl from $bash_completion"
head -n 1 "$tools/usr/share/zsh/vendor-completions/_kaldo-ctl" 2>/dev/null |
  grep -q '^#compdef kaldo-ctl' || fail "no zsh completion of kaldo-ctl in vendor-completions"
grep -q '^complete -c kaldo-ctl' "$tools/usr/share/fish/vendor_completions.d/kaldo-ctl.fish" \
  2>/dev/null || fail "no fish completion of kaldo-ctl in vendor_completions.d"

test -s "$tools/usr/share/kaldo-sim/factory.json" || fail "kaldo-sim's factory file is missing"

lintian --fail-on error,warning "$package_dir"/kaldo-*.deb || fail "lintian"

exit $status
