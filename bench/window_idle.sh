#!/bin/sh
# kaldo-utility's CPU use while idle: a virtual switcher open, nothing changing. Starts kaldo-sim
# and the utility (offscreen) in a private record directory, lets the session open, then reads
# the utility's CPU time over 10 s. Usage: bench/window_idle.sh [build directory]
set -eu
build=${1:-build/default}
work=$(mktemp -d /tmp/kaldo-idle-XXXXXX)
export KALDO_DEVICE_DIR=$work/devices XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=offscreen
"$build/tools/kaldo-sim/kaldo-sim" >/dev/null &
sim=$!
sleep 0.5
"$build/src_ui/kaldo-utility" &
utility=$!
trap 'kill $utility $sim 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

# Fields 14 and 15 of /proc/PID/stat: user and system time in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$utility/stat"; }
sleep 3
before=$(cpu_ticks)
sleep 10
after=$(cpu_ticks)
hz=$(getconf CLK_TCK)
echo "kaldo-utility idle with a switcher open: $((after - before)) ticks of 1/$hz s in 10 s" \
  "= $(awk -v t=$((after - before)) -v hz="$hz" 'BEGIN { printf "%.2f", 100 * t / hz / 10 }') % of one core"
