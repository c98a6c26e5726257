#!/usr/bin/python3
"""Starts a program under the X display of DISPLAY (no window manager) and prints the
milliseconds until its first top-level window is mapped and its resident memory then, in KB.
Usage: time_to_map.py PROGRAM [ARGS...]"""
import ctypes
import os
import subprocess
import sys
import time

x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY = 1 << 19

d = x.XOpenDisplay(None)
if not d:
    sys.exit("no display")
x.XSelectInput(d, x.XDefaultRootWindow(d), SUBSTRUCTURE_NOTIFY)
x.XSync(d, 0)
event = (ctypes.c_long * 24)()
start = time.monotonic()
child = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
while True:
    x.XNextEvent(d, event)
    if ctypes.cast(event, ctypes.POINTER(ctypes.c_int))[0] == MAP_NOTIFY:
        break
elapsed = (time.monotonic() - start) * 1000
rss = 0
with open("/proc/%d/status" % child.pid) as f:
    for line in f:
        if line.startswith("VmRSS:"):
            rss = int(line.split()[1])
child.terminate()
child.wait()
print("%.0f %d" % (elapsed, rss))
