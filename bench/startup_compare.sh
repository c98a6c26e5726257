#!/usr/bin/env bash
# Start-up beside a bare Qt program with the same widgets (startup_compare/bare_window.cpp): the
# time from exec until the first window is mapped and the resident memory then, pair by pair
# under one Xvfb without a window manager, and the medians. The goal: at most 1.15 times the bare
# program's time and 4 MB more memory.
# Usage: bench/startup_compare.sh PATH/TO/pingrove [PAIRS]   (default 15 pairs; no probe is sent)
set -u
exe=$(readlink -f "$1")
pairs=${2:-15}
here=$(dirname "$(readlink -f "$0")")
work=$(mktemp -d /tmp/pingrove-startcmp-XXXXXX)
. "$here/../tests/script_support.sh"
require_tools Xvfb xdotool g++ pkg-config
g++ -O2 -fPIC -std=c++20 "$here/startup_compare/bare_window.cpp" -o "$work/bare" \
  $(pkg-config --cflags --libs Qt6Widgets) || fail "the bare program did not build"
mkdir -p "$work/bin" "$work/cwd" "$work/run"
chmod 700 "$work/run"
cp "$exe" "$work/bin/pingrove"
# Auto scan off and one row of the loopback: nothing is probed.
printf '[Form]\r\nCBX2=0\r\nLeft=100\r\nTop=80\r\nWidth=610\r\nHeight=490\r\n' > "$work/bin/pingrove.INI"
printf '"IP";"Name"\r\n"127.0.0.1";"self"\r\n' > "$work/cwd/iplist.txt"
export XDG_RUNTIME_DIR=$work/run
DISPLAY=:$((500 + RANDOM % 400))
export DISPLAY
Xvfb "$DISPLAY" -noreset -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
waitfor 10 "xdotool getmouselocation" || fail "Xvfb did not start"
cd "$work/cwd"
measure() { /usr/bin/python3 "$here/startup_compare/time_to_map.py" "$@"; }
measure "$work/bare" >/dev/null  # the first start fills the caches for both
: > "$work/bare.txt"; : > "$work/ours.txt"
for i in $(seq "$pairs"); do
  measure "$work/bare" >> "$work/bare.txt"
  measure "$work/bin/pingrove" >> "$work/ours.txt"
done
median() { sort -n -k"$2" "$1" | awk -v k="$2" '{ v[NR] = $k } END { print v[int((NR + 1) / 2)] }'; }
bt=$(median "$work/bare.txt" 1) bm=$(median "$work/bare.txt" 2)
ot=$(median "$work/ours.txt" 1) om=$(median "$work/ours.txt" 2)
printf 'bare Qt window   %5d ms  %6d KB\n' "$bt" "$bm"
printf 'pingrove         %5d ms  %6d KB\n' "$ot" "$om"
awk -v o="$ot" -v b="$bt" -v om="$om" -v bm="$bm" 'BEGIN {
  printf "ratio %.2f (goal <= 1.15), memory %+d KB (goal <= +4096 KB), median of %d pairs\n",
         o / b, om - bm, '"$pairs"' }'
