# SPDX-License-Identifier: GPL-3.0-or-later
"""A player plugged in while Morvane runs, as a person meets it: UDisks2 (a stand-in on a bus
of the test's own) tells of a PSP memory stick being mounted; the window says it will send to
it; a file dragged from another program and dropped on the window converts into the output
folder and lands in the stick's MUSIC folder; the summary says it went onto the player. Then
Tab reaches "Eject", Return unmounts the stick and powers it off through UDisks2, and the
window says it can be unplugged, the summary staying. A screen reader is told of the stick as
it comes ("PSP 'STICK' connected, 12.4 GB free") and that it can be unplugged, once each.
Started again with the player plugged in and a file to convert, the file goes onto it too.

    player_session_test.py <morvane> <drag source> <sound file> <work folder> <bus address>

Runs inside a virtual X server and a D-Bus session (player_session_test.sh starts them, the
stand-in UDisks2 and its bus); the settings choose the PSP.
"""

import os
import select
import subprocess
import sys

import pyatspi

import desktop_reader
from desktop_reader import fail, focus_moves_to, press, wait_for, walk, window

morvane, drag_source, sound, work, system_bus = sys.argv[1:6]
output = os.path.join(os.environ["XDG_DATA_HOME"], "Morvane")
stick = os.path.join(work, "STICK")


def standin(method, *arguments):
    return subprocess.run(["dbus-send", f"--bus={system_bus}", "--print-reply",
                           "--dest=org.freedesktop.UDisks2", "/org/freedesktop/UDisks2",
                           f"org.morvane.StandIn.{method}", *arguments],
                          check=True, capture_output=True, text=True).stdout


def shown_text(top, start):
    """The text of the showing object whose name starts so, or None."""
    for accessible in walk(top):
        if (accessible.name.startswith(start)
                and accessible.getState().contains(pyatspi.STATE_SHOWING)):
            return accessible.name
    return None


def geometry(window_id):
    values = dict(line.split("=") for line in subprocess.run(
        ["xdotool", "getwindowgeometry", "--shell", window_id],
        check=True, capture_output=True, text=True).stdout.split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def xdotool(*arguments):
    return subprocess.run(["xdotool", *arguments], check=True, capture_output=True,
                          text=True).stdout.strip()


announced = []  # what a screen reader is told without a focus change


def on_showing(event):
    try:
        if event.detail1 and event.source.getRole() == pyatspi.ROLE_NOTIFICATION:
            announced.append(event.source.name)
    except Exception:  # gone already
        pass


def announcements(start):
    return [words for words in announced if words.startswith(start)]


# This also starts the accessibility bus before the program does.
pyatspi.Registry.registerEventListener(on_showing, "object:state-changed:showing")
environment = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", DBUS_SYSTEM_BUS_ADDRESS=system_bus)
xdotool("mousemove", "1023", "767")
program = desktop_reader.program = subprocess.Popen([morvane], env=environment)
main = wait_for("the main window", lambda: window("Morvane"))
if shown_text(main, "Send to:"):
    fail("a player is shown before one is plugged in")

os.makedirs(os.path.join(stick, "PSP"))
standin("Plug", f"string:{stick}")
line = wait_for("the player's line", lambda: shown_text(main, "Send to: PSP 'STICK'"))
said = wait_for("the player to be announced", lambda: announcements("PSP 'STICK' connected"))
if len(said) != 1 or not said[0].startswith("PSP 'STICK' connected, ") or \
        not said[0].endswith(" free"):
    fail(f"the player was announced as {said}")
print(f"plugged in: the window says {line!r}; a screen reader hears {said[0]!r}")

# The window away from the drag source, which stands at the top left.
window_id = xdotool("search", "--onlyvisible", "--pid", str(program.pid), "--name", "^Morvane$")
xdotool("windowmove", "--sync", window_id.split()[0], "300", "100")
x, y, width, height = geometry(window_id.split()[0])
source = subprocess.Popen([drag_source, sound], env=environment, stdout=subprocess.PIPE,
                          text=True)
wait_for("the drag source", lambda: subprocess.run(
    ["xdotool", "search", "--onlyvisible", "--name", "^Drag source$"],
    capture_output=True).returncode == 0)
xdotool("mousemove", "--sync", "80", "60", "mousedown", "1")
target_x, target_y = x + width // 2, y + height // 3
for step in range(1, 9):  # the drag follows the pointer's moves
    xdotool("mousemove", "--sync", str(80 + (target_x - 80) * step // 8),
            str(60 + (target_y - 60) * step // 8))
# Let go once the window has said it takes the files, as a person waits for the cursor to
# change; the pointer moves by a pixel meanwhile, as a hand does, so the window is asked again.
for nudge in range(40):
    if select.select([source.stdout], [], [], 0.5)[0]:
        if source.stdout.readline().strip() == "accepted":
            break
    xdotool("mousemove", "--sync", str(target_x + nudge % 2), str(target_y))
else:
    fail("the window never said it takes the dragged file")
xdotool("mouseup", "1")
if source.communicate(timeout=20)[0].split()[-1:] != ["dropped"]:
    fail("the window did not take the dropped file")

name = os.path.splitext(os.path.basename(sound))[0] + ".mp3"
sent = os.path.join(stick, "MUSIC", name)
summary = wait_for("the summary", lambda: shown_text(main, "1 converted"), seconds=60)
if summary != "1 converted, 1 sent to the player":
    fail(f"the summary says {summary!r}")
for path in (os.path.join(output, name), sent):
    if not os.path.isfile(path) or os.path.getsize(path) == 0:
        fail(f"{path} was not written")
with open(os.path.join(output, name), "rb") as converted, open(sent, "rb") as copy:
    if converted.read() != copy.read():
        fail("the copy on the stick differs from the converted file")
leftovers = [entry for entry in os.listdir(os.path.dirname(sent)) if entry != name]
if leftovers:
    fail(f"the stick's MUSIC folder also holds {leftovers}")
print(f"dropped: {summary!r}; {sent} is the converted file")

press("Morvane")
focus_moves_to(main, "Add files to convert", "Morvane")
press("Morvane", "Tab")
focus_moves_to(main, "Eject PSP 'STICK'", "Tab")
press("Morvane", "Return")
wait_for("the stick to be unplugged", lambda: shown_text(main, "PSP 'STICK' can be unplugged"))
calls = standin("Calls")
if calls.count("Unmount /org/freedesktop/UDisks2/block_devices/sdb1") != 1 or \
        calls.count("PowerOff /org/freedesktop/UDisks2/drives/Memory_Stick") != 1:
    fail(f"UDisks2 was asked for {calls}")
wait_for("the player's line to go", lambda: not shown_text(main, "Send to:"))
focus_moves_to(main, "Add files to convert", "Return on Eject")
wait_for("the eject to be announced", lambda: announcements("PSP 'STICK' can be unplugged"))
if announcements("PSP 'STICK' disconnected") or len(announcements("PSP")) != 2 or \
        not shown_text(main, "1 converted, 1 sent to the player"):
    fail(f"after Eject: announced {announced}; the summary went")
print("Eject: unmounted and powered off; the window says it can be unplugged")


def quit_program():
    press("Morvane", "ctrl+q")
    wait_for("the program to end", lambda: program.poll() is not None)
    if program.returncode != 0:
        fail(f"the program ended with status {program.returncode}")


quit_program()
print("ended")

# Plugged in before the program starts with a file to convert: the file, done within a
# second, finds the player known. (The stick no longer holds the song: a copy it holds would
# not be sent again.)
os.remove(sent)
standin("Plug", f"string:{stick}")
program = desktop_reader.program = subprocess.Popen([morvane, sound], env=environment)
main = wait_for("the main window", lambda: window("Morvane"))
summary = wait_for("the summary", lambda: shown_text(main, "1 converted"), seconds=60)
if summary != "1 converted, 1 sent to the player":
    fail(f"started with a player plugged in, the summary says {summary!r}")
quit_program()
print(f"started with the player plugged in: {summary!r}")
