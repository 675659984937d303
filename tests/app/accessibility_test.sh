#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Morvane as a screen-reader user meets it: Orca itself runs (its debug log records what it
# speaks) beside a reader of the accessibility bus, on a virtual X server with a small window
# manager, in a D-Bus session of its own (accessibility_test.py says what is checked). Orca
# speaks through a speech server of the test's own, configured to speak into ALSA's null
# device: the machine's (on Debian, sound through PulseAudio) stops taking words after the
# first two where there is no sound card, and Orca's log with it.
#
#   accessibility_test.sh <morvane executable>
# Exits 77 (skipped), and says so, only without Orca; with Orca, a missing tool of
# scripts/install-deps --desktop (xvfb-run, xdotool, openbox, dbus-run-session, ffmpeg, the
# accessibility bus, Python's pyatspi) fails it. Without speech-dispatcher's eSpeak NG module
# Orca runs voiceless, and the test says so; Orca's log is the same.
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
    if ! command -v orca >/dev/null; then
        echo "SKIPPED: Orca is not installed, so no screen reader heard Morvane" \
            "(scripts/install-deps --desktop installs it)"
        exit 77
    fi
    for tool in xvfb-run xdotool openbox dbus-run-session ffmpeg speech-dispatcher; do
        command -v "$tool" >/dev/null || fail "Orca is here but $tool is missing" \
            "(scripts/install-deps --desktop installs it)"
    done
    if [ ! -x "$bus_launcher" ] || ! "$python" -c 'import pyatspi' 2>/dev/null; then
        fail "Orca is here but at-spi2-core or python3-pyatspi is missing" \
            "(scripts/install-deps --desktop installs them)"
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

# The speech server: eSpeak NG into the null device, every utterance logged and none waiting
# for a sound card. Its configuration is in this test's own configuration home, where a
# speech-dispatcher started by anything else would look too.
speech=$XDG_CONFIG_HOME/speech-dispatcher
mkdir -p "$speech/modules" "$work/speech-log"
cat >"$speech/speechd.conf" <<'END'
LogLevel 3
AudioOutputMethod "alsa"
AudioALSADevice "null"
AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"
DefaultModule espeak-ng
END
: >"$speech/modules/espeak-ng.conf" # the module's defaults
speech_socket=$XDG_RUNTIME_DIR/speechd.sock
export SPEECHD_ADDRESS=unix_socket:$speech_socket
# Orca starts no other server (a spawn refused), the user's or the machine's setup.
export SPEECHD_CMD=/bin/false
speech-dispatcher --run-single --config-dir "$speech" --communication-method unix_socket \
    --socket-path "$speech_socket" --timeout 0 --log-dir "$work/speech-log" \
    >"$work/speech.out" 2>&1 &
speech_pid=$!
helpers+=("$speech_pid")
speech_up_or_ended() { [ -S "$speech_socket" ] || ! kill -0 "$speech_pid" 2>/dev/null; }
wait_for 20 speech_up_or_ended || fail "speech-dispatcher neither started nor ended"
if [ ! -S "$speech_socket" ]; then
    echo "NOTE: speech-dispatcher did not start (is its eSpeak NG module missing? scripts/"
    echo "install-deps --desktop installs speech-dispatcher-espeak-ng): Orca runs voiceless."
    cat "$work/speech-log/speech-dispatcher.log" 2>/dev/null || true
fi

mkdir "$work/orca"
"$python" "$(dirname "$0")/orca_with_log.py" "$work/orca" "$work/orca.log" >"$work/orca.out" 2>&1 &
helpers+=($!)
status=0
"$python" "$(dirname "$0")/accessibility_test.py" "$morvane" "$work" "$work/orca.log" || status=$?
if [ "$status" -ne 0 ]; then
    echo "The speech server's log ends:"
    tail -n 20 "$work/speech-log/speech-dispatcher.log" 2>/dev/null || true
fi
exit "$status"
