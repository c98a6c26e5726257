#!/usr/bin/python3
"""Asks the window manager to maximise or un-maximise a window, as its title bar's button does:
a _NET_WM_STATE client message to the root window. Usage: maximize.py WINDOW add|remove"""
import ctypes
import sys

x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class Event(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]


d = x.XOpenDisplay(None)
if not d:
    sys.exit("no display")
atom = lambda name: x.XInternAtom(d, name.encode(), 0)
e = Event()
e.xclient.type = 33  # ClientMessage
e.xclient.send_event = 1
e.xclient.window = int(sys.argv[1], 0)
e.xclient.message_type = atom("_NET_WM_STATE")
e.xclient.format = 32
e.xclient.data[0] = 1 if sys.argv[2] == "add" else 0
e.xclient.data[1] = atom("_NET_WM_STATE_MAXIMIZED_VERT")
e.xclient.data[2] = atom("_NET_WM_STATE_MAXIMIZED_HORZ")
e.xclient.data[3] = 1  # a normal application
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.POINTER(Event)]
x.XSendEvent(d, x.XDefaultRootWindow(d), 0, (1 << 19) | (1 << 20), ctypes.byref(e))
x.XCloseDisplay(d)
