#!/usr/bin/env bash
# Network figures of the probe and the main window, inside the test network (needs root):
# the reported RTT against a host that answers after 20 ms, compared with iputils ping, and
# against an IPv6 host compared with ping -6 (on the datagram path and through the helper, as the
# program takes them); one Ping
# against a silent host compared with Timeout + Delay, with the longest UI stall meanwhile; and an
# all scan over 10 targets, 5 silent, against the idle event loop's own longest gap, once on a
# quiet machine and once beside two busy processes. Usage: bench/network_bench.sh [BUILD_DIR]
set -eu
cd "$(dirname "$0")/.."
build=$(readlink -f "${1:-build/test}")
[ "$(id -u)" -eq 0 ] || { echo "needs root for the test network"; exit 1; }
exec tests/netns_run.sh bash -c '
  set -eu
  build='"$build"'
  ready=$(mktemp /tmp/pingrove-bench-XXXXXX)
  ip netns exec "$PINGROVE_NETNS_SLOW" /usr/bin/python3 bench/slow_responder.py 20 > "$ready" &
  responder=$!
  trap "kill $responder; rm -f $ready" EXIT
  for _ in $(seq 300); do grep -q ready "$ready" && break; sleep 0.1; done  # its socket is open
  median() { awk "{a[NR]=\$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}"; }
  # Our reported round-trip times against iputils ping'"'"'s, 20 probes each: ADDRESS PING...
  against() {
    local address=$1; shift
    ours=$("$build/bench/probe_bench" rtt "$address" 20 | sort -n)
    theirs=$("$@" -n -c 20 -i 0.2 "$address" | sed -n "s/.*time=\([0-9.]*\) ms/\1/p" | sort -n)
    m1=$(echo "$ours" | median); m2=$(echo "$theirs" | median)
    echo "pingrove median ${m1} ms (whole ms, truncated; $(echo "$ours" | wc -l) answers); $* median ${m2} ms"
    awk -v a="$m1" -v b="$m2" "BEGIN {d=b-a; if (d<0) d=-d; printf \"median difference %.2f ms (goal <= 1 ms)\n\", d}"
  }
  echo "== RTT against a host answering after 20 ms, through the helper"
  against 198.18.3.10 ping
  echo "== RTT against fd00:198:18:1::10 over IPv6, the datagram path"
  sysctl -qw net.ipv4.ping_group_range="0 2147483647"  # this namespace only
  against fd00:198:18:1::10 ping -6
  sysctl -qw net.ipv4.ping_group_range="1 0"
  echo "== the same through the helper'"'"'s raw ICMPv6 socket"
  against fd00:198:18:1::10 ping -6
  echo "== one Ping against a silent host (Timeout 1000 ms, Delay 1000 ms)"
  "$build/bench/probe_bench" silent 198.18.2.10
  echo "== all scan over 10 targets, 5 silent, on a quiet machine"
  "$build/bench/scan_bench"
  echo "== the same with every optional column of the list shown"
  "$build/bench/scan_bench" --columns
  echo "== the same with two busy processes beside it"
  yes >/dev/null & y1=$!; yes >/dev/null & y2=$!
  "$build/bench/scan_bench"
  kill $y1 $y2
'
