# SPDX-License-Identifier: GPL-3.0-or-later
"""Morvane as a screen reader meets it, read from the AT-SPI tree while xdotool types.

A batch of a text file and a long film: Tab reaches Stop, and Space stops the film with the
focus going straight to the drop area; the stop and the end of the batch are announced by an
object of the notification role that shows ("Stopping: ...", "Batch finished: ..."), which is
what Orca speaks. In the failed-files dialog, the main window and each page of the settings
dialog, every control that takes the focus has a role other than filler, a name and an action;
every window is a frame or a dialog. One Tab reaches a link, one Shift+Tab leaves it. A batch
started from the link (Ctrl+O there) leaves the keyboard on the drop area, and one that ends
with the keyboard on Stop hands it straight back. What has the focus at each step is printed
as "heard: name, role", as Orca says it.

    accessibility_test.py <morvane executable> <long film> <shorter film> <work folder>

Runs inside a virtual X server and a D-Bus session (accessibility_test.sh starts both and
makes the films); the accessibility bus is started on demand by D-Bus activation.
"""

import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

morvane, film, whole_film, work = sys.argv[1:5]
program = None


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
    """Keys typed into the window of that title, given the keyboard first (no window manager
    does it here); tried again while a window that goes as xdotool looks makes it fail."""
    def keyboard_given():
        ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                             capture_output=True, text=True).stdout.split()
        return any(subprocess.run(["xdotool", "windowfocus", "--sync", window_id],
                                  stderr=subprocess.DEVNULL).returncode == 0
                   for window_id in ids)
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


# What a screen reader hears without moving the focus: objects that appear; and where the
# focus goes.
announcements = []
focus_changes = []


def on_showing(event):
    if not event.detail1:
        return
    try:
        role, name = event.source.getRole(), event.source.name
    except Exception:  # gone already
        return
    if role in (pyatspi.ROLE_NOTIFICATION, pyatspi.ROLE_ALERT):
        announcements.append((role, name))
        print(f"announced: {name!r} ({event.source.getRoleName()})")


def on_focused(event):
    if event.detail1:
        focus_changes.append(event.source.name)


def announced(start):
    """How often it was announced. Orca speaks an object of the notification role as it
    shows; an alert it leaves to the GTK toolkit's script, and says nothing of one in a Qt
    program."""
    return sum(role == pyatspi.ROLE_NOTIFICATION and name.startswith(start)
               for role, name in announcements)


# This starts the accessibility bus, which Qt only joins if it is running when the program
# starts.
pyatspi.Registry.registerEventListener(on_showing, "object:state-changed:showing")
pyatspi.Registry.registerEventListener(on_focused, "object:state-changed:focused")

not_media = os.path.join(work, "notes.txt")
with open(not_media, "w") as notes:
    notes.write("not a film\n")
environment = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
# Away from the windows: no tooltip comes up under the pointer.
subprocess.run(["xdotool", "mousemove", "1023", "767"], check=True)
program = subprocess.Popen([morvane, not_media, film], env=environment)

wait_for("the film to be converting",
         lambda: announced(f"Converting {os.path.basename(film)}, 2 of 2"))
main = wait_for("the main window", lambda: window("Morvane"))
check_controls(main, "Morvane")
press("Morvane")
print(f"Morvane: heard {described(main)!r}")
focus_moves_to(main, "Add files to convert", "Morvane")
press("Morvane", "Tab")
focus_moves_to(main, "Stop", "Tab")
focus_changes.clear()
press("Morvane", "space")
wait_for("the stop to be announced", lambda: announced("Stopping: "))
wait_for("the end of the batch to be announced", lambda: announced("Batch finished: "))
# The area takes the focus before the button is disabled: nothing else is heard on the way.
wait_for("a focus change", lambda: focus_changes)
if focus_changes[0] != "Add files to convert":
    fail(f"after Space on Stop the focus went to {focus_changes[0]!r} first")
print("Space: heard 'Add files to convert, push button'")

failed_files = wait_for("the failed-files dialog", lambda: window("Not converted"))
check_controls(failed_files, "Not converted")
print(f"Not converted: heard {described(failed_files)!r}, then "
      f"{described(wait_for('a focus', lambda: focused(failed_files)))!r}")
press("Not converted", "Escape")
wait_for("the failed-files dialog to close", lambda: window("Not converted") is None)

check_controls(main, "Morvane, the batch over")
press("Morvane")
focus_moves_to(main, "Add files to convert", "Morvane")
press("Morvane", "Tab")
focus_moves_to(main, "Show the files not converted", "Tab")
press("Morvane", "shift+Tab")
focus_moves_to(main, "Add files to convert", "Shift+Tab")

press("Morvane", "Tab")
focus_moves_to(main, "Show the files not converted", "Tab")
press("Morvane", "ctrl+o")
chooser = wait_for("the file chooser", lambda: window("Add Files to Convert"))
print(f"Ctrl+O: heard {described(chooser)!r}")
press("Add Files to Convert")
subprocess.run(["xdotool", "type", "--delay", "20", whole_film], check=True)
subprocess.run(["xdotool", "key", "Return"], check=True)
wait_for("the chooser to close", lambda: window("Add Files to Convert") is None)
press("Morvane")
focus_moves_to(main, "Add files to convert", "Return in the chooser, the link hidden")
press("Morvane", "Tab")
focus_moves_to(main, "Stop", "Tab")
focus_changes.clear()
ends = announced("Batch finished: ")
wait_for("the end of the batch", lambda: announced("Batch finished: ") > ends, seconds=60)
wait_for("a focus change", lambda: focus_changes)
if focus_changes[0] != "Add files to convert":
    fail(f"at the end of the batch the focus went from Stop to {focus_changes[0]!r} first")
print("the batch over: heard 'Add files to convert, push button'")

press("Morvane", "ctrl+comma")
settings = wait_for("the settings dialog", lambda: window("Settings"))
print(f"Ctrl+,: heard {described(settings)!r}")
for number, page in enumerate(["General", "Devices", "About"]):
    if number > 0:
        press("Settings", "Down")
    focus_moves_to(settings, page, "Down" if number > 0 else "Ctrl+,")
    check_controls(settings, f"Settings, {page} page", showing_only=True)

links = [accessible.name for accessible in walk(settings)
         if accessible.getState().contains(pyatspi.STATE_SHOWING)
         and accessible.name.startswith(("Morvane's home page", "Write to us"))]
if len(links) != 2:
    fail(f"the About page shows {links}, not its two links")
previous = "About"
for link in links:
    press("Settings", "Tab")
    focus_moves_to(settings, link, "Tab")
    press("Settings", "shift+Tab")
    focus_moves_to(settings, previous, "Shift+Tab")
    press("Settings", "Tab")
    focus_moves_to(settings, link, "Tab")
    previous = link

press("Settings", "Escape")
wait_for("the settings dialog to close", lambda: window("Settings") is None)
press("Morvane", "ctrl+q")
wait_for("the program to end", lambda: program.poll() is not None)
if program.returncode != 0:
    fail(f"the program ended with status {program.returncode}")
print("ended")
