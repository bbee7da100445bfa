#!/usr/bin/env python3
"""check-includes.py - reads the include lines of the client's own sources and
holds them to the layout: no include runs up a floor (a folder includes only
its own floor and those below; app/ wires everything and may include all), no
webview/core/ file includes webview/controls/, and no cycle of files (a source
and its header counted as one) runs across folders. The includes that still
break a rule are listed below by name, so a new one fails the check; one that
is gone fails it too, so the list shrinks with the code.
Usage: scripts/check-includes.py [repo]   (exit 1 on a finding)"""
import os
import re
import sys

# The floors, lowest first: a folder's files may include their own floor and
# the floors below. The longest matching prefix gives a file its floor; the
# files directly in webview/ (the cross build's host glue, which hands the web
# kinds to the program) stand on the web controls' floor.
FLOORS = [
    ("session/", 1),
    ("objects/", 2),
    ("controls/", 3),
    ("graphics/", 4),
    ("webview/core/", 5),
    ("forms/", 6),
    ("webview/", 7),
    ("webview/controls/", 7),
    ("print/", 8),
    ("com/", 9),
    ("app/", 10),
]
SOURCE_DIRS = ["session", "objects", "controls", "graphics", "forms", "webview", "print", "com", "app"]

# webview/core/ files that include a control's header: none. The web kinds
# are installed from webview/controls/install.cpp and each kind's markup and
# operations are slots of its own row; a new such include fails the check.
KNOWN_CORE_TO_CONTROLS = set()

# Includes that run up a floor: none. A picture's spool memo is a record of
# graphics/ that the spool writer fills, and the fixed-width digit writers the
# web list view shares with the PDF writer are in session/util/digits.h; a new
# include up a floor fails the check.
KNOWN_UP_A_FLOOR = set()

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def floor_of(path):
    best = None
    for prefix, floor in FLOORS:
        if path.startswith(prefix) and (best is None or len(prefix) > len(best[0])):
            best = (prefix, floor)
    return best[1] if best else None


def folder_of(path):
    return os.path.dirname(path)


def unit_of(path):
    return os.path.splitext(path)[0]


def read_includes(repo):
    """{file: [included project file, ...]} for every .cpp/.h of the sources."""
    out = {}
    for top in SOURCE_DIRS:
        for dirpath, dirnames, filenames in os.walk(os.path.join(repo, top)):
            dirnames[:] = [d for d in dirnames if d != "node_modules"]
            for name in filenames:
                if not name.endswith((".cpp", ".h")):
                    continue
                full = os.path.join(dirpath, name)
                rel = os.path.relpath(full, repo)
                targets = []
                with open(full, encoding="utf-8", errors="replace") as f:
                    for line in f:
                        m = INCLUDE.match(line)
                        if m and os.path.isfile(os.path.join(repo, m.group(1))):
                            targets.append(m.group(1))
                out[rel] = targets
    return out


def cycles_across_folders(includes):
    """Strongly connected groups of units (a source and its header) that span
    more than one folder, each as a sorted list."""
    graph = {}
    for src, targets in includes.items():
        graph.setdefault(unit_of(src), set())
        for t in targets:
            if unit_of(t) != unit_of(src):
                graph[unit_of(src)].add(unit_of(t))
                graph.setdefault(unit_of(t), set())
    index, low, stack, on_stack, groups = {}, {}, [], set(), []
    counter = [0]

    def visit(v):
        # Tarjan's algorithm, iterative so deep chains need no recursion.
        work = [(v, iter(sorted(graph[v])))]
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        while work:
            node, it = work[-1]
            advanced = False
            for w in it:
                if w not in index:
                    index[w] = low[w] = counter[0]
                    counter[0] += 1
                    stack.append(w)
                    on_stack.add(w)
                    work.append((w, iter(sorted(graph[w]))))
                    advanced = True
                    break
                if w in on_stack:
                    low[node] = min(low[node], index[w])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                group = []
                while True:
                    w = stack.pop()
                    on_stack.discard(w)
                    group.append(w)
                    if w == node:
                        break
                if len({folder_of(u) for u in group}) > 1:
                    groups.append(sorted(group))

    for v in sorted(graph):
        if v not in index:
            visit(v)
    return groups


def check(repo):
    includes = read_includes(repo)
    findings = []
    core_to_controls, up_a_floor = set(), set()
    for src, targets in sorted(includes.items()):
        for t in targets:
            if src.startswith("webview/core/") and t.startswith("webview/controls/"):
                core_to_controls.add((src, t))
                if (src, t) not in KNOWN_CORE_TO_CONTROLS:
                    findings.append("core includes a control: %s -> %s" % (src, t))
                continue
            fs, ft = floor_of(src), floor_of(t)
            if fs is not None and ft is not None and ft > fs:
                up_a_floor.add((src, t))
                if (src, t) not in KNOWN_UP_A_FLOOR:
                    findings.append("include up a floor (%d -> %d): %s -> %s" % (fs, ft, src, t))
    for pair in sorted((KNOWN_CORE_TO_CONTROLS - core_to_controls) | (KNOWN_UP_A_FLOOR - up_a_floor)):
        findings.append("listed but gone (take it off the list): %s -> %s" % pair)
    # The listed includes are the only ones allowed to close a cycle.
    listed = KNOWN_CORE_TO_CONTROLS | KNOWN_UP_A_FLOOR
    kept = {src: [t for t in targets if (src, t) not in listed] for src, targets in includes.items()}
    for group in cycles_across_folders(kept):
        findings.append("file cycle across folders: " + " <-> ".join(group))
    return findings, len(core_to_controls), len(up_a_floor)


def main():
    repo = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    findings, core_to_controls, up_a_floor = check(os.path.abspath(repo))
    for f in findings:
        print(f)
    print("includes from webview/core/ to webview/controls/: %d (listed: %d)" % (core_to_controls, len(KNOWN_CORE_TO_CONTROLS)))
    print("other includes up a floor: %d (listed: %d)" % (up_a_floor, len(KNOWN_UP_A_FLOOR)))
    print("findings: %d" % len(findings))
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
