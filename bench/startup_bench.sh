#!/usr/bin/env bash
# Start-up cost of the whole program with a given target list: the time until the started program
# falls idle (its window built and the list shown) and its peak resident memory then.
# Usage: bench/startup_bench.sh PATH/TO/pingrove  (runs on Qt's offscreen platform; no probe is sent)
set -u
exe=$(readlink -f "$1")
work=$(mktemp -d /tmp/pingrove-startup-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/run"
cp "$exe" "$work/bin/pingrove"
# Auto scan off: the lists hold addresses of other machines, and nothing here may probe them.
printf '[Form]\r\nCBX2=0\r\n' > "$work/bin/pingrove.INI"
chmod 700 "$work/run"
ticks() { awk '{ print $14 + $15 }' /proc/$1/stat 2>/dev/null; }
measure() {  # measure LABEL: iplist.txt is in $work
  (cd "$work" && exec env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/run" "$work/bin/pingrove" \
     >/dev/null 2>&1) &
  local pid=$! start=$(date +%s%N) last=-1 same=0 now
  sleep 0.2
  # Idle: the CPU time stood still for 0.5 s; the window is up and the list is shown.
  while [ $same -lt 5 ]; do
    now=$(ticks $pid) || break
    if [ "$now" = "$last" ]; then same=$((same + 1)); else same=0; idle=$(date +%s%N); fi
    last=$now
    sleep 0.1
  done
  local hwm=$(awk '/^VmHWM/ { print $2 }' /proc/$pid/status)
  kill $pid; wait $pid 2>/dev/null
  printf '%-34s start-up %5d ms   peak RSS %6d KB\n' "$1" $(((idle - start) / 1000000)) "$hwm"
}
printf '"IP";"Name"\r\n' > "$work/iplist.txt"
measure "empty list"
/usr/bin/python3 - "$work/iplist.txt" <<'PY'
import sys
open(sys.argv[1], "wb").write(b"a;" * 3000 + b"\r\n" * 6000)
PY
measure "crafted 18 KB (3000 fields)"
# At the list's limits (100,000 rows; 8 MB), with short names and with names that fill the bytes,
# then lists over the rows and over the bytes that are refused: it must be turned away within seconds.
list() {  # list ROWS NAME_BYTES
  /usr/bin/python3 - "$work/iplist.txt" "$1" "$2" <<'PY'
import sys
n, size = int(sys.argv[2]), int(sys.argv[3])
rows = [b'"IP";"Name"']
rows += [b'"10.%d.%d.%d";"%s"' % (i >> 16 & 255, i >> 8 & 255, i & 255,
         (b"\x83\x7a\x83\x58\x83\x67%d" % i).ljust(size, b"n")) for i in range(n)]
open(sys.argv[1], "wb").write(b"\r\n".join(rows) + b"\r\n")
PY
}
list 100000 0
measure "100,000 rows ($(($(stat -c %s "$work/iplist.txt") / 1024)) KB)"
list 100000 60
measure "100,000 rows ($(($(stat -c %s "$work/iplist.txt") / 1024)) KB)"
# The same with every optional column shown (their cells are worked out as they are drawn).
printf '[Form]\r\nCBX2=0\r\nLCShow=5,6,7,8,9,10\r\n' > "$work/bin/pingrove.INI"
measure "100,000 rows, every column shown"
printf '[Form]\r\nCBX2=0\r\n' > "$work/bin/pingrove.INI"
list 250000 0
measure "250,000 rows, refused ($(($(stat -c %s "$work/iplist.txt") / 1024)) KB)"
list 2100000 0
measure "2,100,000 rows, refused ($(($(stat -c %s "$work/iplist.txt") / 1048576)) MB)"
