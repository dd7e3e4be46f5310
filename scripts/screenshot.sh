#!/usr/bin/env bash
# Takes the README's pictures of both tabs: starts the program on a private X server
# (800x600, openbox as window manager) with fresh settings and a sample key mapping
# file, captures the General tab, switches to the Physical Keyboard tab with Ctrl+Tab,
# captures it, finds "sh+" there (Ctrl+F), captures that, and closes the window as a user
# would. Nothing of the user's own
# settings or display is touched.
#
# Usage: [SCREENSHOT_LANG=<locale>] [SCREENSHOT_SIZE=<w>x<h>] screenshot.sh <program> <output folder>
# Writes <output folder>/screenshot-general.png, screenshot-keyboard.png and screenshot-find.png.
set -euo pipefail

program=$(realpath "${1:?program}")
out=$(realpath "${2:?output folder}")
size=${SCREENSHOT_SIZE:-800x600}

for tool in Xvfb openbox xdotool wmctrl import; do
    command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing (scripts/install-deps.sh screenshot)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup()
{
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail()
{
    echo "screenshot.sh: $*" >&2
    [ -s "$work/app.log" ] && sed 's/^/  program: /' "$work/app.log" >&2
    exit 1
}

# Runs "$@" every tenth of a second until it succeeds, for at most $1 seconds.
wait_for()
{
    local seconds=$1
    shift
    for ((i = 0; i < seconds * 10; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# The X server picks a free display itself and reports its number on fd 3.
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 10 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 10 wmctrl -m >/dev/null 2>&1 || fail "openbox did not start"

# Fresh folders: default general settings, and the sample key combinations; the last
# one has no replacement text, so that the picture shows its hint.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/tavorin" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# English texts whatever the caller's locale, unless SCREENSHOT_LANG names another one
# (SCREENSHOT_LANG=de_DE.UTF-8 for the German texts).
# (bash itself may warn that the host lacks that locale; the program does not need it)
{ export LANG=${SCREENSHOT_LANG:-C.UTF-8} LC_ALL=${SCREENSHOT_LANG:-C.UTF-8} LANGUAGE=; } 2>/dev/null
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
tab=$'\t'
cat >"$XDG_DATA_HOME/tavorin/hardware-keyboard.xml" <<EOF
<hardware-keyboard>
${tab}<key-config>
${tab}${tab}<key keycode="84" state="0"/>
${tab}${tab}<key keycode="72" state="0"/>
${tab}${tab}<replacement text="the "/>
${tab}</key-config>
${tab}<key-config>
${tab}${tab}<key keycode="81" state="8"/>
${tab}${tab}<key keycode="65" state="0"/>
${tab}${tab}<replacement text="Q&amp;A"/>
${tab}</key-config>
${tab}<key-config>
${tab}${tab}<key keycode="83" state="0"/>
${tab}${tab}<key keycode="83" state="0"/>
${tab}${tab}<key keycode="32" state="0"/>
${tab}${tab}<replacement text="ß"/>
${tab}</key-config>
${tab}<key-config>
${tab}${tab}<key keycode="4100" state="16"/>
${tab}${tab}<replacement text=""/>
${tab}</key-config>
</hardware-keyboard>
EOF

# A private session bus, where there is one, spares the warning about a missing bus.
runner=()
command -v dbus-run-session >/dev/null && runner=(dbus-run-session --)
"${runner[@]}" "$program" >"$work/app.log" 2>&1 &
app=$!
pids+=("$app")

find_window() { xdotool search --onlyvisible --name '^Tavorin Settings$' 2>/dev/null | head -n1; }
window_shown() { [ -n "$(find_window)" ]; }
wait_for 20 window_shown || fail "the window did not appear"
window=$(find_window)
xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
# Let the maximised window settle and paint.
sleep 1.5

mkdir -p "$out"
import -window "$window" "$out/screenshot-general.png"

xdotool key --clearmodifiers ctrl+Tab
sleep 1
import -window "$window" "$out/screenshot-keyboard.png"
cmp -s "$out/screenshot-general.png" "$out/screenshot-keyboard.png" \
    && fail "Ctrl+Tab did not change the tab: both pictures are the same"

# The two combinations whose keys begin with a shifted key, "2 of 4".
xdotool key --clearmodifiers ctrl+f
xdotool type --delay 60 'sh+'
sleep 1
import -window "$window" "$out/screenshot-find.png"
cmp -s "$out/screenshot-keyboard.png" "$out/screenshot-find.png" \
    && fail "typing in the find field changed nothing"

# Close as a user would; the program saves into the throw-away folders and ends.
wmctrl -i -c "$window"
app_ended() { ! kill -0 "$app" 2>/dev/null; }
wait_for 10 app_ended || fail "the program did not end after the close"
wait "$app" || fail "the program ended with status $?"
echo "Wrote $out/screenshot-general.png, screenshot-keyboard.png and screenshot-find.png ($size)"
