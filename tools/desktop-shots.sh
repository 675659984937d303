#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshots of the main window for docs/screenshots, at scale factors 1 and 2: idle,
# converting and after a batch, under a light and a dark theme. Runs the built program on a
# virtual X server (needs scripts/install-deps --shots):
#   tools/desktop-shots.sh build/bin/morvane docs/screenshots
set -euo pipefail

morvane=$(realpath "$1")
out=$(realpath "$2")
# The shots are taken inside the virtual X server.
if [ "${3:-}" != --inside ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$morvane" "$out" --inside
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
mkdir -p "$HOME" "$XDG_CONFIG_HOME/morvane" "$work/media"
printf '[Common]\nOpenOutput=0\nTopmost=0\n' >"$XDG_CONFIG_HOME/morvane/config.ini"
for name in "Holiday at the sea" "Interview" "Concert"; do
    ffmpeg -loglevel error -f lavfi -i testsrc2=size=1280x720:rate=25:duration=40 \
        -f lavfi -i sine=frequency=440:duration=40 -c:v libx264 -preset veryfast -c:a aac \
        -shortest "$work/media/$name.mp4"
done

shots() {
    set -euo pipefail
    local scale=$1 suffix=$2 theme=$3
    # The dark pictures are taken as a GNOME desktop with a dark theme shows Qt programs.
    if [ "$theme" = dark ]; then
        export QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark
    else
        unset QT_QPA_PLATFORMTHEME GTK_THEME
    fi
    grab() { # window, file
        local x y width height
        eval "$(xdotool getwindowgeometry --shell "$1" | sed 's/^/local /')"
        ffmpeg -loglevel error -y -f x11grab -draw_mouse 0 -video_size "${WIDTH}x${HEIGHT}" \
            -i "$DISPLAY+$X,$Y" -frames:v 1 "$out/$2$suffix.png"
        echo "$out/$2$suffix.png"
    }
    rm -rf "$XDG_DATA_HOME/Morvane"
    QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$morvane" &
    local pid=$!
    local window
    window=$(xdotool search --sync --onlyvisible --pid "$pid" --name '^Morvane$' | head -n 1)
    sleep 1
    grab "$window" main-window
    kill "$pid"; wait "$pid" || true

    QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$morvane" "$work/media/"*.mp4 &
    pid=$!
    window=$(xdotool search --sync --onlyvisible --pid "$pid" --name '^Morvane$' | head -n 1)
    sleep 6
    grab "$window" main-window-converting
    # The batch is over when the three outputs stop growing.
    local sizes=""
    while [ "$(ls "$XDG_DATA_HOME/Morvane" 2>/dev/null | grep -vc '^\.')" -lt 3 ] ||
        [ "$sizes" != "$(du -ab "$XDG_DATA_HOME/Morvane")" ]; do
        sizes=$(du -ab "$XDG_DATA_HOME/Morvane")
        sleep 2
    done
    grab "$window" main-window-summary
    kill "$pid"; wait "$pid" || true
}
shots 1 "" light
shots 2 "@2x" light
shots 1 "-dark" dark
shots 2 "-dark@2x" dark
