#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Morvane read through the accessibility bus as a screen reader reads it (accessibility_test.py
# says what is checked), on a virtual X server in a D-Bus session of its own.
#
#   accessibility_test.sh <morvane executable>
# Exits 77 (skipped) without xvfb-run, xdotool, dbus-run-session, ffmpeg, the accessibility
# bus or Python's pyatspi (scripts/install-deps --desktop).
set -euo pipefail

morvane=$1
# shellcheck source=tests/app/desktop_test_helpers.sh
source "$(dirname "$0")/desktop_test_helpers.sh"
# Debian's pyatspi is for Debian's Python, whatever python3 comes first on the PATH.
python=/usr/bin/python3
export PYTHONDONTWRITEBYTECODE=1 # nothing written into the source tree

if [ "${2:-}" != --inside ]; then
    skip_without xvfb-run xdotool dbus-run-session ffmpeg
    if [ ! -f /usr/share/dbus-1/services/org.a11y.Bus.service ] ||
        ! "$python" -c 'import pyatspi' 2>/dev/null; then
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
make_long_video "$work/long.mkv"
make_long_video "$work/whole.mkv" 480
"$python" "$(dirname "$0")/accessibility_test.py" "$morvane" "$work/long.mkv" \
    "$work/whole.mkv" "$work"
