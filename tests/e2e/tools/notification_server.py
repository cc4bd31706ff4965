#!/usr/bin/python3
"""A notification server for tests: org.freedesktop.Notifications on the session bus given by
DBUS_SESSION_BUS_ADDRESS. Prints 'READY' once it owns the name, then one JSON line per call, flushed:
  {"call": "Notify", "id": N, "app": ..., "replaces": ..., "icon": ..., "summary": ..., "body": ...,
   "actions": [...], "hints": {...}, "timeout": ...}
  {"call": "CloseNotification", "id": N, "shown": true|false}
A closed notification is announced with NotificationClosed(id, 3). The test interface org.harbrill.Test
(same path) has InvokeAction(id, key), which emits ActionInvoked(id, key) as a click would, and Shown(),
the ids still on screen. Run with Debian's /usr/bin/python3 (python3-dbus, python3-gi)."""
import json, sys
import dbus, dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

IFACE = "org.freedesktop.Notifications"
TEST_IFACE = "org.harbrill.Test"


def plain(value):
    if isinstance(value, (dbus.String, str)):
        return str(value)
    if isinstance(value, (dbus.Boolean, bool)):
        return bool(value)
    if isinstance(value, (int, dbus.Byte)):
        return int(value)
    if isinstance(value, dict):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    return str(value)


class Server(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.next_id, self.shown = 1, set()

    def report(self, **fields):
        print(json.dumps(fields), flush=True)

    @dbus.service.method(IFACE, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        nid = int(replaces) if replaces and int(replaces) in self.shown else self.next_id
        if nid == self.next_id:
            self.next_id += 1
        self.shown.add(nid)
        self.report(call="Notify", id=nid, app=str(app), replaces=int(replaces), icon=str(icon),
                    summary=str(summary), body=str(body), actions=plain(actions), hints=plain(hints),
                    timeout=int(timeout))
        return dbus.UInt32(nid)

    @dbus.service.method(IFACE, in_signature="u", out_signature="")
    def CloseNotification(self, nid):
        nid = int(nid)
        was_shown = nid in self.shown
        self.report(call="CloseNotification", id=nid, shown=was_shown)
        if was_shown:
            self.shown.discard(nid)
            self.NotificationClosed(dbus.UInt32(nid), dbus.UInt32(3))

    @dbus.service.method(IFACE, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["actions", "body"]

    @dbus.service.method(IFACE, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("harbrill-test", "harbrill", "1", "1.2")

    @dbus.service.signal(IFACE, signature="uu")
    def NotificationClosed(self, nid, reason):
        pass

    @dbus.service.signal(IFACE, signature="us")
    def ActionInvoked(self, nid, key):
        pass

    @dbus.service.method(TEST_IFACE, in_signature="us", out_signature="")
    def InvokeAction(self, nid, key):
        self.ActionInvoked(dbus.UInt32(nid), key)

    @dbus.service.method(TEST_IFACE, in_signature="", out_signature="au")
    def Shown(self):
        return sorted(self.shown)


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    server = Server(bus)
    name = dbus.service.BusName(IFACE, bus, do_not_queue=True)
    print("READY", flush=True)
    GLib.MainLoop().run()


main()
