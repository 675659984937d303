#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Morvane as a screen-reader user meets it: Orca itself runs (its debug log records what it
# speaks; the speech goes nowhere) beside a reader of the accessibility bus, on a virtual X
# server with a small window manager, in a D-Bus session of its own (accessibility_test.py says
# what is checked).
#
#   accessibility_test.sh <morvane executable>
# Exits 77 (skipped) without xvfb-run, xdotool, openbox, dbus-run-session, ffmpeg, Orca, the
# accessibility bus or Python's pyatspi (scripts/install-deps --desktop).
set -euo pipefail

morvane=$1
# shellcheck source=tests/app/desktop_test_helpers.sh
source "$(dirname "$0")/desktop_test_helpers.sh"
data=$(cd "$(dirname "$0")/../data" && pwd)
# Debian's pyatspi is for Debian's Python, whatever python3 comes first on the PATH.
python=/usr/bin/python3
export PYTHONDONTWRITEBYTECODE=1 # nothing written into the source tree
bus_launcher=/usr/libexec/at-spi-bus-launcher

if [ "${2:-}" != --inside ]; then
    skip_without xvfb-run xdotool openbox dbus-run-session ffmpeg orca
    if [ ! -x "$bus_launcher" ] || ! "$python" -c 'import pyatspi' 2>/dev/null; then
        echo "skipped: at-spi2-core or python3-pyatspi is missing (scripts/install-deps --desktop)"
        exit 77
    fi
    # Its displays are counted from 120, away from desktop_session_test.sh's (from 99): when
    # both start at once they do not take the same one. The accessibility bus is the new
    # session's, not one named by the desktop this may run in.
    exec env -u AT_SPI_BUS_ADDRESS xvfb-run -a -n 120 -s "-screen 0 1024x768x24" \
        dbus-run-session -- "$0" "$morvane" --inside
fi

make_private_home
export XDG_RUNTIME_DIR=$work/runtime # Orca's and Morvane's sockets, this test's own
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Orca turns the desktop's accessibility setting on: in memory, not in a dconf database that
# a service would still be writing as the folder goes.
export GSETTINGS_BACKEND=memory
helpers=()
stop_helpers() {
    kill "${helpers[@]}" 2>/dev/null || true
    wait "${helpers[@]}" 2>/dev/null || true
    rm -rf "$work"
}
trap stop_helpers EXIT
"$bus_launcher" --launch-immediately &
helpers+=($!)
openbox --sm-disable >/dev/null 2>&1 &
helpers+=($!)

# Twenty short songs and a file no demuxer opens; a long film to stop and a short one to end.
for number in $(seq -w 1 20); do
    cp "$data/fixture.wav" "$work/song $number.wav"
done
cp "$data/fixture-corrupt.mkv" "$work/broken.mkv"
make_long_video "$work/long.mkv"
make_long_video "$work/whole.mkv" 240

mkdir "$work/orca"
"$python" "$(dirname "$0")/orca_with_log.py" "$work/orca" "$work/orca.log" >"$work/orca.out" 2>&1 &
helpers+=($!)
"$python" "$(dirname "$0")/accessibility_test.py" "$morvane" "$work" "$work/orca.log"
