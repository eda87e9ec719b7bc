# SPDX-License-Identifier: MIT
"""Counts a program's accessible objects by role, and those a screen reader
would announce without a name. Not a test: the figures for docs and notes.

usage: tests/accessibility/with-atspi.sh /usr/bin/python3 census.py SECONDS PROGRAM [ARGS...]
  e.g. ... census.py 6 build/examples/station/atsui_station --project \
           examples/station/projects/power_supply.atp --cells 2
Set LD_LIBRARY_PATH to run the same program against another build of the library.
"""

import collections
import subprocess
import sys
import time

import pyatspi


def walk(node, path, out):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        role = child.getRoleName()
        if "tool bar" in path:
            kind = f"tool ({role})"
        elif role == "panel" and "scroll pane" in path:
            kind = "grid part (panel)"  # wxGrid's own windows
        else:
            kind = role
        out.append((kind, child.name))
        walk(child, path + [role], out)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    proc = subprocess.Popen(sys.argv[2:], stdout=subprocess.DEVNULL)
    try:
        time.sleep(float(sys.argv[1]))
        apps = [a for a in pyatspi.Registry.getDesktop(0)
                if a is not None and a.get_process_id() == proc.pid]
        if not apps:
            sys.exit("the program has no accessible application")
        out = []
        walk(apps[0], [], out)
        total = collections.Counter(kind for kind, _ in out)
        unnamed = collections.Counter(kind for kind, name in out if not name.strip())
        print(f"{'role':24} {'objects':>8} {'unnamed':>8}")
        for kind in sorted(total):
            print(f"{kind:24} {total[kind]:8} {unnamed[kind]:8}")
        print(f"{'all':24} {sum(total.values()):8} {sum(unnamed.values()):8}")
    finally:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


if __name__ == "__main__":
    main()
