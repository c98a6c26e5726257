#!/usr/bin/env bash
# A copy of the program carrying cap_net_raw, started by an unprivileged user for whom only the
# raw ICMP socket will do: once its window is up it holds no capability at all, and an all scan
# still gets the answers of 127.0.0.1 and ::1. It runs in a network namespace of its own, whose
# ping_group_range leaves every group out, so nothing leaves the machine and the host's setting
# does not matter. A plugin of the user's (PLUGIN_DIR/socket_report_plugin, loaded through
# QT_PLUGIN_PATH) reports the sockets of the process it was loaded into: no raw socket is among
# them, the raw socket lives in the program's helper. Usage: run.sh PATH/TO/pingrove [PLUGIN_DIR].
# Exit 77 (skipped) without what it needs.
set -u
exe=$(readlink -f "$1")
plugins=${2:+$(readlink -f "$(dirname "$2")")}
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root to grant the capability and switch users"; exit 77; }
for tool in Xvfb xdotool setcap ip runuser; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
id nobody >/dev/null 2>&1 || { echo "SKIP: no user nobody"; exit 77; }
ns=pgcap$$
work=$(mktemp -d /tmp/pingrove-cap-XXXXXX)
display=:$((500 + RANDOM % 400))
. "$(dirname "$(readlink -f "$0")")/../script_support.sh"
extra_cleanup() { ip netns del $ns 2>/dev/null; }
ip netns add $ns || { echo "SKIP: cannot create a network namespace"; exit 77; }
ip -n $ns link set lo up
ip netns exec $ns sysctl -qw net.ipv4.ping_group_range="1 0"
icmp6() { ip netns exec $ns awk '$1 == "'$1'" { print $2 }' /proc/net/snmp6; }
icmp() { ip netns exec $ns awk '/^Icmp:/ { if (!h) { for (i = 1; i <= NF; i++) n[$i] = i; h = 1 } else print $n["'$1'"] }' /proc/net/snmp; }

chmod 755 "$work"
mkdir -p "$work/bin" "$work/cwd"
cp "$exe" "$work/bin/pingrove"
setcap cap_net_raw+ep "$work/bin/pingrove" || { echo "SKIP: setcap does not work here"; exit 77; }
# File capabilities count for nothing on a file system mounted nosuid.
if findmnt -no OPTIONS --target "$work/bin" 2>/dev/null | grep -qw nosuid; then
  echo "SKIP: $work is on a nosuid mount, where file capabilities do not apply"; exit 77
fi
printf '"IP";"Name"\r\n"127.0.0.1";"loop"\r\n"::1";"loop6"\r\n' > "$work/cwd/iplist.txt"
if [ -n "$plugins" ]; then
  cp -r "$plugins" "$work/plugins"
  mkdir -p "$work/report" && chmod 777 "$work/report"
fi
chmod -R a+rX "$work"
mkdir "$work/config" && chown nobody "$work/config"  # where the user's settings are saved

Xvfb $display -ac -noreset -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
waitfor 10 "DISPLAY=$display xdotool getmouselocation" || fail "Xvfb did not start"
before=$(icmp InEchoReps) before6=$(icmp6 Icmp6InEchoReplies)
cd "$work/cwd"
ip netns exec $ns runuser -u nobody -- env -i "${sanitizer_env[@]}" DISPLAY=$display HOME="$work" \
  XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/config" PATH=/usr/bin:/bin \
  QT_PLUGIN_PATH="$work/plugins" \
  QT_QPA_GENERIC_PLUGINS=pingrovesocketreport PINGROVE_PLUGIN_REPORT="$work/report/sockets" \
  "$work/bin/pingrove" > "$work/out.log" 2>&1 &
runner=$!; pids+=($runner)
# The program is the one this script started: runuser's child, found by that PID, never by name.
waitfor 15 'pgrep -P $runner -x pingrove' || fail "the program did not start"
app=$(pgrep -P $runner -x pingrove); pids+=($app)
export DISPLAY=$display
waitfor 30 'test -n "$(xsearch --all --onlyvisible --pid $app --name "v1\.05$")"' ||
  fail "main window did not appear (process $app: $(ps -o stat=,comm= -p $app); its windows:" \
    "$(xsearch --all --pid $app --name . | while read -r w; do xdotool getwindowname "$w"; done))"
win=$(xsearch --all --onlyvisible --pid $app --name 'v1\.05$' | head -1)
for set in CapEff CapPrm CapInh CapAmb; do
  value=$(awk -v k="$set:" '$1 == k { print $2 }' /proc/$app/status)
  echo "$set $value"
  [ "$value" = 0000000000000000 ] || fail "$set is $value once the window is up"
done
if [ -n "$plugins" ]; then
  grep -q loaded "$work/report/sockets" 2>/dev/null || fail "the user's plugin was not loaded"
  sed 's/^/  plugin saw: /' "$work/report/sockets"
  ! grep -Eq 'domain (2|10) type 3$' "$work/report/sockets" ||
    fail "the user's plugin runs in a process that holds a raw socket"
fi
xdotool mousemove --window "$win" 38 34 click 1  # the toolbar's 全偵察
waitfor 10 '[ "$(icmp InEchoReps)" -gt "$before" ]' || fail "no echo reply reached 127.0.0.1's prober"
waitfor 10 '[ "$(icmp6 Icmp6InEchoReplies)" -gt "$before6" ]' || fail "no echo reply reached ::1's prober"
echo "privilege drop passed: replies $before -> $(icmp InEchoReps), IPv6 $before6 -> $(icmp6 Icmp6InEchoReplies)"

# The helper killed, as the out-of-memory killer would: the next all scan fails at once and reaps
# it, and SIGTERM still saves and ends the program with status 0.
helper=$(pgrep -P $app -x pingrove-icmp) || fail "no ICMP helper beside the program"
kill -9 "$helper"
# Clicked until a scan starts: the first one may still be in its pause after the reply.
waitfor 10 'xdotool mousemove --window "$win" 38 34 click 1; ! ps -p $helper' || fail "the dead helper was not reaped ($(ps -o stat= -p $helper))"
kill -TERM "$app"
waitfor 5 '! kill -0 $app' || fail "SIGTERM did not end the program once its helper had died"
wait "$runner"; status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
[ -s "$work/config/pingrove/pingrove.INI" ] || fail "the settings were not saved"
echo "a dead helper: reaped, and SIGTERM saved and ended with 0"
