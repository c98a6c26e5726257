#!/usr/bin/python3
"""Answers every ICMP echo request that reaches this network namespace after a set delay.

Run it in a namespace whose kernel ignores echo requests (net.ipv4.icmp_echo_ignore_all=1):
    slow_responder.py DELAY_MS
The kernel's own replies being off, this is the only answer, DELAY_MS after the request came in.
It prints "ready" once its socket is open.
"""
import heapq
import select
import socket
import struct
import sys
import time


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    s = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while s >> 16:
        s = (s & 0xFFFF) + (s >> 16)
    return ~s & 0xFFFF


def main():
    delay = float(sys.argv[1]) / 1000.0
    sock = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
    print("ready", flush=True)  # whoever started it waits for this line, not for a fixed time
    pending = []  # (due, sequence, destination, packet)
    n = 0
    while True:
        timeout = max(0.0, pending[0][0] - time.monotonic()) if pending else None
        ready, _, _ = select.select([sock], [], [], timeout)
        if ready:
            packet, (src, _) = sock.recvfrom(65535)
            ihl = (packet[0] & 0x0F) * 4
            icmp = packet[ihl:]
            if len(icmp) >= 8 and icmp[0] == 8:  # echo request
                reply = bytearray(icmp)
                reply[0] = 0
                reply[2:4] = b"\0\0"
                reply[2:4] = struct.pack("!H", checksum(bytes(reply)))
                n += 1
                heapq.heappush(pending, (time.monotonic() + delay, n, src, bytes(reply)))
        now = time.monotonic()
        while pending and pending[0][0] <= now:
            _, _, dst, reply = heapq.heappop(pending)
            sock.sendto(reply, (dst, 0))


if __name__ == "__main__":
    main()
