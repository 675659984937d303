#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Morvane on a real X server (Xvfb), typed at with xdotool: started with a file argument it
# converts the file into the output folder; Escape leaves it running; Ctrl+O opens the file
# chooser; Ctrl+Q ends it and its settings are saved in the user's configuration folder.
#
#   desktop_session_test.sh <morvane executable> <audio file>
# Exits 77 (skipped) without xvfb-run or xdotool (scripts/install-deps --desktop).
set -euo pipefail

morvane=$1
audio=$2
# The second half runs inside the virtual X server.
if [ "${3:-}" = --inside ]; then
    inside=1
else
    inside=0
fi
for tool in xvfb-run xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is missing (scripts/install-deps --desktop installs it)"
        exit 77
    fi
done

if [ "$inside" -eq 0 ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$morvane" "$audio" --inside
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
mkdir -p "$HOME" "$XDG_CONFIG_HOME/morvane"
# No file browser pops up at the end of the batch.
printf '[Common]\nOpenOutput=0\n' >"$XDG_CONFIG_HOME/morvane/config.ini"
cp "$audio" "$work/tone.wav"

fail() { echo "FAILED: $*"; kill "$pid" 2>/dev/null || true; exit 1; }
wait_for() { # seconds, command...
    local seconds=$1; shift
    for _ in $(seq $((seconds * 10))); do
        if "$@"; then return 0; fi
        sleep 0.1
    done
    return 1
}
# Alive and not a zombie waiting to be reaped.
running() { [ -r "/proc/$pid/stat" ] && [ "$(cut -d ' ' -f 3 "/proc/$pid/stat")" != Z ]; }
stopped() { ! running; }
QT_QPA_PLATFORM=xcb "$morvane" "$work/tone.wav" &
pid=$!
wait_for 60 test -s "$XDG_DATA_HOME/Morvane/tone.mp3" || fail "tone.mp3 was not written"
echo "converted: $XDG_DATA_HOME/Morvane/tone.mp3"

window=$(xdotool search --sync --onlyvisible --pid "$pid" --name '^Morvane$' | head -n 1)
xdotool windowfocus --sync "$window"
xdotool key Escape
sleep 1
running || fail "Escape ended the program"
echo "Escape: still running"

xdotool key ctrl+o
wait_for 20 xdotool search --onlyvisible --name 'Add Files to Convert' >/dev/null ||
    fail "Ctrl+O opened no chooser"
echo "Ctrl+O: the chooser is open"
# Without a window manager nothing hands the new window the focus.
chooser=$(xdotool search --onlyvisible --name 'Add Files to Convert' | head -n 1)
xdotool windowfocus --sync "$chooser"
sleep 0.5
xdotool key Escape
wait_for 20 bash -c "! xdotool search --onlyvisible --name 'Add Files to Convert' >/dev/null" ||
    fail "Escape did not close the chooser"
running || fail "closing the chooser ended the program"

xdotool windowfocus --sync "$window"
xdotool key ctrl+q
wait_for 20 stopped || fail "Ctrl+Q did not end the program"
wait "$pid" || fail "the program ended with status $?"
grep -q '^OpenOutput=0' "$XDG_CONFIG_HOME/morvane/config.ini" || fail "settings not saved"
grep -q '^DeviceIndex=0' "$XDG_CONFIG_HOME/morvane/config.ini" || fail "settings not saved"
echo "Ctrl+Q: ended, settings saved in $XDG_CONFIG_HOME/morvane/config.ini"
