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
# compare LABEL: the pairs, the medians and the ratio.
compare() {
  : > "$work/bare.txt"; : > "$work/ours.txt"
  for i in $(seq "$pairs"); do
    measure "$work/bare" >> "$work/bare.txt"
    measure "$work/bin/pingrove" >> "$work/ours.txt"
  done
  median() { sort -n -k"$2" "$1" | awk -v k="$2" '{ v[NR] = $k } END { print v[int((NR + 1) / 2)] }'; }
  bt=$(median "$work/bare.txt" 1) bm=$(median "$work/bare.txt" 2)
  ot=$(median "$work/ours.txt" 1) om=$(median "$work/ours.txt" 2)
  echo "== $1"
  printf 'bare Qt window   %5d ms  %6d KB\n' "$bt" "$bm"
  printf 'pingrove         %5d ms  %6d KB\n' "$ot" "$om"
  awk -v o="$ot" -v b="$bt" -v om="$om" -v bm="$bm" 'BEGIN {
    printf "ratio %.2f (goal <= 1.15), memory %+d KB (goal <= +4096 KB), median of %d pairs\n",
           o / b, om - bm, '"$pairs"' }'
}
compare "the list's five columns"
# Every optional column shown, the uptime columns reading a full history (two files of a
# megabyte) on their thread as the window comes up.
printf '[Form]\r\nCBX2=0\r\nLeft=100\r\nTop=80\r\nWidth=610\r\nHeight=490\r\nLCShow=5,6,7,8,9,10\r\n' \
  > "$work/bin/pingrove.INI"
/usr/bin/python3 - "$work/bin/pingrove-history.csv" <<'PY'
import datetime, sys
now = datetime.datetime.now().astimezone()
for path in (sys.argv[1] + ".1", sys.argv[1]):
    with open(path, "w", encoding="utf-8-sig", newline="") as f:
        f.write("日時,アドレス,名前,状態,状態コード,理由,応答時間（ms）\r\n")
        for i in range(11000):
            t = (now - datetime.timedelta(minutes=11000 - i)).isoformat(timespec="seconds")
            up = i % 3 != 0
            f.write(f"{t},127.0.0.{i % 50 + 1},名前,{'オンライン' if up else 'オフライン'},"
                    f"{0 if up else 11010},{'応答あり' if up else '時間切れ'},{'0.05' if up else ''}\r\n")
PY
compare "every column shown, with the history read"
