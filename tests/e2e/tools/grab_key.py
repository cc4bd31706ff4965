#!/usr/bin/python3
"""An X client that holds a key combination on the root window, as a desktop shell holds its own
shortcuts (GNOME Shell and KDE Plasma hold Super+1 for their docks). Needs DISPLAY.
usage: grab_key.py MODIFIERS KEY     e.g. grab_key.py super 1   (modifiers: super, alt, ctrl, shift, joined by +)
Prints 'READY' once the grab is in place (with the Num Lock and Caps Lock variants), then 'PRESS' and
'RELEASE' for each press of the combination it receives, flushed; runs until it is ended."""
import ctypes as c
import sys

MASKS = {"shift": 1 << 0, "ctrl": 1 << 2, "alt": 1 << 3, "super": 1 << 6}
LOCK, MOD2 = 1 << 1, 1 << 4  # Caps Lock, Num Lock on a usual keymap
KEY_PRESS, KEY_RELEASE, GRAB_MODE_ASYNC = 2, 3, 1


class XKeyEvent(c.Structure):
    _fields_ = [("type", c.c_int), ("serial", c.c_ulong), ("send_event", c.c_int), ("display", c.c_void_p),
                ("window", c.c_ulong), ("root", c.c_ulong), ("subwindow", c.c_ulong), ("time", c.c_ulong),
                ("x", c.c_int), ("y", c.c_int), ("x_root", c.c_int), ("y_root", c.c_int), ("state", c.c_uint),
                ("keycode", c.c_uint), ("same_screen", c.c_int)]


class XEvent(c.Union):
    _fields_ = [("type", c.c_int), ("xkey", XKeyEvent), ("pad", c.c_long * 24)]


def main():
    modifiers, key = sys.argv[1], sys.argv[2]
    mask = 0
    for name in modifiers.split("+"):
        mask |= MASKS[name]
    x = c.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = c.c_void_p
    x.XDefaultRootWindow.restype = c.c_ulong
    x.XDefaultRootWindow.argtypes = [c.c_void_p]
    x.XStringToKeysym.restype = c.c_ulong
    x.XKeysymToKeycode.argtypes = [c.c_void_p, c.c_ulong]
    x.XGrabKey.argtypes = [c.c_void_p, c.c_int, c.c_uint, c.c_ulong, c.c_int, c.c_int, c.c_int]
    x.XSync.argtypes = [c.c_void_p, c.c_int]
    x.XNextEvent.argtypes = [c.c_void_p, c.POINTER(XEvent)]
    display = x.XOpenDisplay(None)
    if not display:
        sys.exit("grab_key: no X display")
    root = x.XDefaultRootWindow(display)
    keycode = x.XKeysymToKeycode(display, x.XStringToKeysym(key.encode()))
    if not keycode:
        sys.exit("grab_key: no key %r on this keyboard" % key)
    for variant in (0, LOCK, MOD2, LOCK | MOD2):
        x.XGrabKey(display, keycode, mask | variant, root, 1, GRAB_MODE_ASYNC, GRAB_MODE_ASYNC)
    x.XSync(display, 0)
    print("READY", flush=True)
    event = XEvent()
    while True:
        x.XNextEvent(display, c.byref(event))
        if event.type == KEY_PRESS:
            print("PRESS", flush=True)
        elif event.type == KEY_RELEASE:
            print("RELEASE", flush=True)


main()
