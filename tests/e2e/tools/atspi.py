#!/usr/bin/python3
"""Drives a program through its accessibility tree (python3-pyatspi). Needs DISPLAY and DBUS_SESSION_BUS_ADDRESS.
The program is found by its process id; only nodes on screen (state showing) count.
  wait PID SECONDS                 until the program is on the accessibility bus
  find PID NAME [SECONDS]          until a node named NAME is on screen
  absent PID NAME [SECONDS]        until no node named NAME is on screen
  press PID NAME                   the node's press/click action
  turn PID NAME [SECONDS]          press NAME, then wait until what is on screen changes (a page turns)
  enabled PID NAME                 status 0 when the node is enabled
  center PID NAME                  prints 'x y', the node's centre in screen coordinates
  children PID NAME                prints the names of the named nodes on screen inside NAME, one a line
                                   (of the node so named that holds most of them)
  describe PID NAME [SECONDS]      prints the description of the node named NAME
  active PID [SECONDS]             until a window of the program is the active one (has the focus)
  match PID REGEX [SECONDS] [ROLE] until a node (of ROLE) whose name matches REGEX is on screen; prints
                                   'role: name'
  focused PID                      prints the name of the node that has the keyboard focus
  unnamed PID                      lists controls and texts on screen without a name; status 1 if any
  tree PID                         prints every node on screen: role, name, description, extents
Status 1 with a message on stderr when something is not found in time."""
import re, sys, time
import pyatspi

# Roles whose nodes a screen reader announces by their name: without one they say nothing.
NAMED_ROLES = {"push button", "toggle button", "check box", "radio button", "combo box", "label", "static",
               "text", "entry", "progress bar", "slider", "spin button", "menu item", "list item",
               "page tab", "image"}


def die(msg):
    sys.stderr.write("atspi: %s\n" % msg)
    sys.exit(1)


def find_app(pid, timeout):
    end = time.monotonic() + timeout
    while True:
        desk = pyatspi.Registry.getDesktop(0)
        for i in range(desk.childCount):
            app = desk.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass  # an application leaving the bus while we look
        if time.monotonic() > end:
            die("no program with pid %d on the accessibility bus after %.1fs" % (pid, timeout))
        time.sleep(0.05)


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def walk(node):
    """Nodes on screen, depth first; hidden subtrees are skipped."""
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None or not showing(child):
            continue
        yield child
        yield from walk(child)


def lookup(app, name):
    for node in walk(app):
        if node.name == name:
            return node
    return None


def wait_match(app, pattern, timeout, role=None):
    end = time.monotonic() + timeout
    while True:
        for node in walk(app):
            if node.name and re.search(pattern, node.name) and role in (None, node.getRoleName()):
                return node
        if time.monotonic() > end:
            return None
        time.sleep(0.1)


def wait_node(app, name, timeout):
    end = time.monotonic() + timeout
    while True:
        node = lookup(app, name)
        if node is not None or time.monotonic() > end:
            return node
        time.sleep(0.1)


def press(node, name):
    act = node.queryAction()
    names = [act.getName(i) for i in range(act.nActions)]
    for wanted in ("press", "click", "activate", "toggle"):
        for i, n in enumerate(names):
            if n.lower() == wanted:
                if not act.doAction(i):
                    die("action %r failed on %r" % (n, name))
                return
    die("node %r has no press action (actions: %r)" % (name, names))


def screen_names(app):
    return [(node.getRoleName(), node.name, node.description) for node in walk(app)]


def main():
    if len(sys.argv) < 3:
        die(__doc__)
    cmd, pid = sys.argv[1], int(sys.argv[2])
    arg = sys.argv[3] if len(sys.argv) > 3 else None
    seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 0.0
    if cmd == "wait":
        find_app(pid, float(arg or 10))
        return
    app = find_app(pid, 5)
    if cmd == "tree":
        for node in walk(app):
            x, y, w, h = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            print("%-14s %-32r %-24r %d,%d %dx%d" % (node.getRoleName(), node.name, node.description, x, y, w, h))
    elif cmd == "find":
        if wait_node(app, arg, seconds) is None:
            die("no node named %r on screen after %.1fs" % (arg, seconds))
    elif cmd == "absent":
        end = time.monotonic() + seconds
        while lookup(app, arg) is not None:
            if time.monotonic() > end:
                die("node named %r still on screen after %.1fs" % (arg, seconds))
            time.sleep(0.1)
    elif cmd in ("press", "turn"):
        node = wait_node(app, arg, 2)
        if node is None:
            die("no node named %r on screen" % arg)
        before = screen_names(app) if cmd == "turn" else None
        press(node, arg)
        if cmd == "turn":
            end = time.monotonic() + (seconds or 5)
            while screen_names(app) == before:
                if time.monotonic() > end:
                    die("nothing changed on screen after pressing %r" % arg)
                time.sleep(0.1)
    elif cmd == "enabled":
        node = wait_node(app, arg, 2)
        if node is None:
            die("no node named %r on screen" % arg)
        sys.exit(0 if node.getState().contains(pyatspi.STATE_ENABLED) else 1)
    elif cmd == "children":
        holders = [node for node in walk(app) if node.name == arg]
        if not holders:
            die("no node named %r on screen" % arg)
        names = max(([c.name for c in walk(node) if c.name] for node in holders), key=len)
        for name in names:
            print(name)
    elif cmd == "match":
        node = wait_match(app, arg, seconds, sys.argv[5] if len(sys.argv) > 5 else None)
        if node is None:
            die("no node whose name matches %r on screen after %.1fs" % (arg, seconds))
        print("%s: %s" % (node.getRoleName(), node.name))
    elif cmd == "focused":
        for node in walk(app):
            if node.getState().contains(pyatspi.STATE_FOCUSED):
                print(node.name)
                return
        die("nothing on screen has the focus")
    elif cmd == "unnamed":
        silent = [node for node in walk(app) if node.getRoleName() in NAMED_ROLES and not node.name]
        for node in silent:
            x, y, w, h = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            print("%s at %d,%d %dx%d (description %r)" % (node.getRoleName(), x, y, w, h, node.description))
        sys.exit(1 if silent else 0)
    elif cmd == "center":
        node = wait_node(app, arg, seconds)
        if node is None:
            die("no node named %r on screen" % arg)
        x, y, w, h = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        print(x + w // 2, y + h // 2)
    elif cmd == "describe":
        node = wait_node(app, arg, seconds)
        if node is None:
            die("no node named %r on screen" % arg)
        print(node.description)
    elif cmd == "active":
        end = time.monotonic() + float(arg or 0)
        while not any(app.getChildAtIndex(i) is not None
                      and app.getChildAtIndex(i).getState().contains(pyatspi.STATE_ACTIVE)
                      for i in range(app.childCount)):
            if time.monotonic() > end:
                die("no window of the program is active after %.1fs" % float(arg or 0))
            time.sleep(0.1)
    else:
        die("unknown command %r\n%s" % (cmd, __doc__))


main()
