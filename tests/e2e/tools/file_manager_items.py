#!/usr/bin/python3
"""Finds a file manager's items on screen through its accessibility tree (python3-pyatspi).
  file_manager_items.py PID FM centers        every item found: 'name x y' a line; status 1 when none
  file_manager_items.py PID FM center NAME    'x y' of the item NAME (screen coordinates)
  file_manager_items.py PID FM empty          'x y' of a place in the view where no item is
  file_manager_items.py PID FM select NAME...  selects the items NAME through the view's Selection, as a
                                              screen reader does (where no window's place is known: Wayland)
  file_manager_items.py PID FM select-all      selects every item of the view in the same way
FM is the file manager's name (nautilus thunar dolphin nemo caja pcmanfm pcmanfm-qt). The icon views
of Thunar and Nemo show no item places to accessibility, and PCManFM (GTK 2) is not on the bus at all:
there the items are placed on their view's grid, in name order, from the folder FM_FOLDER names.
The grids were measured on Debian 12's packages at their default zoom."""
import locale, os, subprocess, sys
import pyatspi

ITEM_ROLES = {"table cell", "list item", "icon", "tree item"}
# Icon views that expose no item places: the first cell's centre from the view's corner (PCManFM: from
# the window's, as xdotool gives it), and the grid's pitch.
GRIDS = {"thunar": (46, 47, 88), "nemo": (66, 53, 124), "pcmanfm": (206, 83, 94)}


def die(msg):
    sys.stderr.write("file_manager_items: %s\n" % msg)
    sys.exit(1)


def app_of(pid):
    desk = pyatspi.Registry.getDesktop(0)
    for i in range(desk.childCount):
        app = desk.getChildAtIndex(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            pass
    return None


def walk(node, depth=0):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        if depth < 40:
            yield from walk(child, depth + 1)


def window_geometry(pid):
    out = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(pid)],
                         capture_output=True, text=True).stdout.split()
    for w in reversed(out):
        g = subprocess.run(["xdotool", "getwindowgeometry", "--shell", w], capture_output=True, text=True).stdout
        values = dict(line.split("=", 1) for line in g.split() if "=" in line)
        if int(values.get("WIDTH", 0)) > 200:
            return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])
    return 0, 0, 0, 0


def window_origin(pid):
    """GTK 4 reports extents within its window, not on the screen."""
    return window_geometry(pid)[:2]


def extents(node):
    return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING) or node.getState().contains(pyatspi.STATE_VISIBLE)
    except Exception:
        return False


VIEW_ROLES = ("directory pane", "layered pane", "table", "tree table", "list", "tree")


def view_of(app):
    """The file view: an icon view's pane where there is one, else the largest table or list on screen."""
    best = None
    for node in walk(app):
        role = node.getRoleName()
        if role not in VIEW_ROLES or not showing(node):
            continue
        x, y, w, h = extents(node)
        rank = (-VIEW_ROLES.index(role) if role in VIEW_ROLES[:2] else -len(VIEW_ROLES), w * h)
        if w * h > 0 and (best is None or rank > best[1]):
            best = (node, rank)
    return best[0] if best else None


def accessible_items(app, fm, pid):
    view = view_of(app)
    if view is None:
        return {}
    dx, dy = window_origin(pid) if fm == "nautilus" else (0, 0)
    items = {}
    for node in walk(view):
        if node.getRoleName() not in ITEM_ROLES or not showing(node):
            continue
        name = node.name
        if not name or name.startswith("Nautilus"):
            # Nautilus names its cells by class; the file name is on a child.
            name = next((c.name for c in walk(node) if c.name and not c.name.startswith(("Gtk", "Nautilus"))), "")
        try:
            x, y, w, h = extents(node)
        except NotImplementedError:
            return {}
        if name and w > 0 and h > 0 and name not in items:
            # Low in the item, on its icon's foot: Dolphin's items take clicks on their drawn parts only.
            # PCManFM-Qt's places run lower than what it draws.
            low = h // 2 if fm == "pcmanfm-qt" else h * 3 // 4
            items[name] = (x + dx + w // 2, y + dy + low)
    return items


def view_extents(app, fm, pid):
    if app is None:
        return window_geometry(pid)
    view = view_of(app)
    return extents(view) if view is not None else None


def grid_items(app, fm, pid):
    folder = os.environ.get("FM_FOLDER")
    place = view_extents(app, fm, pid)
    if place is None or not folder:
        return {}
    x, y, w, h = place
    left, top, pitch = GRIDS[fm]
    per_row = max(1, (w - left + pitch // 2) // pitch)
    locale.setlocale(locale.LC_COLLATE, "")
    names = sorted((n for n in os.listdir(folder) if not n.startswith(".")),
                   key=lambda n: locale.strxfrm(n.casefold()))
    return {n: (x + left + pitch * (i % per_row), y + top + pitch * (i // per_row)) for i, n in enumerate(names)}


def items_of(app, fm, pid):
    items = accessible_items(app, fm, pid) if app is not None else {}
    return items if items or fm not in GRIDS else grid_items(app, fm, pid)


def main():
    if len(sys.argv) < 4:
        die(__doc__)
    pid, fm, cmd = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    app = app_of(pid)
    if app is None and fm not in GRIDS:
        die("no program with pid %d on the accessibility bus" % pid)
    if cmd == "centers":
        items = items_of(app, fm, pid)
        if not items:
            die("%s shows no items" % fm)
        for name, (x, y) in items.items():
            print(name, x, y)
    elif cmd == "center":
        items = items_of(app, fm, pid)
        if sys.argv[4] not in items:
            die("no item %r among %r" % (sys.argv[4], sorted(items)))
        print(*items[sys.argv[4]])
    elif cmd in ("select", "select-all"):
        view = next((n for n in walk(app) if n.getRole() in (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE)
                     and "Selection" in n.get_interfaces()), None)
        if view is None:
            die("no file view with a selection")
        selection = view.querySelection()
        if cmd == "select-all":
            selection.selectAll() or die("the view did not select all")
            return
        selection.clearSelection()
        wanted = set(sys.argv[4:])
        for i in range(view.childCount):
            child = view.getChildAtIndex(i)
            names = {child.name} | {c.name for c in walk(child)}
            if names & wanted:
                selection.selectChild(i)
                wanted -= names
        if wanted:
            die("no items %r" % sorted(wanted))
    elif cmd == "empty":
        place = view_extents(app, fm, pid)
        if place is None:
            die("no file view")
        x, y, w, h = place
        dx, dy = window_origin(pid) if fm == "nautilus" else (0, 0)
        print(x + dx + w - 60, y + dy + h - 60)
    else:
        die(__doc__)


main()
