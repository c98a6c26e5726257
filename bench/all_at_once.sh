#!/usr/bin/env bash
# The all scan all at once (CBX4) over long lists in the test network (needs root), side by side
# with fping over the same list in the same run: 1,000 targets, half of them silent, on the
# datagram path and through the helper (as the program takes them inside and outside
# ping_group_range), quiet and beside two busy processes, each against `fping -c1 -t1000` (and
# `fping -i 2`, fping at the same 2 ms pace, for reference); then 10,000 targets on both paths.
# fping is only the yardstick: apt-get install fping. Usage: bench/all_at_once.sh [BUILD_DIR]
set -eu
cd "$(dirname "$0")/.."
build=$(readlink -f "${1:-build/test}")
[ "$(id -u)" -eq 0 ] || { echo "needs root for the test network"; exit 1; }
command -v fping >/dev/null || { echo "needs fping to compare with (apt-get install fping)"; exit 1; }
exec tests/netns_run.sh bash -c '
  set -eu
  build='"$build"'
  work=$(mktemp -d /tmp/pingrove-all-at-once-XXXXXX)
  trap "rm -rf $work" EXIT
  # N targets, every other one silent: the answering host holds 198.18.64.0/18, the silent one
  # 198.18.128.0/18. As iplist.txt for the program, one address a line for fping.
  lists() {
    awk -v n=$1 -v list=$work/iplist-$1.txt -v plain=$work/plain-$1.txt "BEGIN {
      printf \"\\\"IP\\\";\\\"Name\\\"\\r\\n\" > list
      for (i = 0; i < n; i++) {
        k = int(i / 2); a = sprintf(\"198.18.%d.%d\", (i % 2 ? 128 : 64) + int(k / 250), 1 + k % 250)
        printf \"\\\"%s\\\";\\\"\\\"\\r\\n\", a > list; print a > plain
      }
    }"
  }
  fping_ms() {
    local start=$(date +%s%N)
    fping "$@" -q -f $work/plain-1000.txt 2>/dev/null || true  # status 1: some are silent
    echo $(( ($(date +%s%N) - start) / 1000000 ))
  }
  ours() {  # PATH N
    if [ $1 = datagram ]; then sysctl -qw net.ipv4.ping_group_range="0 2147483647"
    else sysctl -qw net.ipv4.ping_group_range="1 0"; fi  # this namespace only
    "$build/bench/all_at_once_bench" $work/iplist-$2.txt 2>/dev/null
  }
  compare() {  # the 1,000 targets on both paths, each beside fping
    for path in datagram helper; do
      line=$(ours $path 1000); echo "$line"
      reference=$(fping_ms -c1 -t1000); paced=$(fping_ms -c1 -t1000 -i2)
      ms=$(echo "$line" | sed -n "s/.* scan_ms \([0-9]*\).*/\1/p")
      awk -v a=$ms -v b=$reference -v c=$paced "BEGIN { printf \"  fping -c1 -t1000: %d ms (ours %.2f times it; goal <= 1.5 and <= 4000 ms); fping -c1 -t1000 -i2: %d ms\n\", b, a / b, c }"
    done
  }
  lists 1000; lists 10000
  echo "== 1,000 targets, 500 of them silent, on a quiet machine"
  compare
  echo "== the same with two busy processes beside it"
  yes >/dev/null & y1=$!; yes >/dev/null & y2=$!
  compare
  kill $y1 $y2
  echo "== 10,000 targets, 5,000 of them silent (goal: <= 30000 ms)"
  ours datagram 10000; ours helper 10000
  echo "(the UI gap goal: longest_ui_gap_ms <= idle_floor_ms + 5)"
'
