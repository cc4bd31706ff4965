#!/usr/bin/python3
"""A desktop portal for tests: org.freedesktop.portal.Desktop on the session bus given by
DBUS_SESSION_BUS_ADDRESS, offering org.freedesktop.portal.GlobalShortcuts (version 1) the way
xdg-desktop-portal does: CreateSession and BindShortcuts answer through Request objects' Response signal,
sessions are org.freedesktop.portal.Session objects, and Activated/Deactivated go to the session's owner.
The desktop takes every preferred trigger as it is and describes it in KDE's words ("LOGO+ALT+h" is
"Meta+Alt+H").
Prints 'READY' once it owns the name, then one JSON line per call, flushed:
  {"call": "CreateSession", "session": PATH}
  {"call": "BindShortcuts", "session": PATH, "shortcuts": [{"id": ..., "description": ..., "preferred_trigger": ...}]}
  {"call": "Close", "session": PATH}
  {"call": "Press", "session": PATH, "id": ..., "token": ...}
The test interface org.harbrill.Test (same path) has Press(token), which activates and deactivates the
shortcut bound last in a session still open, as a key press on the desktop would, with the activation
token in the options when it is not empty; it answers false when nothing is bound.
usage: portal.py [--refuse]   (--refuse: every BindShortcuts is answered with response 2, an error)
Run with Debian's /usr/bin/python3 (python3-dbus, python3-gi)."""
import json, sys, time
import dbus, dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
IFACE = "org.freedesktop.portal.GlobalShortcuts"
REQUEST = "org.freedesktop.portal.Request"
SESSION = "org.freedesktop.portal.Session"
TEST_IFACE = "org.harbrill.Test"
WORDS = {"LOGO": "Meta", "CTRL": "Ctrl", "ALT": "Alt", "SHIFT": "Shift", "NUM": "Num"}


def report(**fields):
    print(json.dumps(fields), flush=True)


def described(trigger):
    parts = str(trigger).split("+")
    key = parts[-1]
    return "+".join([WORDS.get(p, p) for p in parts[:-1]] + [key.upper() if len(key) == 1 else key])


def sender_part(sender):
    return sender[1:].replace(".", "_")


class Request(dbus.service.Object):
    def __init__(self, bus, path):
        super().__init__(bus, path)

    @dbus.service.signal(REQUEST, signature="ua{sv}")
    def Response(self, response, results):
        pass

    @dbus.service.method(REQUEST, in_signature="", out_signature="")
    def Close(self):
        self.remove_from_connection()


class Session(dbus.service.Object):
    def __init__(self, portal, path, owner):
        super().__init__(portal.bus, path)
        self.portal, self.path, self.owner, self.shortcuts, self.open = portal, path, owner, [], True

    @dbus.service.method(SESSION, in_signature="", out_signature="")
    def Close(self):
        report(call="Close", session=self.path)
        self.open = False
        self.remove_from_connection()

    @dbus.service.signal(SESSION, signature="a{sv}")
    def Closed(self, details):
        pass


class Portal(dbus.service.Object):
    def __init__(self, bus, refuse):
        super().__init__(bus, PATH)
        self.bus, self.refuse, self.sessions, self.serial = bus, refuse, {}, 0

    def request(self, sender, options):
        self.serial += 1
        token = str(options.get("handle_token", "t%d" % self.serial))
        path = "%s/request/%s/%s" % (PATH, sender_part(sender), token)
        return Request(self.bus, path), path

    def answer(self, request, response, results):
        # After the method's reply, as the real portal does.
        GLib.idle_add(lambda: (request.Response(dbus.UInt32(response), results), request.remove_from_connection(), False)[-1])

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, prop):
        if interface == IFACE and prop == "version":
            return dbus.UInt32(1)
        raise dbus.exceptions.DBusException("no such property", name="org.freedesktop.DBus.Error.InvalidArgs")

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {"version": dbus.UInt32(1)} if interface == IFACE else {}

    @dbus.service.method(IFACE, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        request, path = self.request(sender, options)
        token = str(options.get("session_handle_token", "s%d" % self.serial))
        session_path = "%s/session/%s/%s" % (PATH, sender_part(sender), token)
        self.sessions[session_path] = Session(self, session_path, sender)
        report(call="CreateSession", session=session_path)
        self.answer(request, 0, {"session_handle": dbus.ObjectPath(session_path)})
        return dbus.ObjectPath(path)

    @dbus.service.method(IFACE, in_signature="oa(sa{sv})sa{sv}", out_signature="o", sender_keyword="sender")
    def BindShortcuts(self, session_handle, shortcuts, parent_window, options, sender=None):
        request, path = self.request(sender, options)
        session = self.sessions.get(str(session_handle))
        asked = [{"id": str(i), "description": str(p.get("description", "")),
                  "preferred_trigger": str(p.get("preferred_trigger", ""))} for i, p in shortcuts]
        report(call="BindShortcuts", session=str(session_handle), shortcuts=asked)
        if self.refuse or session is None or not session.open or session.owner != sender:
            self.answer(request, 2, {})
        else:
            session.shortcuts = asked
            bound = [(a["id"], {"description": a["description"],
                                "trigger_description": described(a["preferred_trigger"]) if a["preferred_trigger"] else ""})
                     for a in asked]
            self.answer(request, 0, {"shortcuts": dbus.Array(bound, signature="(sa{sv})")})
        return dbus.ObjectPath(path)

    @dbus.service.method(IFACE, in_signature="oa{sv}", out_signature="o", sender_keyword="sender")
    def ListShortcuts(self, session_handle, options, sender=None):
        request, path = self.request(sender, options)
        session = self.sessions.get(str(session_handle))
        listed = [(a["id"], {"description": a["description"], "trigger_description": described(a["preferred_trigger"])})
                  for a in (session.shortcuts if session else [])]
        self.answer(request, 0, {"shortcuts": dbus.Array(listed, signature="(sa{sv})")})
        return dbus.ObjectPath(path)

    @dbus.service.signal(IFACE, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.signal(IFACE, signature="osta{sv}")
    def Deactivated(self, session_handle, shortcut_id, timestamp, options):
        pass

    @dbus.service.method(TEST_IFACE, in_signature="s", out_signature="b")
    def Press(self, token):
        open_sessions = [s for s in self.sessions.values() if s.open and s.shortcuts]
        if not open_sessions:
            return False
        session = open_sessions[-1]
        shortcut = session.shortcuts[-1]["id"]
        options = {"activation_token": token} if token else {}
        now = dbus.UInt64(int(time.time() * 1000000))
        report(call="Press", session=session.path, id=shortcut, token=str(token))
        self.Activated(dbus.ObjectPath(session.path), shortcut, now, dbus.Dictionary(options, signature="sv"))
        self.Deactivated(dbus.ObjectPath(session.path), shortcut, now, dbus.Dictionary({}, signature="sv"))
        return True


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    portal = Portal(bus, "--refuse" in sys.argv[1:])
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    print("READY", flush=True)
    GLib.MainLoop().run()


main()
