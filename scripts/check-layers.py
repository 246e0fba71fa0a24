#!/usr/bin/env python3
"""Fails when a source includes a header of a higher layer.

Layers, lowest first: platform < memory < launcher < random < script < source <
generator < shell < start. A file may include headers of its own layer and of lower ones.
Code built once (src/process) may include no header built per runtime (src/runtime).
Run from the repository root; prints each upward include and exits 1 if there is one
that scripts/layers-pending.txt does not list, or if that list names one that is gone
(so the list only shrinks).
"""
import os
import re
import sys

LAYERS = ["platform", "memory", "launcher", "random", "script", "source", "generator", "shell", "start"]
PENDING = "scripts/layers-pending.txt"
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def headers():
    found = {}
    for tree in ("process", "runtime"):
        base = os.path.join("src", tree)
        for dirpath, _, files in os.walk(base):
            for name in files:
                if name.endswith(".h"):
                    rel = os.path.relpath(os.path.join(dirpath, name), base)
                    found[rel] = tree
    return found


def layer_of(rel):
    top = rel.split("/")[0]
    return LAYERS.index(top) if top in LAYERS else None


def main():
    known = headers()
    faults = []
    for tree in ("process", "runtime"):
        base = os.path.join("src", tree)
        for dirpath, _, files in os.walk(base):
            for name in sorted(files):
                path = os.path.join(dirpath, name)
                own = layer_of(os.path.relpath(path, base))
                with open(path, encoding="utf-8") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or m.group(1) not in known:
                            continue
                        target = m.group(1)
                        other = layer_of(target)
                        if other is not None and own is not None and other > own:
                            faults.append(f"{path}:{number}: {LAYERS[own]} includes {target} ({LAYERS[other]})")
                        elif tree == "process" and known[target] == "runtime":
                            faults.append(f"{path}:{number}: code built once includes {target}, built per runtime")
    pending = set()
    with open(PENDING, encoding="utf-8") as f:
        for line in f:
            line = line.split("#")[0].strip()
            if line:
                pending.add(line)
    found = {fault.split(":")[0] + " " + fault.split(" includes ")[1].split(" ")[0] for fault in faults}
    bad = 0
    for fault in faults:
        key = fault.split(":")[0] + " " + fault.split(" includes ")[1].split(" ")[0]
        if key not in pending:
            print(fault)
            bad += 1
    for gone in sorted(pending - found):
        print(f"{PENDING}: {gone} no longer occurs: remove it from the list")
        bad += 1
    if bad:
        return 1
    print(f"layers hold ({len(pending)} pending include(s) listed in {PENDING})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
