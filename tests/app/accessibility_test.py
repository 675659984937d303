# SPDX-License-Identifier: GPL-3.0-or-later
"""Morvane as a screen-reader user meets it: what Orca says (from its debug log) and what the
AT-SPI tree holds, while xdotool types.

- A batch of twenty short songs and a file no demuxer opens: Orca says the end of the batch
  once, naming the broken file and why; where the batch stands at most once in ten seconds;
  never a file's percentage. The failed-files dialog opens with its first row read, path and
  reason in one sentence.
- One Tab reaches the summary's link, one Shift+Tab leaves it. A film started from the link
  (Ctrl+O there) leaves the keyboard on the drop area; Tab reaches Stop, and Space stops the
  film with the focus going straight to the drop area; Orca says how far the film got, once.
  A film that ends with the keyboard on Stop hands it straight back.
- The settings dialog says which page shows as it opens; the device combo box speaks its
  value as it takes the focus and the device Down chooses. In every window, every control
  that takes the focus has a role other than filler, a name and an action; every window is a
  frame or a dialog; the About page's links are one Tab each.

    accessibility_test.py <morvane executable> <work folder> <Orca's debug log>

The work folder holds the media (accessibility_test.sh makes them and starts the virtual X
server, the D-Bus session, the accessibility bus, a window manager and Orca). What Orca says
at each step is printed as "Orca: ...".
"""

import datetime
import os
import re
import subprocess
import sys

import pyatspi

import desktop_reader
from desktop_reader import (OrcaLog, check_controls, described, fail, focus_moves_to, focused,
                            press, wait_for, walk, window)

morvane, work, orca_log = sys.argv[1:4]
orca = OrcaLog(orca_log)
orca.wait_for("that it is on", 0, lambda words: words.startswith("Screen reader on"),
              seconds=60)

# What a screen reader is shown without moving the focus: objects that appear; and where the
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


def on_focused(event):
    if event.detail1:
        focus_changes.append(event.source.name)


def announced(start):
    """How many notifications that start so appeared (Orca speaks a notification as it shows;
    an alert in a Qt program it leaves unsaid)."""
    return sum(role == pyatspi.ROLE_NOTIFICATION and name.startswith(start)
               for role, name in announcements)


def window_text(top, start):
    """Whether an object whose name starts so shows under top."""
    return any(accessible.name.startswith(start)
               and accessible.getState().contains(pyatspi.STATE_SHOWING)
               for accessible in walk(top))


def now():
    """The time on Orca's clock: seconds since midnight."""
    clock = datetime.datetime.now()
    return clock.hour * 3600 + clock.minute * 60 + clock.second + clock.microsecond / 1e6


def heard(mark, step):
    said = [words for _, words in orca.since(mark)]
    print(f"{step}: Orca said {said}")
    return said


def press_and_hear(title, key, words, seconds=20):
    """Presses the key and waits, as a person listens, until Orca has said something that
    starts with `words`: Orca has then also dealt with all that came before."""
    mark = orca.mark()
    press(title, key)
    orca.wait_for(repr(words), mark, lambda said: said.startswith(words), seconds=seconds)
    return heard(mark, key)


pyatspi.Registry.registerEventListener(on_showing, "object:state-changed:showing")
pyatspi.Registry.registerEventListener(on_focused, "object:state-changed:focused")

songs = [os.path.join(work, f"song {number:02}.wav") for number in range(1, 21)]
broken = os.path.join(work, "broken.mkv")
environment = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
# Away from the windows: no tooltip comes up under the pointer.
subprocess.run(["xdotool", "mousemove", "1023", "767"], check=True)
mark = orca.mark()
started = now()
program = desktop_reader.program = subprocess.Popen(
    [morvane, *songs[:10], broken, *songs[10:]], env=environment)

failed_files = wait_for("the failed-files dialog", lambda: window("Not converted"), seconds=60)
row = f"{broken}: "
orca.wait_for("the failed-files dialog's first row", mark, lambda words: words.startswith(row))
said = heard(mark, "a batch of 21, one broken")
ends = [(time, words) for time, words in orca.since(mark) if "Batch finished" in words]
if len(ends) != 1 or "20 converted; broken.mkv not converted: " not in ends[0][1]:
    fail(f"the end of the batch was said as {ends}")
positions = [time for time, words in orca.since(mark) if re.search(r"\b\d+ of 21\b", words)]
batch_seconds = ends[0][0] - started
if len(positions) > batch_seconds // 10 or any(
        later - earlier < 10 for earlier, later in zip(positions, positions[1:])):
    fail(f"{len(positions)} progress lines in a batch of {batch_seconds:.1f} s")
if any(re.search(r"\d+ percent", words) for words in said):
    fail("a file's percentage was said")
if announced("Batch finished") != 1:
    fail(f"the end of the batch was announced {announced('Batch finished')} times")
dialog_read = said[said.index("Not converted dialog."):]
if not dialog_read[1].startswith("Files not converted") or not dialog_read[2].startswith(row):
    fail(f"the failed-files dialog was read as {dialog_read}")
print(f"the batch took {batch_seconds:.1f} s; {len(positions)} progress lines")
check_controls(failed_files, "Not converted")
mark = orca.mark()
press("Not converted", "Escape")
wait_for("the failed-files dialog to close", lambda: window("Not converted") is None)
# The window manager gives the keyboard back to the main window, unless that never had it
# (the dialog came a second after it): then it is given as a person would click it.
press("Morvane")
orca.wait_for("the drop area", mark, lambda said: said.startswith("Add files to convert push"))
heard(mark, "Escape")

main = wait_for("the main window", lambda: window("Morvane"))
check_controls(main, "Morvane, the batch over")
focus_moves_to(main, "Add files to convert", "Escape")
press_and_hear("Morvane", "Tab", "Show the files not converted push button")
focus_moves_to(main, "Show the files not converted", "Tab")
press_and_hear("Morvane", "shift+Tab", "Add files to convert push button")
focus_moves_to(main, "Add files to convert", "Shift+Tab")


def convert_from_the_link(film):
    """A second start with the film, the keyboard on the summary's link: the batch hides the
    link and leaves the keyboard on the drop area, one Tab from Stop."""
    if window_text(main, "Show the files not converted"):
        press_and_hear("Morvane", "Tab", "Show the files not converted push button")
        focus_moves_to(main, "Show the files not converted", "Tab")
    handed_over = subprocess.run([morvane, film], env=environment, timeout=30)
    if handed_over.returncode != 0:
        fail(f"a second start ended with status {handed_over.returncode}")
    focus_moves_to(main, "Add files to convert", "a second start, the link hidden")
    press_and_hear("Morvane", "Tab", "Stop push button")


convert_from_the_link(os.path.join(work, "long.mkv"))
focus_moves_to(main, "Stop", "Tab")
focus_changes.clear()
mark = orca.mark()
press("Morvane", "space")
stop = orca.wait_for("how the stop ended", mark, lambda words: "Stopped at " in words)
# The area takes the focus before the button is disabled: nothing else is heard on the way.
wait_for("a focus change", lambda: focus_changes)
if focus_changes[0] != "Add files to convert":
    fail(f"after Space on Stop the focus went to {focus_changes[0]!r} first")
said = heard(mark, "Space on Stop")
if not re.search(r"Stopped at \d\d?%: long\.mkv is kept, shorter", stop[1]) or \
        sum("Stopped" in words or "Batch finished" in words for words in said) != 1 or \
        any(re.search(r"\d+ percent", words) for words in said):
    fail(f"after Space on Stop Orca said {said}")

# The whole film: the keyboard waits on Stop until the batch ends, and comes back to the area.
convert_from_the_link(os.path.join(work, "whole.mkv"))
focus_changes.clear()
mark = orca.mark()
orca.wait_for("the end of the batch", mark, lambda words: "Batch finished: 1 converted" in words,
              seconds=120)
wait_for("a focus change", lambda: focus_changes)
if focus_changes[0] != "Add files to convert":
    fail(f"at the end of the batch the focus went from Stop to {focus_changes[0]!r} first")
heard(mark, "the film converted, the keyboard on Stop")

said = press_and_hear("Morvane", "ctrl+comma", "General.")
settings = wait_for("the settings dialog", lambda: window("Settings"))
if said[-2:] != ["List with 4 items.", "General."]:
    fail(f"the settings dialog opened saying {said}")
focus_moves_to(settings, "General", "Ctrl+,")
check_controls(settings, "Settings, General page", showing_only=True)
press_and_hear("Settings", "Down", "Devices.")
focus_moves_to(settings, "Devices", "Down")
check_controls(settings, "Settings, Devices page", showing_only=True)
said = press_and_hear("Settings", "Tab", "iPhone, iPod touch.")
if said[-2:] != ["Please select a device: combo box.", "iPhone, iPod touch."]:
    fail(f"the device list was read as {said}")
press_and_hear("Settings", "Down", "iPod nano")
press_and_hear("Settings", "shift+Tab", "Devices.")
press_and_hear("Settings", "Down", "Films.")
focus_moves_to(settings, "Films", "Shift+Tab, Down")
check_controls(settings, "Settings, Films page", showing_only=True)
press_and_hear("Settings", "Down", "About.")
focus_moves_to(settings, "About", "Down")
check_controls(settings, "Settings, About page", showing_only=True)

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
