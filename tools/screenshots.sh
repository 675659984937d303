#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes every screenshot of docs/screenshots again: the main window, the settings pages and
# the failed-files dialog, at scale factors 1 and 2, under a light and a dark theme, on a
# virtual X server (so that a desktop's own theme and fonts do not leak in). The dialogs at
# scale 2 are shown on a laptop's 1280x800 screen (640x400 to Qt), the smallest they fit.
#
#   tools/screenshots.sh [build folder] [output folder]    (default: build docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-docs/screenshots}

scripts/install-deps --shots
cmake --build "$build" --target morvane morvane-dialog-shots
for scale in 1 2; do
    for theme in light dark; do
        themed=(env QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale")
        if [ "$theme" = dark ]; then
            themed+=(QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark)
        fi
        screen=2560x1600
        if [ "$scale" = 2 ]; then screen=1280x800; fi
        xvfb-run -a -s "-screen 0 ${screen}x24" "${themed[@]}" \
            "$build/bin/morvane-dialog-shots" "$out"
    done
done
tools/desktop-shots.sh "$build/bin/morvane" "$out"
