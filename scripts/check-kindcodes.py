#!/usr/bin/env python3
"""check-kindcodes.py - holds the client's numbers to one list: the property ids
of objects/kindcodes.h must be the property-name table of objects/objtables.cpp
(every named row has its id under the row's name, no id of the list is missing
from the table or named otherwise than its row), and no other source of the
client defines a property id (a kPid... = value, or an enum of property ids) or
a kind's method numbers (an enum named ...Method, ...MethodNo) of its own. The
definitions that still stand outside the list are named below, so a new one
fails the check; one that is gone fails it too, so the list shrinks with the code.
Usage: scripts/check-kindcodes.py [repo]   (exit 1 on a finding)"""
import os
import re
import sys

SOURCE_DIRS = ["session", "objects", "controls", "graphics", "forms", "webview", "print", "com", "app"]
CENTRAL = "objects/kindcodes.h"
TABLE = "objects/objtables.cpp"

# Files allowed to keep numbers of their own, as (file, enum) pairs: none.
KNOWN_OUTSIDE = set()

ENUM = re.compile(r"\benum\s+(?:class\s+)?(\w+)\s*(?::\s*\w+\s*)?\{([^}]*)\}", re.S)
PID_DEFINITION = re.compile(r"\b(kPid\w*)\s*=\s*[^=]")
ID_ENUM_NAME = re.compile(r"(Pid|PropId|Prop)$")
METHOD_ENUM_NAME = re.compile(r"(Method|MethodNo|MethodNumber)$")
NUMBERED = re.compile(r"\bk\w+\s*=\s*\d")


def strip_comments(text):
    return re.sub(r"//[^\n]*|/\*.*?\*/", "", text, flags=re.S)


def central_ids(repo):
    """{name: value} of the PropId enum of the central header."""
    with open(os.path.join(repo, CENTRAL), encoding="utf-8") as f:
        text = strip_comments(f.read())
    for name, body in ENUM.findall(text):
        if name == "PropId":
            return [(n, int(v)) for n, v in re.findall(r"\b(kPid\w+)\s*=\s*(\d+)", body)]
    return None


def table_rows(repo):
    """[(name or None, id)] of the property-name table, in table order."""
    with open(os.path.join(repo, TABLE), encoding="utf-8") as f:
        text = f.read()
    start = text.index("const PropNameRow PropertyNameTable[]")
    body = text[start:text.index("};", start)]
    return [(None if n == "nullptr" else n.strip('"'), int(v))
            for n, v in re.findall(r'\{(nullptr|"[^"]*"),\s*(\d+)\}', body)]


def check_central(repo):
    findings = []
    ids = central_ids(repo)
    if ids is None:
        return ["%s holds no PropId enum" % CENTRAL]
    by_name, by_value = {}, {}
    for n, v in ids:
        if n in by_name:
            findings.append("PropId names %s twice" % n)
        if v in by_value:
            findings.append("PropId gives id %d two names: %s and %s" % (v, by_value[v], n))
        by_name[n], by_value[v] = v, n
    # The name each named row expects: kPid + name, "2" on a name's second row.
    expected, seen, rows = {}, {}, {}
    for name, value in table_rows(repo):
        rows[value] = name
        if name is None:
            continue
        seen[name] = seen.get(name, 0) + 1
        expected[value] = "kPid" + name + ("" if seen[name] == 1 else str(seen[name]))
    for value, name in sorted(expected.items()):
        if by_name.get(name) != value:
            got = by_value.get(value)
            findings.append("table id %d (%s) has no %s = %d in PropId%s"
                            % (value, rows[value], name, value, " (it is %s)" % got if got else ""))
    for name, value in ids:
        if value not in rows:
            findings.append("PropId %s = %d is no id of the property-name table" % (name, value))
        elif value in expected and expected[value] != name:
            findings.append("PropId %s = %d: the table names that id %s" % (name, value, expected[value]))
    return findings


def outside_definitions(repo):
    """[(file, what, line)] of property ids and method lists defined outside the central header."""
    out = []
    for top in SOURCE_DIRS:
        for dirpath, dirnames, filenames in os.walk(os.path.join(repo, top)):
            dirnames[:] = [d for d in dirnames if d != "node_modules"]
            for name in sorted(filenames):
                if not name.endswith((".cpp", ".h")):
                    continue
                full = os.path.join(dirpath, name)
                rel = os.path.relpath(full, repo)
                if rel == CENTRAL:
                    continue
                with open(full, encoding="utf-8", errors="replace") as f:
                    text = strip_comments(f.read())
                for m in ENUM.finditer(text):
                    enum_name, body = m.group(1), m.group(2)
                    if (ID_ENUM_NAME.search(enum_name) or METHOD_ENUM_NAME.search(enum_name)) and NUMBERED.search(body):
                        out.append((rel, enum_name, text.count("\n", 0, m.start()) + 1))
                for m in PID_DEFINITION.finditer(text):
                    out.append((rel, m.group(1), text.count("\n", 0, m.start()) + 1))
    return out


def check(repo):
    findings = check_central(repo)
    found = set()
    for rel, what, line in outside_definitions(repo):
        found.add((rel, what))
        if (rel, what) not in KNOWN_OUTSIDE:
            findings.append("%s:%d: %s defines numbers of its own; take them from %s" % (rel, line, what, CENTRAL))
    for pair in sorted(KNOWN_OUTSIDE - found):
        findings.append("listed but gone (take it off the list): %s %s" % pair)
    return findings, len(found)


def main():
    repo = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    findings, outside = check(os.path.abspath(repo))
    for f in findings:
        print(f)
    print("property ids and method lists defined outside %s: %d (listed: %d)" % (CENTRAL, outside, len(KNOWN_OUTSIDE)))
    print("findings: %d" % len(findings))
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
