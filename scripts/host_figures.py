#!/usr/bin/env python3
"""Figures of the reference host's layout, for reviews of its rooms.

    scripts/host_figures.py [ROOT]

ROOT is a checkout (default: this one). Prints, for talvex-host/ and hostsim/:
the files in each folder; the ten longest functions (lines from the one
holding the opening brace to the closing one); the lines of C++ unit test
(tests/host/*_test.cpp) per line of code; and, per folder, its include arrows
(quoted includes from one of its files to another) and how many levels those
arrows stack up to (a file including nothing of its folder is on level 1).
Lines are counted without blank lines and comment-only lines. The function
finder is a brace matcher, not a parser: good for ranking, not for proofs.
"""
import os
import re
import sys
from collections import defaultdict

FOLDERS = ("talvex-host", "hostsim")
SOURCE = (".cpp", ".h")


def sources(root):
    for top in FOLDERS:
        for here, _, names in os.walk(os.path.join(root, top)):
            for name in sorted(names):
                if name.endswith(SOURCE):
                    yield os.path.relpath(os.path.join(here, name), root)


def strip(text):
    """The text with comments, strings and characters blanked, lines kept."""
    out = re.sub(r"//[^\n]*|/\*.*?\*/", lambda m: re.sub(r"[^\n]", " ", m.group()), text,
                 flags=re.S)
    out = re.sub(r'R"\((.*?)\)"', lambda m: re.sub(r"[^\n]", " ", m.group()), out, flags=re.S)
    out = re.sub(r'"(\\.|[^"\\\n])*"', '""', out)
    return re.sub(r"'(\\.|[^'\\\n])*'", "''", out)


def code_lines(text):
    return sum(1 for line in strip(text).splitlines() if line.strip())


KEYWORDS = re.compile(r"^\s*(if|for|while|switch|catch|else|do|try)\b|\b(class|struct|union|enum|namespace)\b[^()]*$")


def functions(path, text):
    """(lines, name) for each function body not inside another function."""
    clean = strip(text)
    found = []
    stack = []  # per open brace: "function", "scope" (namespace, class) or "block"
    header_start = 0
    line_of = lambda i: clean.count("\n", 0, i) + 1
    for i, c in enumerate(clean):
        if c in ";}":
            if c == "}" and stack:
                kind, start, name = stack.pop()
                if kind == "function":
                    found.append((line_of(i) - line_of(start) + 1, name))
            header_start = i + 1
        elif c == "{":
            header = clean[header_start:i]
            header_start = i + 1
            inside_function = any(k == "function" for k, _, _ in stack)
            flat = " ".join(header.split())
            if inside_function:
                stack.append(("block", i, ""))
            elif re.search(r"\)\s*(const|noexcept|override|final|->[^{]*|:[^{]*|\s)*$", flat) and \
                    not KEYWORDS.search(flat) and "=" not in flat.split("(")[0]:
                name = re.findall(r"([~\w:]+)\s*\(", flat.split(") :")[0])
                stack.append(("function", i, name[0] if name else flat[:40]))
            else:
                stack.append(("scope", i, ""))
    return [(n, f"{path}: {name}") for n, name in found]


def includes(path, text, root, known):
    """Files of `known` that `path` includes, resolved as the build would."""
    targets = []
    for name in re.findall(r'^\s*#\s*include\s+"([^"]+)"', text, flags=re.M):
        for base in (os.path.dirname(path), "talvex-host", "."):
            candidate = os.path.normpath(os.path.join(base, name))
            if candidate in known:
                targets.append(candidate)
                break
    return targets


def levels(files, arrows):
    memo = {}

    def level(f, seen=()):
        if f not in memo:
            inner = [t for t in arrows[f] if t in files and t not in seen]
            memo[f] = 1 + max((level(t, seen + (f,)) for t in inner), default=0)
        return memo[f]

    return max((level(f) for f in files), default=0)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    files = list(sources(root))
    texts = {f: open(os.path.join(root, f), encoding="utf-8", errors="replace").read() for f in files}
    known = set(files)
    folders = defaultdict(list)
    for f in files:
        folders[os.path.dirname(f)].append(f)

    print("files per folder:")
    for folder in sorted(folders):
        print(f"  {folder + '/':28} {len(folders[folder]):3}")
    print(f"  {'all':28} {len(files):3}")

    print("ten longest functions (lines):")
    every = [fn for f in files for fn in functions(f, texts[f])]
    for length, name in sorted(every, key=lambda x: -x[0])[:10]:
        print(f"  {length:4}  {name}")

    code = sum(code_lines(texts[f]) for f in files)
    test_dir = os.path.join(root, "tests", "host")
    tests = sum(code_lines(open(os.path.join(test_dir, n), encoding="utf-8").read())
                for n in sorted(os.listdir(test_dir)) if n.endswith("_test.cpp"))
    print(f"unit test per line of code: {tests} / {code} = {tests / code:.3f}")

    arrows = {f: includes(f, texts[f], root, known) for f in files}
    print("include arrows and levels, within each folder:")
    for folder in sorted(folders):
        members = set(folders[folder])
        count = sum(1 for f in members for t in arrows[f] if t in members)
        print(f"  {folder + '/':28} {count:4} arrows  {levels(members, arrows):3} levels")
    host = {f for f in files if f.startswith("talvex-host")}
    count = sum(1 for f in host for t in arrows[f] if t in host)
    print(f"  {'talvex-host/ as a whole':28} {count:4} arrows  {levels(host, arrows):3} levels")


if __name__ == "__main__":
    main()
