#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Morvane on a real X server (Xvfb), typed at with xdotool keys only, as a keyboard user meets
# it:
# - --version, --help (naming the program), --help-all and a wrong option (status 2) answer
#   with no display at all;
# - started with a file it converts it into the output folder; Escape leaves it running; Tab
#   goes round the window back to the drop area, where Return opens the file chooser, as Ctrl+O
#   does; a device chosen in the settings is written to config.ini at once;
# - started again, with a file, the second start hands it to the first window, which converts
#   it (one output), and ends with status 0, as it does without files; Ctrl+Q ends the first,
#   the choice still in config.ini;
# - a batch of a text file and a long film: one Tab reaches Stop and Space stops the film,
#   complete and shorter; the keyboard is left on the drop area (the next Space opens the
#   chooser, it does not minimise); the failed-files dialog opens at the end, and again with
#   Return on the summary's link one Tab away; one Shift+Tab leaves the link;
# - SIGTERM during a batch ends the program within seconds (status 143) with the film
#   complete and shorter and no temporary left.
#
#   desktop_session_test.sh <morvane executable> <audio file>
# Exits 77 (skipped) without xvfb-run, xdotool or ffmpeg (scripts/install-deps --desktop).
set -euo pipefail

morvane=$1
audio=$2
# shellcheck source=tests/app/desktop_test_helpers.sh
source "$(dirname "$0")/desktop_test_helpers.sh"

# The second half runs inside the virtual X server.
if [ "${3:-}" != --inside ]; then
    # No display can be reached here: these must not need one.
    for option in --version --help --help-all --no-such-option; do
        status=0
        text=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
            timeout 20 "$morvane" "$option" 2>&1) || status=$?
        case "$option:$status:$text" in
            --version:0:"morvane "[0-9]* | --help:0:"Usage: morvane "* | \
                --help-all:0:"Usage: morvane "*--platform*) ;;
            --no-such-option:2:"morvane: Unknown option 'no-such-option'."*) ;;
            *) fail "morvane $option ended with status $status without a display: $text" ;;
        esac
    done
    echo "--version, --help, --help-all, a wrong option: answered without a display"
    skip_without xvfb-run xdotool ffmpeg ffprobe
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$morvane" "$audio" --inside
fi

make_private_home
# Away from the window: no tooltip comes up under the pointer.
xdotool mousemove 1023 767
cp "$audio" "$work/tone.wav"
cp "$audio" "$work/second.wav"
make_long_video "$work/long.mkv"
printf 'not a film\n' >"$work/notes.txt"

# The film in the output folder decodes to its end and is shorter than the one it came from.
check_cut_short() { # output
    [ -s "$1" ] || fail "$1 was not written"
    no_partial || fail "a temporary was left: $(ls -A "$output")"
    local errors
    errors=$(ffmpeg -v error -i "$1" -f null - 2>&1) || fail "$1 does not decode: $errors"
    [ -z "$errors" ] || fail "$1 decodes with errors: $errors"
    awk -v cut="$(duration_of "$1")" -v whole="$(duration_of "$work/long.mkv")" \
        'BEGIN { exit !(cut > 0 && cut < whole) }' || fail "$1 is not shorter than the film"
}

QT_QPA_PLATFORM=xcb "$morvane" "$work/tone.wav" &
pid=$!
wait_for 60 test -s "$output/tone.mp3" || fail "tone.mp3 was not written"
echo "converted: $output/tone.mp3"
find_main_window

focus_main_window
xdotool key Escape
sleep 1 # nothing to wait for: Escape must do nothing
running || fail "Escape ended the program"
echo "Escape: still running"

# The drop area has the focus at start; Settings, Minimise and Close follow it.
xdotool key Tab Tab Tab Tab Return
close_with_escape 'Add Files to Convert'
echo "Tab four times, Return: the drop area opened the chooser; Escape closed it"
running || fail "closing the chooser ended the program"

focus_main_window
xdotool key ctrl+o
close_with_escape 'Add Files to Convert'
echo "Ctrl+O: the chooser opened; Escape closed it"

focus_main_window
xdotool key ctrl+comma
focus_window Settings
xdotool key Down Tab Down Return # the Devices page, the list of devices, the nano, OK
config=$XDG_CONFIG_HOME/morvane/config.ini
wait_for 20 grep -q '^DeviceIndex=1' "$config" || fail "the device chosen was not written"
echo "Ctrl+, Down Tab Down Return: the nano chosen, written at once"

# A second start: its file is converted by the first window, and it ends.
status=0
QT_QPA_PLATFORM=xcb timeout 30 "$morvane" "$work/second.wav" || status=$?
[ "$status" -eq 0 ] || fail "a second start with a file ended with status $status"
wait_for 60 test -s "$output/second.mp3" || fail "the first window did not convert second.mp3"
QT_QPA_PLATFORM=xcb timeout 30 "$morvane" || fail "a second start without files ended with $?"
sleep 1 # a second window would be showing by now
windows=$(xdotool search --onlyvisible --name '^Morvane$' | wc -l)
[ "$windows" -eq 1 ] || fail "$windows windows titled Morvane"
[ "$(compgen -G "$output/second*")" = "$output/second.mp3" ] ||
    fail "more than one output of second.wav: $(ls "$output")"
running || fail "the first window ended"
echo "second starts: second.wav converted once by the first window, which stays alone"

focus_main_window
xdotool key ctrl+q
wait_for 20 stopped || fail "Ctrl+Q did not end the program"
wait "$pid" || fail "the program ended with status $?"
grep -q '^OpenOutput=0' "$config" || fail "config.ini lost OpenOutput=0"
grep -q '^DeviceIndex=1' "$config" || fail "closing did not keep the device chosen"
echo "Ctrl+Q: ended, the nano still chosen in $config"

# The text file fails at once; the film is converting when the keys come.
QT_QPA_PLATFORM=xcb "$morvane" "$work/notes.txt" "$work/long.mkv" &
pid=$!
wait_for 30 partial_exists || fail "the film did not start converting"
find_main_window
focus_main_window
xdotool key Tab space
wait_for 30 no_partial || fail "Tab, Space did not stop the film"
close_with_escape 'Not converted'
check_cut_short "$output/long.mp4"
echo "Tab, Space: stopped, $output/long.mp4 complete and shorter; the failed files were shown"

focus_main_window
xdotool key space
close_with_escape 'Add Files to Convert'
echo "Space after Stop: the drop area opened the chooser (the window was not minimised)"

focus_main_window
xdotool key Tab Return
close_with_escape 'Not converted'
echo "Tab, Return: the summary's link opened the failed files again"

focus_main_window
xdotool key shift+Tab Return
close_with_escape 'Add Files to Convert'
echo "Shift+Tab, Return: back on the drop area in one press"

focus_main_window
xdotool key ctrl+q
wait_for 20 stopped || fail "Ctrl+Q did not end the program"
wait "$pid" || fail "the program ended with status $?"

rm -f "$output/long.mp4"
QT_QPA_PLATFORM=xcb "$morvane" "$work/long.mkv" &
pid=$!
wait_for 30 partial_exists || fail "the film did not start converting"
kill -TERM "$pid"
wait_for 10 stopped || fail "SIGTERM did not end the program within 10 s"
status=0
wait "$pid" || status=$?
[ "$status" -eq 143 ] || fail "SIGTERM ended the program with status $status, not 143"
check_cut_short "$output/long.mp4"
echo "SIGTERM: ended with 143, $output/long.mp4 complete and shorter, no temporary left"
