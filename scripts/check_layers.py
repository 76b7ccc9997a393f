#!/usr/bin/env python3
"""Checks the code against the room table of src/README.md.

  python3 scripts/check_layers.py [REPO]

Every `#include "room/..."` in src/ must name the file's own room or one its row allows; a
`#include <Q...>` must be a Qt module the row's Qt column allows (none < Gui < Core, Gui <
Widgets); every tintora_add_room / tintora_add_window_room call in src/ must use only allowed
rooms. Prints each violation with its file and line; exits 1 when there is one.
"""
import glob
import os
import re
import sys

repo = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
src = os.path.join(repo, "src")

rooms = {}  # folder ("effects/ui") -> {"targets", "uses", "qt"}
for line in open(os.path.join(src, "README.md"), encoding="utf-8"):
    cells = [c.strip() for c in line.strip().strip("|").split("|")]
    if len(cells) != 6 or not re.fullmatch(r"`[a-z_/]+/`", cells[1]):
        continue
    uses = cells[3]
    rooms[cells[1].strip("`").rstrip("/")] = {
        "targets": re.findall(r"`([^`]+)`", cells[2]),
        "uses": "all" if uses == "all" else {u.rstrip("/") for u in re.findall(r"`([^`]+)`", uses)},
        "qt": cells[4],
    }
if not rooms:
    sys.exit("check_layers: no room table found in src/README.md")

def room_of(path):
    best = None
    for r in rooms:
        if (path == r or path.startswith(r + "/")) and (best is None or len(r) > len(best)):
            best = r
    return best

def allowed(room, other):
    uses = rooms[room]["uses"]
    return other == room or uses == "all" or other in uses

# Qt's module folders: a <QFoo> include belongs to the module whose folder holds QFoo.
qt_root = next(iter(glob.glob("/usr/include/*/qt6") + glob.glob("/usr/include/qt6")), None)
qt_rank = {"none": 0, "Gui": 1, "Core, Gui": 2, "Widgets": 3}
module_rank = {"QtCore": 2, "QtGui": 1, "QtWidgets": 3}

def qt_module(header):
    name = header.split("/")[-1]
    if "/" in header:
        return header.split("/")[0]
    for module in ("QtWidgets", "QtGui", "QtCore"):
        if qt_root and os.path.exists(os.path.join(qt_root, module, name)):
            return module
    return "QtOther"

problems = []
for path in sorted(glob.glob(os.path.join(src, "**", "*"), recursive=True)):
    rel = os.path.relpath(path, src)
    if not rel.endswith((".h", ".cpp")):
        continue
    room = room_of(rel)
    if room is None:
        problems.append(f"src/{rel}: in no room of the table")
        continue
    for number, text in enumerate(open(path, encoding="utf-8"), 1):
        m = re.match(r'\s*#\s*include\s+"([^"]+)"', text)
        if m and "/" in m.group(1):
            other = room_of(m.group(1))
            if other is None:
                problems.append(f"src/{rel}:{number}: includes {m.group(1)}, in no room")
            elif not allowed(room, other):
                problems.append(f"src/{rel}:{number}: {room}/ may not use {other}/ ({m.group(1)})")
        m = re.match(r"\s*#\s*include\s+<(Q[^>]*)>", text)
        if m:
            module = qt_module(m.group(1))
            need = module_rank.get(module, 3)
            have = qt_rank.get(rooms[room]["qt"], 0)
            # Gui alone is the image readers: Core's basics come with it.
            if have == 1 and module == "QtCore":
                need = 1
            if need > have:
                problems.append(f"src/{rel}:{number}: {room}/ may not include {module} "
                                f"(<{m.group(1)}>; allowed: {rooms[room]['qt']})")

target_room = {t: r for r, v in rooms.items() for t in v["targets"]}
core = [t for r, v in rooms.items() if r in ("files", "color", "effects", "alpha", "normalmap", "preview")
        for t in v["targets"]]
for cmake in sorted(glob.glob(os.path.join(src, "**", "CMakeLists.txt"), recursive=True)):
    body = open(cmake, encoding="utf-8").read()
    for m in re.finditer(r"tintora_add_(?:window_)?room\(\s*(\S+)\s+(\S+)(.*?)\)", body, re.S):
        target, folder, rest = m.groups()
        if not re.fullmatch(r"[\w-]+", target):  # the functions' own definitions
            continue
        where = os.path.relpath(cmake, repo)
        if folder not in rooms or target not in rooms[folder]["targets"]:
            problems.append(f"{where}: room {target} ({folder}/) is not a row of the table")
            continue
        uses = re.search(r"\bUSES\b(.*?)(?:\bPRIVATE\b|\bSOURCES\b|$)", rest, re.S)
        for used in (uses.group(1).split() if uses else []):
            for t in (core if used == "tintora-core" else [used]):
                if t.startswith("tintora") and not allowed(folder, target_room.get(t, "?")):
                    problems.append(f"{where}: {target} links {t}, which its row does not allow")

for p in problems:
    print(p)
print(f"check_layers: {len(rooms)} rooms, {len(problems)} violations")
sys.exit(1 if problems else 0)
