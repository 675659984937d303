# SPDX-License-Identifier: GPL-3.0-or-later
"""What the desktop tests read of Morvane through the AT-SPI tree, and how they type at it: the
program's windows, what has the focus, and waits that let AT-SPI events in; and what Orca
speaks, from its debug log. The test sets `program` to the running Morvane."""

import os
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

program = None  # the program under test, a subprocess.Popen


def fail(message):
    print(f"FAILED: {message}")
    if program is not None and program.poll() is None:
        program.kill()
    sys.exit(1)


def wait_for(what, predicate, seconds=20, instead=lambda: ""):
    """Polls the predicate, letting AT-SPI events in, until it gives something true; instead
    says what was found when it never did."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        while context.pending():
            context.iteration(False)
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    fail(f"timed out waiting for {what}{instead()}")


def walk(accessible):
    yield accessible
    for child in accessible:
        if child is not None:
            yield from walk(child)


def action_count(accessible):
    try:
        return accessible.queryAction().nActions
    except NotImplementedError:
        return 0


def described(accessible):
    return f"{accessible.name}, {accessible.getRoleName()}"


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == program.pid:
            return app
    return None


def window(title):
    """The program's top-level window or dialog of that title, while it is showing. Orca reads
    the title of a frame or a dialog only."""
    app = application()
    for candidate in app or []:
        if (candidate is not None and candidate.name == title
                and candidate.getState().contains(pyatspi.STATE_SHOWING)):
            if candidate.getRole() not in (pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG):
                fail(f"the window {title} is a {candidate.getRoleName()}")
            return candidate
    return None


def focused(top):
    """The deepest object under top that says it has the focus."""
    found = None
    for accessible in walk(top):
        if accessible.getState().contains(pyatspi.STATE_FOCUSED):
            found = accessible
    return found


def check_controls(top, where, showing_only=False):
    """Every control that takes the focus: a role, a name and, while enabled, an action."""
    checked = 0
    faults = []
    for accessible in walk(top):
        state = accessible.getState()
        if not state.contains(pyatspi.STATE_FOCUSABLE):
            continue
        if showing_only and not state.contains(pyatspi.STATE_SHOWING):
            continue
        checked += 1
        what = f"{where}: {described(accessible)!r}"
        if accessible.getRole() == pyatspi.ROLE_FILLER:
            faults.append(f"{what} is a filler")
        if not accessible.name.strip():
            faults.append(f"{what} has no name")
        # A list or a tree is acted on through its items; a disabled button has nothing to do.
        if state.contains(pyatspi.STATE_ENABLED) and action_count(accessible) < 1 and not any(
                child is not None and action_count(child) > 0 for child in accessible):
            faults.append(f"{what} has no action")
    if checked == 0:
        faults.append(f"{where}: no control takes the focus")
    if faults:
        fail("\n".join(faults))
    print(f"{where}: {checked} controls, each with a role, a name and an action")


def press(title, *keys):
    """Keys typed into the window of that title, given the keyboard first; tried again while
    a window that goes as xdotool looks makes it fail."""
    def given(window_id):
        # Through the window manager where one runs (it then knows where the keyboard is, and
        # gives it back when a dialog closes), else straight.
        return any(subprocess.run(["xdotool", how, "--sync", window_id],
                                  stderr=subprocess.DEVNULL).returncode == 0
                   for how in ("windowactivate", "windowfocus"))

    def keyboard_given():
        ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                             capture_output=True, text=True).stdout.split()
        return any(given(window_id) for window_id in ids)
    wait_for(f"the keyboard in {title}", keyboard_given)
    if keys:
        subprocess.run(["xdotool", "key", *keys], check=True)


def focus_moves_to(top, expected_name, after):
    """Waits until the focus under top is on the object of that name; prints what is heard."""
    def on_it():
        accessible = focused(top)
        return accessible if accessible is not None and accessible.name == expected_name else None

    def instead():
        accessible = focused(top)
        return f": it is on {described(accessible)!r}" if accessible is not None else ""

    accessible = wait_for(f"the focus on {expected_name!r} after {after}", on_it,
                          seconds=5, instead=instead)
    print(f"{after}: heard {described(accessible)!r}")
    return accessible


class OrcaLog:
    """What Orca said, in order, as its debug log records it: the lines that hold
    "SPEECH OUTPUT", each with the time Orca spoke it (seconds since the epoch's midnight)."""

    # The words, then the voice Orca spoke them with: "... - SPEECH OUTPUT: 'words'{...}".
    line = re.compile(r"^(\d+):(\d+):(\d+\.\d+) - SPEECH OUTPUT: '(.*)' ?[\[{].*$")

    def __init__(self, path):
        self.path = path

    def spoken(self):
        said = []
        if not os.path.exists(self.path):  # Orca is starting
            return said
        with open(self.path, encoding="utf-8", errors="replace") as log:
            for text in log:
                match = self.line.match(text)
                if match:
                    hours, minutes, seconds, words = match.groups()
                    said.append((int(hours) * 3600 + int(minutes) * 60 + float(seconds), words))
        return said

    def mark(self):
        """Where what is said from now on begins."""
        return len(self.spoken())

    def since(self, mark):
        return self.spoken()[mark:]

    def wait_for(self, what, mark, predicate, seconds=20):
        """Waits until something said since `mark` satisfies the predicate; returns it."""
        def found():
            return next((entry for entry in self.since(mark) if predicate(entry[1])), None)
        return wait_for(f"Orca to say {what}", found, seconds=seconds,
                        instead=lambda: f"; it said {[words for _, words in self.since(mark)]}")
