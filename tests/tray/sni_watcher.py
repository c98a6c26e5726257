#!/usr/bin/python3
"""A StatusNotifierItem watcher and host on the session bus, as a panel of KDE Plasma or GNOME's
AppIndicator extension runs one. Each registered item's service name is appended to FILE, and a
line to FILE.asked for every question whether a host is registered.
SIGUSR1 takes the host away and leaves the watcher, as KDE's watcher in kded5 stays when the
panel ends. Usage: sni_watcher.py FILE"""
import signal
import sys

from gi.repository import Gio, GLib

XML = """<node><interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
  <signal name="StatusNotifierHostUnregistered"/>
</interface></node>"""
items = []
host = [True]
connection = []


def call(conn, sender, path, iface, method, args, invocation):
    if method == "RegisterStatusNotifierItem":
        service = args.unpack()[0]
        if service.startswith("/"):
            service = sender
        items.append(service)
        with open(sys.argv[1], "a") as f:
            f.write(service + "\n")
        conn.emit_signal(None, path, iface, "StatusNotifierItemRegistered",
                         GLib.Variant("(s)", (service,)))
    invocation.return_value(None)


def get(conn, sender, path, iface, prop):
    if prop == "IsStatusNotifierHostRegistered":
        with open(sys.argv[1] + ".asked", "a") as f:
            f.write(sender + "\n")
    return {"RegisteredStatusNotifierItems": GLib.Variant("as", items),
            "IsStatusNotifierHostRegistered": GLib.Variant("b", host[0]),
            "ProtocolVersion": GLib.Variant("i", 0)}[prop]


def host_gone():
    host[0] = False
    connection[0].emit_signal(None, "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
                              "StatusNotifierHostUnregistered", None)
    return GLib.SOURCE_CONTINUE


def acquired(conn, name):
    connection.append(conn)
    conn.register_object("/StatusNotifierWatcher", Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0],
                         call, get, None)


Gio.bus_own_name(Gio.BusType.SESSION, "org.kde.StatusNotifierWatcher",
                 Gio.BusNameOwnerFlags.NONE, acquired, None, lambda *a: sys.exit(1))
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, host_gone)
GLib.MainLoop().run()
