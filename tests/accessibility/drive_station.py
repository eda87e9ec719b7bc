# SPDX-License-Identifier: MIT
"""Drives a station frame through AT-SPI alone, as a screen reader or a GUI
automation tool would: finds the second cell by its name, its serial number
field by the caption's name, types a serial number into it and activates
"Start". The host prints a line from its start handler; the run passes when
that line names the cell and the serial number typed, when the keyboard
focus in the cell's grid is on an object named after the grid, and when the
host then closes cleanly.

usage: drive_station.py HOST_PROGRAM   (inside tests/accessibility/with-atspi.sh)
"""

import os
import select
import signal
import subprocess
import sys
import time

import pyatspi

SERIAL = "A11Y-4711"
CELL = "Cell 2"


class Failure(Exception):
    pass


class Host:
    """The host program, its stdout read line by line with a deadline."""

    def __init__(self, program):
        env = dict(os.environ, ATSUI_HOST_SECONDS="90")
        self.proc = subprocess.Popen([program], stdout=subprocess.PIPE, env=env)
        self.buffer = b""

    def line(self, seconds):
        deadline = time.monotonic() + seconds
        while b"\n" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            ready, _, _ = select.select([self.proc.stdout], [], [], left)
            if ready:
                chunk = os.read(self.proc.stdout.fileno(), 4096)
                if not chunk:
                    return None
                self.buffer += chunk
        text, self.buffer = self.buffer.split(b"\n", 1)
        return text.decode()

    def end(self):
        """Asks the host to close; its exit status, or None if it had to be killed."""
        if self.proc.poll() is None:
            self.proc.terminate()
        try:
            return self.proc.wait(15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            return None


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        yield from descendants(child)


def find(node, role, name):
    found = [d for d in descendants(node) if d.getRole() == role and d.name == name]
    if len(found) != 1:
        raise Failure(f"{len(found)} {pyatspi.Role(role)} named {name!r}, expected one")
    return found[0]


def application_of(pid, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid and app.childCount > 0:
                return app
        time.sleep(0.2)
    raise Failure(f"no accessible application with process id {pid} after {seconds} s")


def text_of(accessible):
    return accessible.queryText().getText(0, -1)


def drive(host):
    if host.line(30) != "ready":
        raise Failure("the host did not come up")
    app = application_of(host.proc.pid, 20)
    cell = find(app, pyatspi.ROLE_PANEL, CELL)

    # A screen reader tells the cell's fields apart by their names alone.
    fields = [d.name for d in descendants(cell) if d.getRole() == pyatspi.ROLE_TEXT]
    for name in ("SN", "OK", "NG", "Yield"):
        if fields.count(name) != 1:
            raise Failure(f"{fields.count(name)} text fields named {name!r} in {CELL}: {fields}")

    # The widgets without a caption of their own carry their role as a name.
    named = [d.name for d in descendants(cell)]
    for name in ("Elapsed time", "Progress", "Test log"):
        if named.count(name) != 1:
            raise Failure(f"{named.count(name)} objects named {name!r} in {CELL}")

    serial = find(cell, pyatspi.ROLE_TEXT, "SN")
    captions = [target.name
                for relation in serial.getRelationSet()
                if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
                for target in (relation.getTarget(i) for i in range(relation.getNTargets()))]
    if captions != ["SN:"]:
        raise Failure(f"the serial number field is labelled by {captions}, expected ['SN:']")

    editable = serial.queryEditableText()
    editable.deleteText(0, len(text_of(serial)))
    if not editable.insertText(0, SERIAL, len(SERIAL)):
        raise Failure("the serial number field refused the text")
    if text_of(serial) != SERIAL:
        raise Failure(f"the serial number field shows {text_of(serial)!r}")

    start = find(cell, pyatspi.ROLE_PUSH_BUTTON, "Start")
    action = start.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if "click" not in names:
        raise Failure(f"'Start' offers the actions {names}, not 'click'")
    action.doAction(names.index("click"))

    line = host.line(15)
    expected = f"started {CELL} {SERIAL}"
    if line != expected:
        raise Failure(f"the host printed {line!r} after 'Start', expected {expected!r}")

    # wxGrid draws its cells itself; the least a screen reader can say when
    # the keyboard enters a grid is which grid it is.
    # A click into the grid, as the registry's device controller delivers it.
    grid = find(cell, pyatspi.ROLE_SCROLL_PANE, "Test items")
    box = grid.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + box.height // 2, "b1c")
    deadline = time.monotonic() + 5
    while True:
        focused = [d for d in descendants(app) if d.getState().contains(pyatspi.STATE_FOCUSED)]
        if len(focused) == 1 and grid in ancestors(focused[0]):
            break
        if time.monotonic() > deadline:
            raise Failure(f"after a click into the grid the focus is on {focused}")
        time.sleep(0.1)
    if focused[0].name != "Test items":
        raise Failure(f"the focus in the grid 'Test items' is on an object named {focused[0].name!r}")


def ancestors(accessible):
    while accessible is not None:
        accessible = accessible.parent
        yield accessible


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    # Every AT-SPI call waits on D-Bus: bound the whole run.
    signal.signal(signal.SIGALRM, lambda *_: (_ for _ in ()).throw(Failure("timed out")))
    signal.alarm(120)
    host = Host(sys.argv[1])
    try:
        drive(host)
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        host.end()
        return 1
    # The windows must go down cleanly with assistive technology attached.
    status = host.end()
    if status != 0:
        print(f"FAILED: the host ended with status {status} when asked to close", file=sys.stderr)
        return 1
    print(f"passed: {CELL}'s 'Start' ran the host's handler with {SERIAL}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
