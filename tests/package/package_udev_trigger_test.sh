#!/bin/sh
# kaldo-utility's postinst applies the udev rule to a switcher that is attached already: it
# reloads udevd's rules and triggers that switcher's devices, and only them; without a running
# udevd it does nothing. Runs the packaged script in a mount namespace with a made-up sysfs USB
# bus and udev control socket, and a udevadm that logs its calls.
# Exits 77 (skipped) when no package has been built or no mount namespace may be made (not root).
#   package_udev_trigger_test.sh PACKAGE_DIR
set -eu
package_dir=$1

set -- "$package_dir"/kaldo-utility_*.deb
if [ ! -f "$1" ]; then
  echo "no kaldo-utility package in $package_dir: scripts/package builds it"
  exit 77
fi
if ! unshare -m true 2>/dev/null; then
  echo "no mount namespace (needs root)"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -e "$1" "$work/control"
mkdir "$work/bin"
cat >"$work/bin/udevadm" <<'SCRIPT'
#!/bin/sh
echo "$*" >>"$UDEVADM_LOG"
SCRIPT
chmod +x "$work/bin/udevadm"

# run_postinst CASE UDEVD ARGUMENT: the postinst with the switcher (1209:4b31) on 1-2, another
# USB device on 1-3 and a hub on usb1; UDEVD says whether udevd's control socket exists.
run_postinst() {
  UDEVADM_LOG=$work/$1.log PATH=$work/bin:$PATH unshare -m sh -eu -c '
    mount -t tmpfs tmpfs /run
    if [ "$2" = running ]; then
      mkdir /run/udev
      perl -MIO::Socket::UNIX -e "IO::Socket::UNIX->new(Local => shift, Listen => 1) or die" \
        /run/udev/control
    fi
    mount -t tmpfs tmpfs /sys/bus
    bus=/sys/bus/usb/devices
    mkdir -p $bus/1-2 $bus/1-3 $bus/usb1
    echo 1209 >$bus/1-2/idVendor; echo 4b31 >$bus/1-2/idProduct
    echo 1209 >$bus/1-3/idVendor; echo 0001 >$bus/1-3/idProduct
    echo 1d6b >$bus/usb1/idVendor; echo 0002 >$bus/usb1/idProduct
    sh "$1" "$3" ""
  ' sh "$work/control/postinst" "$2" "$3"
  cat "$work/$1.log" 2>/dev/null || true
}

status=0
expect() {
  if [ "$2" != "$3" ]; then
    printf 'FAIL: %s\n  expected: %s\n  got:      %s\n' "$1" "$2" "$3"
    status=1
  fi
}
expect "configure with udevd running" \
  "control --reload-rules
trigger --action=change --parent-match=/sys/bus/usb/devices/1-2" \
  "$(run_postinst installed running configure)"
expect "configure without udevd" "" "$(run_postinst no_udevd stopped configure)"
expect "abort-remove" "" "$(run_postinst abort running abort-remove)"
exit $status
