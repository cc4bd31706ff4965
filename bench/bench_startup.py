#!/usr/bin/python3
"""Start-up of the real program on a private desktop (run by bench_startup.sh, which provides Xvfb, openbox and a
private session bus). This process owns org.kde.StatusNotifierWatcher, so it sees the tray item register.

Each round starts `harbrill` on a fresh profile whose set-up is complete, in its own temporary XDG folders:
  registered  exec -> the tray item registered with the watcher
  shown       exec -> the main window managed on screen, the item activated the moment it registered
              (what a person clicking the tray item as soon as it appears would wait)
  rss         VmRSS one second after start with the window never shown (odd rounds), or one second after
              it was shown (even rounds)
A round counts only when the item registered and, where asked, the window came up; otherwise the bench fails.
usage: bench_startup.py HARBRILL ROUNDS WORKDIR"""
import ctypes as c
import os, shutil, statistics, subprocess, sys, threading, time

import dbus
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e", "tools"))
import sni_watcher  # noqa: E402
from sni_watcher import IFACE, Watcher  # noqa: E402

sni_watcher.print = lambda *args, **kwargs: None  # the rounds report for themselves

TIMEOUT_S = 10


class Screen:
    """Answers whether the window manager manages a window of a given process (openbox's _NET_CLIENT_LIST)."""

    def __init__(self):
        x = c.CDLL("libX11.so.6")
        x.XOpenDisplay.restype = c.c_void_p
        x.XDefaultRootWindow.argtypes = [c.c_void_p]
        x.XDefaultRootWindow.restype = c.c_ulong
        x.XInternAtom.argtypes = [c.c_void_p, c.c_char_p, c.c_int]
        x.XInternAtom.restype = c.c_ulong
        x.XGetWindowProperty.argtypes = [c.c_void_p, c.c_ulong, c.c_ulong, c.c_long, c.c_long, c.c_int, c.c_ulong,
                                         c.POINTER(c.c_ulong), c.POINTER(c.c_int), c.POINTER(c.c_ulong),
                                         c.POINTER(c.c_ulong), c.POINTER(c.c_void_p)]
        x.XFree.argtypes = [c.c_void_p]
        self.x = x
        self.d = x.XOpenDisplay(None)
        if not self.d:
            sys.exit("bench_startup: no display")
        self.root = x.XDefaultRootWindow(self.d)
        self.client_list = x.XInternAtom(self.d, b"_NET_CLIENT_LIST", 0)
        self.wm_pid = x.XInternAtom(self.d, b"_NET_WM_PID", 0)

    def _longs(self, window, atom):
        kind, fmt, n, after, data = c.c_ulong(), c.c_int(), c.c_ulong(), c.c_ulong(), c.c_void_p()
        if self.x.XGetWindowProperty(self.d, window, atom, 0, 4096, 0, 0, c.byref(kind), c.byref(fmt), c.byref(n),
                                     c.byref(after), c.byref(data)) != 0 or not data:
            return []
        values = [c.cast(data, c.POINTER(c.c_ulong))[i] for i in range(n.value)]
        self.x.XFree(data)
        return values

    def managed_window_of(self, pid):
        return any(self._longs(w, self.wm_pid) == [pid] for w in self._longs(self.root, self.client_list))


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def fresh_profile(workdir, n):
    home = os.path.join(workdir, "round-%d" % n)
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/.config", XDG_DATA_HOME=home + "/.local/share",
               XDG_CACHE_HOME=home + "/.cache", XDG_RUNTIME_DIR=home + "/runtime")
    os.makedirs(home + "/.config/harbrill")
    os.makedirs(home + "/runtime", mode=0o700)
    with open(home + "/.config/harbrill/com.mirelda.Harbrill.json", "w") as f:
        f.write('{"SETUPCOMPLETE": {"type": "bool", "value": true}}\n')
    return home, env


def main():
    app, rounds, workdir = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    watcher = Watcher(bus)
    owner = dbus.service.BusName(IFACE, bus, do_not_queue=True)  # noqa: F841 (held for the whole run)
    screen = Screen()
    loop = GLib.MainLoop()
    results = []

    for n in range(rounds + 1):  # round 0 warms the file cache and is not counted
        show = n % 2 == 0
        home, env = fresh_profile(workdir, n)
        r = {"registered": None, "shown": None}

        def registered(busname, path, r=r):
            r["registered"] = time.monotonic_ns()
            if show:
                item = bus.get_object(busname, path)
                item.Activate(0, 0, dbus_interface="org.kde.StatusNotifierItem",
                              reply_handler=lambda: None, error_handler=lambda e: None)
            loop.quit()

        watcher.on_register = registered
        t0 = time.monotonic_ns()
        proc = subprocess.Popen([app], env=env, stdout=subprocess.DEVNULL, stderr=open(home + "/harbrill.log", "w"))
        # Each round's time limit ends with the round: a limit left armed would cut a later round short.
        limit = GLib.timeout_add(TIMEOUT_S * 1000, loop.quit)
        loop.run()
        if r["registered"] is not None:
            GLib.source_remove(limit)
        if r["registered"] is None:
            proc.kill()
            sys.exit("bench_startup: round %d: no tray item registered within %d s (log: %s/harbrill.log)"
                     % (n, TIMEOUT_S, home))
        if show:
            # Keep the bus served while the window comes up (the item's Activate goes through it).
            ctx, end = GLib.MainContext.default(), time.monotonic() + TIMEOUT_S
            while not screen.managed_window_of(proc.pid):
                if time.monotonic() > end:
                    proc.kill()
                    sys.exit("bench_startup: round %d: the window did not come up after activation" % n)
                ctx.iteration(False)
                time.sleep(0.001)
            r["shown"] = time.monotonic_ns()
        settle = time.monotonic() + 1.0
        ctx = GLib.MainContext.default()
        while time.monotonic() < settle:
            ctx.iteration(False)
            time.sleep(0.01)
        r["rss"] = rss_kib(proc.pid)
        proc.terminate()
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        ctx_end = time.monotonic() + 0.3  # let the watcher see the item leave
        while time.monotonic() < ctx_end:
            ctx.iteration(False)
            time.sleep(0.01)
        watcher.items.clear()
        r["registered"] = (r["registered"] - t0) / 1e6
        if r["shown"] is not None:
            r["shown"] = (r["shown"] - t0) / 1e6
        r["show"] = show
        shutil.rmtree(home, ignore_errors=True)
        if n > 0:
            results.append(r)
            print("round %2d: registered %6.1f ms%s, VmRSS %5.1f MiB (window %s)" % (
                n, r["registered"], "" if r["shown"] is None else ", shown %6.1f ms" % r["shown"],
                r["rss"] / 1024, "shown" if show else "never shown"), flush=True)

    med = lambda xs: statistics.median(xs) if xs else float("nan")
    reg = med([r["registered"] for r in results])
    shown = med([r["shown"] for r in results if r["shown"] is not None])
    rss_hidden = med([r["rss"] / 1024 for r in results if not r["show"]])
    rss_shown = med([r["rss"] / 1024 for r in results if r["show"]])
    print("median over %d rounds: exec -> tray item registered %.1f ms; exec -> window on screen (activated at "
          "registration) %.1f ms; VmRSS idle %.1f MiB (window never shown) / %.1f MiB (after showing it)"
          % (len(results), reg, shown, rss_hidden, rss_shown))
    ok = shown <= 300 and max(rss_hidden, rss_shown) <= 60
    print("targets (300 ms, 60 MiB): %s" % ("met" if ok else "NOT met"))


main()
