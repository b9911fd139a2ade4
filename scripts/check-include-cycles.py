#!/usr/bin/env python3
"""Fails when the project's files include each other in a cycle.

A header and the source files of the same name form one unit ("dirlisting.h",
"dirlisting.cpp", and the platform files "dirlisting_unix.cpp", "dirlisting_win.cpp"), so that "dirlisting.cpp includes namefilter.h, namefilter.h includes
dirlisting.h" counts as a cycle between the two units, as it does for a reader."""
import os
import re
import sys

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ["search", "cli", "ui", "app", "tests", "bench"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def units():
    """Maps every header or source to its unit (path without extension)."""
    found = {}
    for folder in FOLDERS:
        for root, _, files in os.walk(os.path.join(TOP, folder)):
            for name in files:
                if name.endswith((".h", ".cpp")):
                    path = os.path.join(root, name)
                    found[path] = re.sub(r"_(unix|win)$", "", os.path.splitext(path)[0])
    return found


def resolve(including, target, headers_by_tail):
    """The header an include names: beside the including file, else by its folder-qualified
    or bare name anywhere in the project (include paths are per library)."""
    beside = os.path.normpath(os.path.join(os.path.dirname(including), target))
    if os.path.exists(beside):
        return beside
    matches = headers_by_tail.get(target, [])
    return matches[0] if len(matches) == 1 else None


def main():
    unit_of = units()
    headers_by_tail = {}
    for path in unit_of:
        if path.endswith(".h"):
            parts = path.split(os.sep)
            for n in (1, 2):
                headers_by_tail.setdefault("/".join(parts[-n:]), []).append(path)
    edges = {}
    for path, unit in unit_of.items():
        with open(path, encoding="utf-8", errors="replace") as f:
            for target in INCLUDE.findall(f.read()):
                header = resolve(path, target, headers_by_tail)
                if header and unit_of.get(header) and unit_of[header] != unit:
                    edges.setdefault(unit, set()).add(unit_of[header])

    state, stack, cycles = {}, [], []

    def visit(unit):
        state[unit] = "open"
        stack.append(unit)
        for nxt in sorted(edges.get(unit, ())):
            if state.get(nxt) == "open":
                cycles.append(stack[stack.index(nxt):] + [nxt])
            elif nxt not in state:
                visit(nxt)
        stack.pop()
        state[unit] = "done"

    sys.setrecursionlimit(10000)
    for unit in sorted(edges):
        if unit not in state:
            visit(unit)
    for cycle in cycles:
        print("include cycle: " + " -> ".join(os.path.relpath(u, TOP) for u in cycle))
    if cycles:
        return 1
    print("no include cycles among %d files" % len(unit_of))
    return 0


if __name__ == "__main__":
    sys.exit(main())
