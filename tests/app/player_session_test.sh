#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A player plugged in while Morvane runs (player_session_test.py says what is checked), on a
# virtual X server, with a stand-in UDisks2 on a bus of its own that the program takes for
# the system's.
#
#   player_session_test.sh <morvane executable> <drag source> <sound file>
# Exits 77 (skipped) without xvfb-run, xdotool, dbus-run-session, the accessibility bus or
# Python's pyatspi and dbus (scripts/install-deps --desktop).
set -euo pipefail

morvane=$1
drag_source=$2
sound=$3
# shellcheck source=tests/app/desktop_test_helpers.sh
source "$(dirname "$0")/desktop_test_helpers.sh"
python=/usr/bin/python3
export PYTHONDONTWRITEBYTECODE=1 # nothing written into the source tree

if [ "${4:-}" != --inside ]; then
    skip_without xvfb-run xdotool dbus-run-session dbus-daemon dbus-send
    if [ ! -f /usr/share/dbus-1/services/org.a11y.Bus.service ] ||
        ! "$python" -c 'import pyatspi, dbus' 2>/dev/null; then
        echo "skipped: at-spi2-core, python3-pyatspi or python3-dbus is missing" \
            "(scripts/install-deps --desktop)"
        exit 77
    fi
    # Displays from 140, away from the other desktop tests'.
    exec env -u AT_SPI_BUS_ADDRESS xvfb-run -a -n 140 -s "-screen 0 1024x768x24" \
        dbus-run-session -- "$0" "$morvane" "$drag_source" "$sound" --inside
fi

make_private_home
printf 'DeviceIndex=4\n' >>"$XDG_CONFIG_HOME/morvane/config.ini" # the PSP
cp "$sound" "$work/tone.wav"

# The system bus of this test: only the stand-in UDisks2 is on it.
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$work/bus.pid" |
    head -n 1)
standin_pid=
# shellcheck disable=SC2064 # the pids are known now
trap "kill \$standin_pid \$(cat '$work/bus.pid') 2>/dev/null || true; rm -rf '$work'" EXIT
"$python" "$(dirname "$0")/standin_udisks.py" "$bus" >"$work/standin.out" &
standin_pid=$!
wait_for 20 grep -qs ready "$work/standin.out" || fail "the stand-in UDisks2 did not start"

"$python" "$(dirname "$0")/player_session_test.py" "$morvane" "$drag_source" "$work/tone.wav" \
    "$work" "$bus"
