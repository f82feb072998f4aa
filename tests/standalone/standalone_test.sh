#!/bin/sh
# Starts the Standalone application on the current X display (1920 x 1080) with a fresh home folder and a chosen
# audio setup, then checks that its window appears with the editor, that it reports a missing
# audio device exactly when there is none, and that SIGTERM ends it cleanly with its state saved.
# usage: standalone_test.sh APPLICATION XWININFO no-device|null-device
#   no-device    an ALSA configuration without any device, and no JACK server
#   null-device  an ALSA configuration whose only device is ALSA's null device
set -u
app=$1 xwininfo=$2 setup=$3

work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    echo "--- application's stderr:"
    cat "$work/stderr"
    exit 1
}

[ -n "${DISPLAY:-}" ] || fail "no X display (run the tests under xvfb-run)"
"$xwininfo" -root | grep -q 'geometry 1920x1080+0+0' || fail "the display is not 1920x1080 (run under xvfb-run -s \"-screen 0 1920x1080x24\")"

mkdir "$work/home"
case "$setup" in
    no-device) : > "$work/asound.conf" ;;
    null-device) printf 'pcm.!default {\n    type null\n    hint.description "Null output"\n}\n' > "$work/asound.conf" ;;
    *) fail "unknown setup $setup" ;;
esac
HOME=$work/home ALSA_CONFIG_PATH=$work/asound.conf JACK_NO_START_SERVER=1 JACK_DEFAULT_SERVER=ostrel-test-absent \
    "$app" > "$work/stdout" 2> "$work/stderr" &
pid=$!

# The top-level window carries the application's name as its title.
window=
tries=0
while [ -z "$window" ]; do
    kill -0 "$pid" 2>/dev/null || fail "the application ended before showing its window"
    [ "$tries" -lt 150 ] || fail "no window within 30 s"
    window=$("$xwininfo" -root -children 2>/dev/null | awk '/"Ostrel/ { print $1; exit }')
    tries=$((tries + 1))
    sleep 0.2
done

"$xwininfo" -id "$window" > "$work/window"
cat "$work/window"
grep -q 'Map State: IsViewable' "$work/window" || fail "the window is not shown"
width=$(awk '/^ *Width:/ { print $2 }' "$work/window")
height=$(awk '/^ *Height:/ { print $2 }' "$work/window")

# On the test display the editor opens at 1215 x 810; the window adds its title bar, borders and
# the framework's muted-input notice, well under 100 pixels.
decoration() { # decoration WINDOW_SIZE EDITOR_SIZE: true when the difference is a window's frame
    [ $(($1 - $2)) -ge 0 ] && [ $(($1 - $2)) -lt 100 ]
}
decoration "$width" 1215 && decoration "$height" 810 || fail "the window is ${width}x${height}: the editor (1215x810) is not in it"

if [ "$setup" = no-device ]; then
    grep -q '"Ostrel (no audio device)"' "$work/window" || fail "the window title does not say that there is no audio device"
    grep -q 'No audio device could be opened' "$work/stderr" || fail "nothing on stderr says that there is no audio device"
else
    grep -q '"Ostrel"' "$work/window" || fail "the window title reports a problem although a device is open"
    grep -q 'No audio device could be opened' "$work/stderr" && fail "stderr reports no audio device although one is open"
fi

kill -TERM "$pid"
wait "$pid"
status=$?
pid=
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"

grep -q 'filterState' "$work/home/.config/Ostrel.settings" 2>/dev/null || fail "the plug-in state was not saved on quitting"
echo "PASS ($setup): window ${width}x${height}, clean exit on SIGTERM"
