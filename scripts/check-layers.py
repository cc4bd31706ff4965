#!/usr/bin/env python3
"""Which library includes which, against what the CMake files let each link.

Prints every include edge between source folders with the number of include lines behind it, and
fails (exit 1, naming file:line) when an include reaches a library its folder does not link, directly or
through public links, or when a library includes or links one of a higher layer, or when the links
form a cycle. The layers are the top folders, lowest first; what each folder links is read from its
CMakeLists.txt (hb_library DEPENDS, target_link_libraries), so new libraries need no change here.

usage: scripts/check-layers.py [--quiet]
"""

import os
import re
import sys

LAYERS = ["platform", "core", "mainwindow", "app"]
# Folders of code that are not libraries' users in the layers: programs, benchmarks, resources.
OTHERS = ["bench", "helper", "selection", "resources"]
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
CALL = re.compile(r"\b(hb_library|add_library|add_executable|target_link_libraries)\s*\(([^)]*)\)", re.S)
SCOPES = {"PUBLIC", "PRIVATE", "INTERFACE"}


def layer(folder):
    top = folder.split("/")[0]
    return LAYERS.index(top) if top in LAYERS else None


def strip_comments(text):
    return "\n".join(line.split("#", 1)[0] for line in text.splitlines())


def read_folders():
    """folder -> {"targets": set, "public": set, "private": set, "cmake": path} for every CMake folder."""
    folders = {}
    for top in LAYERS + OTHERS:
        for path, dirs, files in os.walk(os.path.join(ROOT, top)):
            dirs.sort()
            if "CMakeLists.txt" not in files:
                continue
            folder = os.path.relpath(path, ROOT)
            cmake = os.path.join(path, "CMakeLists.txt")
            with open(cmake, encoding="utf-8") as stream:
                text = strip_comments(stream.read())
            entry = {"targets": set(), "public": set(), "private": set(), "cmake": os.path.relpath(cmake, ROOT)}
            for call, args in CALL.findall(text):
                words = args.split()
                if not words:
                    continue
                name, rest = words[0], words[1:]
                if call in ("hb_library", "add_library", "add_executable"):
                    entry["targets"].add(name)
                if call == "hb_library":
                    entry["public"].update(w for w in rest if w != "DEPENDS")
                elif call == "target_link_libraries":
                    scope = "public"
                    for word in rest:
                        if word in SCOPES:
                            scope = "private" if word == "PRIVATE" else "public"
                        else:
                            entry[scope].add(word)
            for key in ("public", "private"):
                # Only the project's own libraries; a generator expression names its library last.
                entry[key] = {re.sub(r"^\$<.*,|>$|\"", "", w) for w in entry[key]}
                entry[key] = {w for w in entry[key] if w.startswith("hb_")} - entry["targets"]
            folders[folder] = entry
    return folders


def main():
    quiet = "--quiet" in sys.argv[1:]
    folders = read_folders()
    owner = {t: f for f, e in folders.items() for t in e["targets"]}
    problems = []

    # Links: each must name a known library of the same or a lower layer, and none may lead back.
    links = {}
    for folder, entry in folders.items():
        targets = {owner[t] for t in entry["public"] | entry["private"] if t in owner}
        links[folder] = {t for t in targets if t != folder}
        for name in sorted(entry["public"] | entry["private"]):
            if name not in owner:
                continue
            to = owner[name]
            if layer(folder) is not None and layer(to) is not None and layer(to) > layer(folder):
                problems.append(f"{entry['cmake']}: {folder} links {name} of the higher layer {to}")

    def cycle_from(start):
        path, seen = [start], set()

        def walk(node):
            for nxt in sorted(links[node]):
                if nxt == start:
                    return path + [start]
                if nxt in seen:
                    continue
                seen.add(nxt)
                path.append(nxt)
                found = walk(nxt)
                if found:
                    return found
                path.pop()
            return None

        return walk(start)

    reported = set()
    for folder in sorted(folders):
        found = cycle_from(folder)
        if found and frozenset(found) not in reported:
            reported.add(frozenset(found))
            problems.append(f"{folders[folder]['cmake']}: the links form a cycle: {' -> '.join(found)}")

    # What a folder may include: its own links, and what those expose through public links.
    def public_closure(folder, acc):
        for name in folders[folder]["public"]:
            to = owner.get(name)
            if to and to not in acc:
                acc.add(to)
                public_closure(to, acc)
        return acc

    allowed = {}
    for folder, entry in folders.items():
        reach = public_closure(folder, set())
        for name in entry["private"]:
            to = owner.get(name)
            if to:
                reach.add(to)
                public_closure(to, reach)
        allowed[folder] = reach

    def folder_of(include):
        parts = include.split("/")[:-1]
        while parts:
            candidate = "/".join(parts)
            if candidate in folders:
                return candidate
            parts.pop()
        return None

    edges = {}
    for folder in sorted(folders):
        path = os.path.join(ROOT, folder)
        for name in sorted(os.listdir(path)):
            if not name.endswith((".h", ".cpp")):
                continue
            source = os.path.join(folder, name)
            with open(os.path.join(ROOT, source), encoding="utf-8", errors="replace") as stream:
                for number, line in enumerate(stream, 1):
                    match = INCLUDE.match(line)
                    if not match or "/" not in match.group(1):
                        continue
                    to = folder_of(match.group(1))
                    if to is None or to == folder:
                        continue
                    edges[(folder, to)] = edges.get((folder, to), 0) + 1
                    if layer(folder) is not None and layer(to) is not None and layer(to) > layer(folder):
                        problems.append(f"{source}:{number}: {folder} includes {match.group(1)} of the higher layer {to}")
                    elif to not in allowed[folder]:
                        problems.append(f"{source}:{number}: {folder} includes {match.group(1)} but does not link {to}")

    if not quiet:
        for (source, to), count in sorted(edges.items()):
            print(f"{source} -> {to}  ({count})")
    libraries = sum(1 for (source, _) in edges if any(t.startswith("hb_") for t in folders[source]["targets"]))
    print(f"{len(edges)} include edges between folders ({libraries} from libraries), {len(problems)} forbidden")
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
