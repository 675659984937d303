#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshots of the main window for docs/screenshots, at scale factors 1 and 2: idle,
# converting and after a batch, under a light and a dark theme; with a player connected (an
# iPod classic, then a PSP after a batch sent to it), told of by the stand-in UDisks2 of the
# tests; and, light and dark, the summary of a batch whose films could not be sent to a PSP.
# Runs the built program on a virtual X server (needs scripts/install-deps --shots and
# --desktop):
#   tools/desktop-shots.sh build/bin/morvane docs/screenshots [player]
# With "player", only the shots with a player are taken.
set -euo pipefail

morvane=$(realpath "$1")
out=$(realpath "$2")
only=${3:-all}
standin=$(realpath "$(dirname "$0")/../tests/app/standin_udisks.py")
# The shots are taken inside the virtual X server.
if [ "${4:-}" != --inside ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$morvane" "$out" "$only" --inside
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
mkdir -p "$HOME" "$XDG_CONFIG_HOME/morvane" "$work/media"
settings() { # device index
    printf '[Common]\nOpenOutput=0\nTopmost=0\nDeviceIndex=%s\n' "$1" \
        >"$XDG_CONFIG_HOME/morvane/config.ini"
}
settings 0
for name in "Holiday at the sea" "Interview" "Concert"; do
    ffmpeg -loglevel error -f lavfi -i testsrc2=size=1280x720:rate=25:duration=40 \
        -f lavfi -i sine=frequency=440:duration=40 -c:v libx264 -preset veryfast -c:a aac \
        -shortest "$work/media/$name.mp4"
done
ffmpeg -loglevel error -f lavfi -i sine=frequency=330:duration=20 "$work/media/Morning song.wav"

grab() { # window, file
    eval "$(xdotool getwindowgeometry --shell "$1" | sed 's/^/local /')"
    ffmpeg -loglevel error -y -f x11grab -draw_mouse 0 -video_size "${WIDTH}x${HEIGHT}" \
        -i "$DISPLAY+$X,$Y" -frames:v 1 "$out/$2.png"
    echo "$out/$2.png"
}

# How many outputs are finished (the temporaries are hidden).
count_outputs() {
    local outputs=("$XDG_DATA_HOME/Morvane"/*)
    if [ -e "${outputs[0]}" ]; then echo "${#outputs[@]}"; else echo 0; fi
}

# Waits until the batch's outputs (as many as named) stop growing.
wait_for_batch() { # count
    local sizes=""
    while [ "$(count_outputs)" -lt "$1" ] ||
        [ "$sizes" != "$(du -ab "$XDG_DATA_HOME/Morvane")" ]; do
        sizes=$(du -ab "$XDG_DATA_HOME/Morvane")
        sleep 2
    done
}

# The dark pictures are taken as a GNOME desktop with a dark theme shows Qt programs.
use_theme() { # light or dark
    if [ "$1" = dark ]; then
        export QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark
    else
        unset QT_QPA_PLATFORMTHEME GTK_THEME
    fi
}

shots() {
    set -euo pipefail
    local scale=$1 suffix=$2 theme=$3
    use_theme "$theme"
    rm -rf "$XDG_DATA_HOME/Morvane"
    QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$morvane" &
    local pid=$!
    local window
    window=$(xdotool search --sync --onlyvisible --pid "$pid" --name '^Morvane$' | head -n 1)
    sleep 1
    grab "$window" "main-window$suffix"
    kill "$pid"; wait "$pid" || true

    QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$morvane" "$work/media/"*.mp4 &
    pid=$!
    window=$(xdotool search --sync --onlyvisible --pid "$pid" --name '^Morvane$' | head -n 1)
    sleep 6
    grab "$window" "main-window-converting$suffix"
    wait_for_batch 3
    grab "$window" "main-window-summary$suffix"
    kill "$pid"; wait "$pid" || true
}
# The program with a player plugged in: a bus of its own stands for the system's, with the
# stand-in UDisks2 on it, which has `root` mounted when the program starts.
with_player() { # scale, root, program arguments...
    local scale=$1 root=$2
    shift 2
    local bus
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$work/bus.pid" |
        head -n 1)
    bus_pid=$(cat "$work/bus.pid")
    rm -f "$work/standin.out" # the last one's "ready" must not be taken for this one's
    /usr/bin/python3 "$standin" "$bus" >"$work/standin.out" &
    standin_pid=$!
    until grep -qs ready "$work/standin.out"; do sleep 0.1; done
    dbus-send "--bus=$bus" --print-reply --dest=org.freedesktop.UDisks2 \
        /org/freedesktop/UDisks2 org.morvane.StandIn.Plug "string:$root" >/dev/null
    rm -rf "$XDG_DATA_HOME/Morvane"
    DBUS_SYSTEM_BUS_ADDRESS=$bus QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$morvane" "$@" &
    player_pid=$!
    window=$(xdotool search --sync --onlyvisible --pid "$player_pid" --name '^Morvane$' |
        head -n 1)
    sleep 1
}
stop_player() { kill "$player_pid" "$standin_pid" "$bus_pid"; wait "$player_pid" || true; }

# A PSP whose stick has a file where its VIDEO folder should be: the song goes onto it, the
# films cannot.
not_sent_shots() {
    set -euo pipefail
    local scale=$1 suffix=$2 theme=$3
    use_theme "$theme"
    local psp="$work/blocked$suffix/STICK"
    mkdir -p "$psp/PSP"
    : >"$psp/VIDEO"
    settings 4
    with_player "$scale" "$psp" "$work/media/"*.mp4 "$work/media/Morning song.wav"
    wait_for_batch 4
    # The list of the files not sent opens over the window at the batch's end: it goes first.
    local list
    list=$(xdotool search --sync --onlyvisible --name '^Not sent to the player$' | head -n 1)
    xdotool windowfocus --sync "$list" key Escape
    sleep 1
    grab "$window" "main-window-not-sent$suffix"
    stop_player
    settings 0
}

player_shots() {
    set -euo pipefail
    local scale=$1 suffix=$2
    use_theme light
    local ipod="$work/players$suffix/Alex's iPod" psp="$work/players$suffix/STICK"
    mkdir -p "$ipod/iPod_Control/Device" "$psp/PSP"
    printf 'ModelNumStr: xB029\n' >"$ipod/iPod_Control/Device/SysInfo" # an iPod classic
    settings 2
    with_player "$scale" "$ipod"
    grab "$window" "main-window-player$suffix"
    stop_player
    settings 4
    with_player "$scale" "$psp" "$work/media/"*.mp4
    wait_for_batch 3
    sleep 2 # the copies onto the stick
    grab "$window" "main-window-player-summary$suffix"
    stop_player
    settings 0
}

if [ "$only" = all ]; then
    shots 1 "" light
    shots 2 "@2x" light
    shots 1 "-dark" dark
    shots 2 "-dark@2x" dark
fi
player_shots 1 ""
player_shots 2 "@2x"
not_sent_shots 1 "" light
not_sent_shots 2 "@2x" light
not_sent_shots 1 "-dark" dark
not_sent_shots 2 "-dark@2x" dark
