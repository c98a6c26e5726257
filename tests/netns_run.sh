#!/usr/bin/env bash
# Runs a command inside a small test network made of network namespaces, so that nothing it sends
# can leave the machine. Exit 77 (skipped) without root or namespaces.
#
#   client 198.18.0.2 ── 198.18.0.1 router 198.18.1.1 ── 198.18.1.10 answer   (answers echo)
#                                          198.18.2.1 ── 198.18.2.10 silent   (ignores echo)
#                                          198.18.3.1 ── 198.18.3.10 slow     (kernel echo off; a
#                                                                             responder may answer)
#   router: 198.19.0.0/16 is an "unreachable" route (a real ICMP destination unreachable);
#   client: no route at all to 198.18.200.0/24 (the send fails).
#   Long lists: the answering host answers for all of 198.18.64.0/18 and fd00:198:18:64::/64, the
#   silent host holds 198.18.128.0/18 and fd00:198:18:128::/64 (local routes: every address is
#   the host's own).
# IPv6 beside it, unique local addresses: client fd00:198:18::2, router fd00:198:18::1 and
# fd00:198:18:N::1 (and fe80::1 on the client's link: fe80::1%c0; the client has a second link,
# d0, preferred for fe80::/64, so a request that lost its zone leaves by it and is never answered),
# answer fd00:198:18:1::10, silent fd00:198:18:2::10; the router's
# fd00:198:19::/48 is "unreachable" (no route, code 0) and fd00:198:20::/48 "prohibit" (code 1);
# the client's hosts file names answer6.test, which has only the IPv6 address, and answer4.test,
# another name of 198.18.1.10.
set -u
if [ "$(id -u)" -ne 0 ] || ! command -v ip >/dev/null; then
  echo "SKIP: the network tests need root and iproute2 to build their namespaces"
  exit 77
fi
p=pgt$$
c=${p}c r=${p}r a=${p}a s=${p}s w=${p}w
sink=
cleanup() {
  [ -n "$sink" ] && kill "$sink" 2>/dev/null
  rm -rf "/etc/netns/$c"
  for n in $c $r $a $s $w; do ip netns del "$n" 2>/dev/null; done
}
trap cleanup EXIT
for n in $c $r $a $s $w; do
  ip netns add "$n" || { echo "SKIP: cannot create network namespaces"; exit 77; }
  ip -n "$n" link set lo up
  # No duplicate address detection: an address is usable at once, not a second later.
  ip netns exec "$n" sysctl -qw net.ipv6.conf.all.accept_dad=0 net.ipv6.conf.default.accept_dad=0
done
veth() { ip link add "$1" netns "$2" type veth peer name "$3" netns "$4"; }
veth c0 $c r0 $r && veth r1 $r a0 $a && veth r2 $r s0 $s && veth r3 $r w0 $w || exit 77
ip -n $c addr add 198.18.0.2/24 dev c0 && ip -n $c link set c0 up
ip -n $r addr add 198.18.0.1/24 dev r0 && ip -n $r link set r0 up
ip -n $r addr add 198.18.1.1/24 dev r1 && ip -n $r link set r1 up
ip -n $r addr add 198.18.2.1/24 dev r2 && ip -n $r link set r2 up
ip -n $a addr add 198.18.1.10/24 dev a0 && ip -n $a link set a0 up
ip -n $s addr add 198.18.2.10/24 dev s0 && ip -n $s link set s0 up
ip -n $r addr add 198.18.3.1/24 dev r3 && ip -n $r link set r3 up
ip -n $w addr add 198.18.3.10/24 dev w0 && ip -n $w link set w0 up
v6() { ip -6 -n "$1" addr add "$2" dev "$3" nodad; }
v6 $c fd00:198:18::2/64 c0 && v6 $r fd00:198:18::1/64 r0 && v6 $r fd00:198:18:1::1/64 r1 &&
  v6 $r fd00:198:18:2::1/64 r2 && v6 $a fd00:198:18:1::10/64 a0 && v6 $s fd00:198:18:2::10/64 s0 &&
  v6 $r fe80::1/64 r0 ||
  exit 77
veth d0 $c d1 $c && ip -n $c link set d0 up && ip -n $c link set d1 up &&
  ip -6 -n $c route replace fe80::/64 dev c0 metric 1024 &&
  ip -6 -n $c route del fe80::/64 dev c0 metric 256 || exit 77
ip netns exec $r sysctl -qw net.ipv6.conf.all.forwarding=1
ip netns exec $s sysctl -qw net.ipv6.icmp.echo_ignore_all=1
ip netns exec $r sysctl -qw net.ipv6.icmp.ratelimit=0
ip -6 -n $r route add unreachable fd00:198:19::/48
ip -6 -n $r route add prohibit fd00:198:20::/48
ip -6 -n $a route add default via fd00:198:18:1::1
ip -6 -n $s route add default via fd00:198:18:2::1
for net in fd00:198:18:1::/64 fd00:198:18:2::/64 fd00:198:19::/48 fd00:198:20::/48; do
  ip -6 -n $c route add $net via fd00:198:18::1
done
ip netns exec $r sysctl -qw net.ipv4.ip_forward=1
ip netns exec $s sysctl -qw net.ipv4.icmp_echo_ignore_all=1
ip netns exec $w sysctl -qw net.ipv4.icmp_echo_ignore_all=1
# No rate limit on the router's ICMP errors, so every probe gets its answer: neither the
# per-peer one (icmp_ratelimit) nor the kernel's global budget, which a ratemask of 0 bypasses
# (the budget is randomised and, on older kernels, shared with the whole machine).
ip netns exec $r sysctl -qw net.ipv4.icmp_ratelimit=0
ip netns exec $r sysctl -qw net.ipv4.icmp_ratemask=0
ip -n $r route add unreachable 198.19.0.0/16
ip -n $a route add default via 198.18.1.1
ip -n $s route add default via 198.18.2.1
ip -n $w route add default via 198.18.3.1
for net in 198.18.1.0/24 198.18.2.0/24 198.18.3.0/24 198.19.0.0/16 198.18.64.0/18 198.18.128.0/18; do
  ip -n $c route add $net via 198.18.0.1
done
# HOST holds the ranges NET4 and NET6, behind the router at its addresses VIA4 and VIA6.
hold() {
  ip -n "$1" route add local "$2" dev lo && ip -n $r route add "$2" via "$3" &&
    ip -6 -n "$1" route add local "$4" dev lo && ip -6 -n $r route add "$4" via "$5" &&
    ip -6 -n $c route add "$4" via fd00:198:18::1
}
hold $a 198.18.64.0/18 198.18.1.10 fd00:198:18:64::/64 fd00:198:18:1::10 &&
  hold $s 198.18.128.0/18 198.18.2.10 fd00:198:18:128::/64 fd00:198:18:2::10 || exit 77
# The client's name server is the silent host, which swallows every query: a look-up waits for
# the resolver's time-out (1 s) and fails. ip netns exec puts this resolv.conf in place.
mkdir -p "/etc/netns/$c"
printf 'nameserver 198.18.2.10\noptions timeout:1 attempts:1\n' > "/etc/netns/$c/resolv.conf"
printf '127.0.0.1 localhost\n::1 localhost ip6-localhost\nfd00:198:18:1::10 answer6.test\n%s\n' \
  '198.18.1.10 answer4.test' > "/etc/netns/$c/hosts"
ready=$(mktemp -u /tmp/pingrove-netns-XXXXXX)
mkfifo -m 600 "$ready"
ip netns exec $s /usr/bin/python3 -c '
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", 53))
print("ready", flush=True)
while True:
    s.recv(512)
' > "$ready" & sink=$!
# The tests start once the name server sink listens, however long a busy machine takes.
read -r -t 30 line < "$ready"; rm -f "$ready"
[ "${line:-}" = ready ] || { echo "FAIL: the name server sink did not start"; exit 1; }
export PINGROVE_NETNS_CLIENT=$c PINGROVE_NETNS_ROUTER=$r PINGROVE_NETNS_ANSWER=$a \
       PINGROVE_NETNS_SILENT=$s PINGROVE_NETNS_SLOW=$w
ip netns exec $c "$@"
