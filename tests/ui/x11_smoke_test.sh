#!/bin/bash
# The real program under a real X server, driven as a keyboard user drives it: it opens kaldo-sim,
# Ctrl+Page Down changes the page twice (Input › No Signal), Tab reaches "No Signal Color R",
# a typed value is written, and kaldo-ctl reads it back from the switcher once the window has
# let the switcher go. Skips (77) where Xvfb or xdotool is missing.
#   x11_smoke_test.sh UTILITY SIM CTL
set -u
utility=$1 sim=$2 ctl=$3

for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/install-deps installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  echo "--- utility"; cat "$work/utility.log"
  echo "--- switcher"; tail -n 40 "$work/sim.log"
  exit 1
}

mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime KALDO_DEVICE_DIR=$work/devices XDG_CONFIG_HOME=$work/config
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# A display of its own: Xvfb picks a free number and writes it to the descriptor.
Xvfb -displayfd 5 -screen 0 1280x900x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(head -n1 "$work/display")

"$sim" --trace --serial K1SMOKE001 >/dev/null 2>"$work/sim.log" &
pids+=($!)
"$utility" --no-companion >"$work/utility.log" 2>&1 &
utility_pid=$!
pids+=($utility_pid)

window=$(timeout 30 xdotool search --sync --onlyvisible --name '^KALDO-1' | head -n1)
[ -n "$window" ] || fail "the window did not appear"
xdotool windowfocus --sync "$window"

# The first page is open once its rows were requested.
for _ in $(seq 150); do grep -q '"Main In H Flip"' "$work/sim.log" && break; sleep 0.1; done

xdotool key --delay 150 ctrl+Next ctrl+Next
for _ in $(seq 100); do grep -q 'from 120 "No Signal Mode"' "$work/sim.log" && break; sleep 0.1; done
grep -q 'from 120 "No Signal Mode"' "$work/sim.log" || fail "Ctrl+Page Down did not open Input › No Signal"

# Nothing has the focus yet: Tab gives it to the tree, then to the page's mode pop-up and the
# red value.
xdotool key --delay 150 Tab Tab Tab ctrl+a
xdotool type --delay 80 '203'
xdotool key Return
for _ in $(seq 100); do grep -q 'write parameters.* 121 "' "$work/sim.log" && break; sleep 0.1; done
grep -q 'write parameters.* 121 "' "$work/sim.log" || fail "the typed value was not written"

# Quit without keeping the switcher: the node is free for kaldo-ctl.
kill "$utility_pid"
wait "$utility_pid" 2>/dev/null
value=$("$ctl" -t get 'No Signal Color R' 2>&1) || fail "kaldo-ctl get: $value"
case "$value" in
  *:203 | *203*) echo "No Signal Color R reads $value" ;;
  *) fail "No Signal Color R reads '$value', not 203" ;;
esac
