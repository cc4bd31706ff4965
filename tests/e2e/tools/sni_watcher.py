#!/usr/bin/python3
"""Minimal org.kde.StatusNotifierWatcher for tests, on the session bus given by DBUS_SESSION_BUS_ADDRESS.
Prints 'READY' once it owns the name, then 'REGISTERED <busname> <path> arg=<argument> ns=<wall clock ns>'
per item, flushing each line (the time lets a benchmark measure from the program's exec).
Run with Debian's /usr/bin/python3 (python3-dbus, python3-gi)."""
import sys, time
import dbus, dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

IFACE = "org.kde.StatusNotifierWatcher"
PROPS = "org.freedesktop.DBus.Properties"
# Qt reads IsStatusNotifierHostRegistered through QDBusInterface, which only knows properties that the
# introspection data declares; dbus-python's generated Introspect lists no properties, so it is written out here.
INTROSPECTION = """<node>
 <interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
 </interface>
 <interface name="org.freedesktop.DBus.Properties">
  <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
  <method name="GetAll"><arg type="s" direction="in"/><arg type="a{sv}" direction="out"/></method>
 </interface>
 <interface name="org.freedesktop.DBus.Introspectable">
  <method name="Introspect"><arg type="s" direction="out"/></method>
 </interface>
</node>"""

class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.bus, self.items, self.hosts = bus, [], []
        self.on_register = lambda busname, path: None  # a benchmark importing this class listens here
        bus.add_signal_receiver(self._owner_changed, "NameOwnerChanged", "org.freedesktop.DBus")

    def _owner_changed(self, name, old, new):
        if new:
            return
        for it in [i for i in self.items if i.split("/", 1)[0] in (name, old)]:
            self.items.remove(it)
            print("UNREGISTERED", it, flush=True)
            self.StatusNotifierItemUnregistered(it)

    @dbus.service.method(IFACE, in_signature="s", out_signature="", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # Items register with a bus name or an object path; Qt sends a well-known name.
        busname, path = (sender, service) if service.startswith("/") else (service, "/StatusNotifierItem")
        item = busname + path
        if item not in self.items:
            self.items.append(item)
            print("REGISTERED", busname, path, "arg=" + service, "ns=%d" % time.time_ns(), flush=True)
            self.StatusNotifierItemRegistered(item)
            self.on_register(busname, path)

    @dbus.service.method(IFACE, in_signature="s", out_signature="")
    def RegisterStatusNotifierHost(self, service):
        self.hosts.append(service)
        self.StatusNotifierHostRegistered()

    @dbus.service.signal(IFACE, signature="s")
    def StatusNotifierItemRegistered(self, item): pass

    @dbus.service.signal(IFACE, signature="s")
    def StatusNotifierItemUnregistered(self, item): pass

    @dbus.service.signal(IFACE, signature="")
    def StatusNotifierHostRegistered(self): pass

    def _props(self):
        return {"RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
                "IsStatusNotifierHostRegistered": dbus.Boolean(True),  # we pretend a host (the test) shows items
                "ProtocolVersion": dbus.Int32(0)}

    @dbus.service.method("org.freedesktop.DBus.Introspectable", in_signature="", out_signature="s",
                         path_keyword="object_path", connection_keyword="connection")
    def Introspect(self, object_path, connection):
        return INTROSPECTION

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, iface, prop):
        return self._props()[prop]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, iface):
        return self._props() if iface in (IFACE, "") else {}

if __name__ == "__main__":
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    w = Watcher(bus)
    # Claim the name only after the object exists, so a client seeing the name can call it at once.
    name = dbus.service.BusName(IFACE, bus, do_not_queue=True)
    print("READY", bus.get_unique_name(), flush=True)
    GLib.MainLoop().run()
