# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the desktop tests: skipping where a tool is missing, a home of their own, waits on
# a condition, the program's state and its windows. `pid` is the program under test.
# shellcheck shell=bash

# Exits 77 (skipped) unless every tool named is on the PATH.
skip_without() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "skipped: $tool is missing (scripts/install-deps --desktop installs it)"
            exit 77
        fi
    done
}

# A fresh home, configuration and data folder under $work, removed at exit; no file browser
# pops up at the end of a batch.
make_private_home() {
    work=$(mktemp -d)
    # shellcheck disable=SC2064 # $work is fixed now
    trap "rm -rf '$work'" EXIT
    export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
    mkdir -p "$HOME" "$XDG_CONFIG_HOME/morvane"
    printf '[Common]\nOpenOutput=0\n' >"$XDG_CONFIG_HOME/morvane/config.ini"
    output=$XDG_DATA_HOME/Morvane
}

fail() {
    echo "FAILED: $*"
    if [ -n "${pid:-}" ]; then kill "$pid" 2>/dev/null || true; fi
    exit 1
}

wait_for() { # seconds, command...
    local seconds=$1
    shift
    for _ in $(seq $((seconds * 10))); do
        if "$@"; then return 0; fi
        sleep 0.1
    done
    return 1
}

# Alive and not a zombie waiting to be reaped.
running() { [ -r "/proc/$pid/stat" ] && [ "$(cut -d ' ' -f 3 "/proc/$pid/stat")" != Z ]; }
stopped() { ! running; }

# A conversion is being written: its hidden temporary is in the output folder.
partial_exists() { compgen -G "$output/.morvane-partial-*" >/dev/null; }
no_partial() { ! partial_exists; }

# A search fails, and says so, when a window goes while it looks: then nothing is known.
window_shown() { [ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ]; }
window_gone() { [ -z "$(xdotool search --onlyvisible --name "$1" 2>&1)" ]; }

# Gives the keyboard to the visible window of that title: nothing else does without a
# window manager.
focus_window() {
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
        if [ -n "$id" ] && xdotool windowfocus --sync "$id" 2>/dev/null; then return 0; fi
        sleep 0.1
    done
    fail "could not give the keyboard to the window titled $1"
}

# The program's main window, found once while nothing else of it is shown (a tooltip is a
# window of the program's name too).
find_main_window() {
    window=$(xdotool search --sync --onlyvisible --pid "$pid" --name '^Morvane$' | head -n 1)
}
focus_main_window() { xdotool windowfocus --sync "$window"; }

# Waits for the window of that title, presses Escape in it and waits for it to go.
close_with_escape() {
    wait_for 20 window_shown "$1" || fail "no window titled $1 opened"
    focus_window "$1"
    xdotool key Escape
    wait_for 20 window_gone "$1" || fail "Escape did not close $1"
}

# A film at one picture a second, twenty minutes unless told: made in a second or two, it
# takes many more to convert (the players' rate has thirty times more pictures).
make_long_video() { # path [seconds]
    ffmpeg -loglevel error -f lavfi -i "testsrc=size=320x240:rate=1:duration=${2:-1200}" \
        -c:v mpeg4 -q:v 8 "$1"
}

# Seconds of a media file, as its container says.
duration_of() {
    ffprobe -v error -show_entries format=duration -of default=noprint_wrappers=1:nokey=1 "$1"
}
