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

import pyatspi

import desktop_reader
from desktop_reader import (check_controls, described, fail, focus_moves_to, focused, press,
                            wait_for, walk, window)

morvane, film, whole_film, work = sys.argv[1:5]


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
program = desktop_reader.program = subprocess.Popen([morvane, not_media, film],
                                                  env=environment)

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
