#!/usr/bin/env python3
"""check-callbacks.py - lists every function of the client that the system
calls back and holds each to the out-of-memory guard (CatchNoMemory of
session/nomem.h, and the guards of session/nomemwin.h built on it): an
exception that unwinds through the system's frames ends the process.

On the 32-bit target a function the system calls has the system's calling
convention, so every definition declared CALLBACK, WINAPI, APIENTRY, PASCAL,
__stdcall, STDMETHODCALLTYPE, STDMETHODIMP or IFACEMETHODIMP is one: window,
subclass and dialog procedures, common dialogs' and windows' hooks, timer
procedures, enumeration callbacks and thread procedures (the Win32 shapes),
and the methods of the client's COM objects. A Win32-shaped procedure is
handed to the system as a guard's template of session/nomemwin.h (SetTimer
gets GuardedTimerProc<LayoutWaitTimer>, whose work LayoutWaitTimer is an
ordinary function); those templates are the guards, checked by the same rules.

- A Win32-shaped callback runs its work through a guard: CatchNoMemory,
  GuardedComCall or a Guarded... template.
- No callback calls anything of the client's outside its guard: a function
  the client defines, a call through a global (g...) or through a slot of a
  hook table or operation row, an allocating member of a standard container,
  a standard string or container made with a value, or throwing new. A COM
  method that only keeps its counts, asks for interfaces and calls the
  system's functions needs no guard; COM's own AddRef, Release and
  QueryInterface, and the helpers listed below (each holds no C++ allocation
  and calls nothing that does), may be called outside one.

The check reads names, not types: a call is the client's when its name is
one the client defines (a function, or a slot's name) or a global's.

Functions with the system's convention that the system never calls are named
below, so a new one fails the check; one that is gone fails it too.
Usage: scripts/check-callbacks.py [repo] [--list]   (exit 1 on a finding;
--list prints every callback: where, its shape, its name and its guard)"""
import os
import re
import sys

SOURCE_DIRS = ["session", "objects", "controls", "graphics", "forms", "webview", "print", "com", "app"]
SKIP_DIRS = {"node_modules", "pagehost", "qovwv_html"}
GUARDS = "session/nomemwin.h"

# Functions with the system's convention that no system frame calls, by
# (file, name), with the reason.
KNOWN_NOT_CALLED_BACK = {
    ("app/main.cpp", "WinMain"): "the program's entry, called by the C runtime's start",
    ("session/syslib.cpp", "NoteDelayLoad"): "the delay-load helper's hook: the helper is linked into the program",
    ("session/syslib.cpp", "DelayLoadFailed"): "the delay-load helper's failure hook, likewise",
}

# The client's helpers a COM method may call outside a guard, by name: each
# holds no C++ allocation (only the local heap, COM's and the system's) and
# calls nothing that does.
NO_ALLOCATION_HELPERS = {
    # COM's references and interfaces (com/oleinternal.h, com/ribbon.cpp,
    # com/autoserver.cpp, com/webevent.cpp, com/olesites.cpp)
    "ReleaseAndClear", "ReleaseRef", "DropRunLoopRef", "SinkDetach", "ElementId", "GenObjSiteFace",
    # BSTR, VARIANT and PROPVARIANT values (com/autoserver.cpp, com/olesites.cpp, com/ribbonapi.cpp)
    "CopyIn", "CopyOut", "SetBool", "SetI4", "PvSetString", "PvSetUInt32", "PvSetUnknown", "PvToUInt32", "PvUnknown",
    "UiPropertyIndexOf",
    # text in the local heap's temporary block or a fixed area, the debug log's
    # line, COM's error object (com/oleutil.cpp, com/autoserver.cpp, com/webevent.cpp)
    "AnsiLength", "WideToAnsiTemp", "StoreSetting", "AutomationSetError", "DebugLogWrite", "Put",
    # arithmetic and rules (com/oleutil.cpp, session/util/olestore.cpp, com/core/htmlrules.cpp, com/oleframe.cpp)
    "HimetricToPixelsX", "HimetricToPixelsY", "PixelsToHimetricX", "PixelsToHimetricY", "LockBytesSizeFits",
    "LockBytesFilePos", "LockBytesReadCount", "LockBytesWriteCount", "HtmlHostUiFlags", "DropEffectOf",
    # a record's fields read or set (objects/objrecord.cpp, com/oleframe.cpp,
    # com/olesites.cpp, com/control.cpp, com/olecontainer.cpp)
    "ObjectAsWindow", "ObjectTopWindow", "ObjectRefOf", "ObjectRefAlive", "WindowStyleBits", "OleFormFrame",
    "OleFormItemContainer", "ControlOf", "GenObjRect", "TakeControlWindow", "OleForgetUiActive",
}

# Members of the standard containers that allocate: called outside a guard,
# they are findings as the client's own functions are. The others (size,
# empty, data ...) are never taken for a slot of the same name.
ALLOCATING_MEMBERS = {
    "push_back", "emplace_back", "push_front", "emplace_front", "emplace", "insert", "try_emplace",
    "insert_or_assign", "assign", "resize", "reserve", "append", "substr",
}
STD_MEMBERS = {"size", "empty", "data", "begin", "end", "find", "count", "front", "back", "c_str", "length", "at"}
# The standard library's allocating types made with a value (one declared
# empty holds nothing yet), its allocating calls, and throwing new.
ALLOCATING = re.compile(r"\bstd::(?:w?string|vector|map|unordered_map|set|unordered_set|deque|list|function)\b"
                        r"(?:\s*<[^;{}()]*>)?\s*(?:\w+\s*)?[({=]|\bstd::(?:make_unique|make_shared|to_w?string)\b|"
                        r"\bnew\b(?!\s*\(\s*std::nothrow\s*\))")

# COM's reference counting and interface queries: every COM method is checked
# on its own, so calling one is no call into the rest of the client.
COM_BOOKKEEPING = {"AddRef", "Release", "QueryInterface"}

CONVENTION = r"(?:CALLBACK|WINAPI|APIENTRY|PASCAL|__stdcall|STDMETHODCALLTYPE)"
COM_MACRO = r"(?:STDMETHODIMP|IFACEMETHODIMP)(?:_\s*\([^()]*\))?"
DEFINITION = re.compile(r"\b(%s|%s)\s+((?:\w+\s*::\s*)*~?\w+)\s*\(" % (COM_MACRO, CONVENTION))
HANDED = re.compile(r"\b(Guarded(?:WndProc|SubclassProc|DialogProc|HookProc|TimerProc|EnumWindowsProc|FontEnumProc|"
                    r"ThreadProc))\s*<([^<>;]*)>")
GUARD_CALL = re.compile(r"\b(?:CatchNoMemory|GuardedComCall)\s*\(|\bGuarded\w*\s*<")
CALL = re.compile(r"(\.|->|::)?\s*\b([A-Za-z_]\w*)\s*\(")
SLOT_DECLARATION = re.compile(r"\(\s*(?:\w+\s*)?\*\s*(\w+)\s*\)\s*\(")
SLOT_ASSIGNMENT = re.compile(r"\.\s*(\w+)\s*=\s*&?\s*[A-Z]\w*\s*[,;}]")
FUNCTION_NAME = re.compile(r"(~?)\b([A-Za-z_]\w*)\s*\($")
NOT_CALLS = {
    "if", "for", "while", "switch", "return", "sizeof", "catch", "decltype", "alignof", "noexcept", "defined",
    "static_cast", "reinterpret_cast", "const_cast", "dynamic_cast", "static_assert", "operator",
}
GLOBAL = re.compile(r"^g[A-Z]\w*$")


def strip(text):
    """The text without comments, string and character literals and
    preprocessor lines, its line breaks kept so lines still count."""
    out = []
    i, n = 0, len(text)
    at_line_start = True
    while i < n:
        c = text[i]
        if at_line_start and c == "#":
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    out.append("\n")
                    i += 2
                    continue
                i += 1
            continue
        if c == "/" and text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
            continue
        if c == "/" and text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append("\n" * text.count("\n", i, end))
            i = end
            continue
        if c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + c)
            i = j + 1
            continue
        if c == "\n":
            at_line_start = True
        elif not c.isspace():
            at_line_start = False
        out.append(c)
        i += 1
    return "".join(out)


def matching(text, i, opening, closing):
    """The index just past the bracket that closes the one at i."""
    depth = 0
    while i < len(text):
        if text[i] == opening:
            depth += 1
        elif text[i] == closing:
            depth -= 1
            if depth == 0:
                return i + 1
        i += 1
    return len(text)


def read_sources(repo):
    out = {}
    for top in SOURCE_DIRS:
        for dirpath, dirnames, filenames in os.walk(os.path.join(repo, top)):
            dirnames[:] = sorted(d for d in dirnames if d not in SKIP_DIRS)
            for name in sorted(filenames):
                if name.endswith((".cpp", ".h")):
                    full = os.path.join(dirpath, name)
                    with open(full, encoding="utf-8", errors="replace") as f:
                        out[os.path.relpath(full, repo)] = strip(f.read())
    return out


def callbacks(sources):
    """[(file, line, name, shape, body)] of every definition with the system's
    convention; shape is "COM" for a COM method, else "Win32"."""
    found = []
    for path, text in sources.items():
        for m in DEFINITION.finditer(text):
            params_end = matching(text, m.end() - 1, "(", ")")
            rest = re.match(r"[\s\w]*\{", text[params_end:])   # const, override, noexcept ...
            if not rest:
                continue   # a declaration
            body_start = params_end + rest.end() - 1
            body = text[body_start:matching(text, body_start, "{", "}")]
            name = re.sub(r"\s", "", m.group(2)).split("::")[-1]
            shape = "COM" if re.match(COM_MACRO, m.group(1)) or m.group(1) == "STDMETHODCALLTYPE" else "Win32"
            found.append((path, text.count("\n", 0, m.start()) + 1, name, shape, body))
    return found


def client_names(sources, com_methods):
    """The names of the client's own functions (COM methods aside: a call of
    one is a COM call) and of its slots (function pointers in hook tables,
    operation rows and clients' structures)."""
    functions, slots = set(), set()
    for text in sources.values():
        for m in re.finditer(r"\)\s*(?:const|override|noexcept|final|\s)*\{", text):
            start = m.start()
            depth, j = 0, start
            while j >= 0:
                if text[j] == ")":
                    depth += 1
                elif text[j] == "(":
                    depth -= 1
                    if depth == 0:
                        break
                j -= 1
            name = FUNCTION_NAME.search(text[max(0, j - 120):j + 1])
            if name and not name.group(1) and name.group(2) not in NOT_CALLS:   # a destructor is never called
                functions.add(name.group(2))
        slots.update(SLOT_DECLARATION.findall(text))
        slots.update(SLOT_ASSIGNMENT.findall(text))
    return functions - com_methods, slots


def outside_guards(body):
    """The body with every guard's call (its arguments, the work, with it)
    taken out, and how many guards there were."""
    parts, i, guards = [], 0, 0
    for m in GUARD_CALL.finditer(body):
        if m.start() < i:
            continue
        j = m.end()
        if body[m.end() - 1] == "<":
            j = matching(body, m.end() - 1, "<", ">")
        paren = body.find("(", j - 1)
        if paren < 0:
            continue
        parts.append(body[i:m.start()])
        i = matching(body, paren, "(", ")")
        guards += 1
    parts.append(body[i:])
    return "".join(parts), guards


def client_calls(text, functions, slots):
    calls = set()
    for m in CALL.finditer(text):
        via, name = m.group(1), m.group(2)
        if name in NOT_CALLS or name in COM_BOOKKEEPING or name in NO_ALLOCATION_HELPERS:
            continue
        if via in (".", "->"):
            if name in ALLOCATING_MEMBERS or (name not in STD_MEMBERS and (name in slots or name in functions)):
                calls.add(name)
        elif GLOBAL.match(name) or name in functions:
            calls.add(name)
    for m in ALLOCATING.finditer(text):
        calls.add(re.match(r"[\w:]+", m.group(0)).group(0))
    return calls


def handed_through_guards(sources):
    """[(file, line, template, work)] of every procedure handed to the system
    as a guard's template, once per template and work."""
    seen, out = set(), []
    for path, text in sources.items():
        if path == GUARDS:
            continue
        for m in HANDED.finditer(text):
            # The template's functions (a dialog's answer type left out).
            work = " + ".join(a for a in re.sub(r"\s", "", m.group(2)).split(",") if not re.match(r"^[A-Z_]+$", a))
            if (m.group(1), work) not in seen:
                seen.add((m.group(1), work))
                out.append((path, text.count("\n", 0, m.start()) + 1, m.group(1), work))
    return out


def check(repo):
    sources = read_sources(repo)
    found = callbacks(sources)
    com_methods = {name for _, _, name, shape, _ in found if shape == "COM"}
    functions, slots = client_names(sources, com_methods)
    findings, listing, exempt = [], [], set()
    for path, line, template, work in handed_through_guards(sources):
        listing.append(("Win32", "%s:%d" % (path, line), work, template))
    for path, line, name, shape, body in found:
        if (path, name) in KNOWN_NOT_CALLED_BACK:
            exempt.add((path, name))
            continue
        outside, guards = outside_guards(body)
        calls = client_calls(outside, functions, slots)
        where = "%s:%d %s" % (path, line, name)
        if path != GUARDS:
            listing.append((shape, "%s:%d" % (path, line), name, "guarded" if guards else "no guard"))
        if shape == "Win32" and not guards:
            findings.append("callback without a guard: %s" % where)
        if calls:
            findings.append("callback calls the client outside its guard: %s -> %s" % (where, ", ".join(sorted(calls))))
    for key in sorted(set(KNOWN_NOT_CALLED_BACK) - exempt):
        findings.append("listed but gone (take it off the list): %s %s" % key)
    return findings, listing


def main():
    args = [a for a in sys.argv[1:] if a != "--list"]
    repo = args[0] if args else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    findings, listing = check(os.path.abspath(repo))
    if "--list" in sys.argv[1:]:
        for shape, where, name, guard in listing:
            print("%-5s %-34s %-44s %s" % (shape, where, name, guard))
    for f in findings:
        print(f)
    win32 = sum(1 for entry in listing if entry[0] == "Win32")
    com_guarded = sum(1 for entry in listing if entry[0] == "COM" and entry[3] == "guarded")
    print("functions the system calls back: %d (Win32 shapes %d, COM methods %d of which %d guarded; "
          "not called back, listed: %d)" % (len(listing), win32, len(listing) - win32, com_guarded,
                                            len(KNOWN_NOT_CALLED_BACK)))
    print("findings: %d" % len(findings))
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
