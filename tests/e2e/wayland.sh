#!/usr/bin/env bash
# The editor as a native Wayland client (Qt's Wayland plugin) of a real compositor: sway on
# its headless backend, keys through the virtual keyboard protocol (wtype), the window
# closed and the focus read through sway's IPC (swaymsg). With no file yet, Shift+Q is
# captured and a replacement typed, all by keyboard; a second start, given the
# xdg-activation token that the compositor issued to a launcher's window, brings the editor's
# window forward; the close saves the file as under X11, with disable, reread and enable on
# the bus.
#
# Usage: wayland.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
: "${E2E_LAUNCHER:?E2E_LAUNCHER must name the launcher helper (launcher.cpp)}"
e2e_begin
for tool in sway swaymsg wtype setpriv; do
    command -v "$tool" >/dev/null || e2e_fail "$tool is missing: scripts/install-deps.sh test installs it"
done

# Nothing may fall back to the X server. The widgets draw into shared memory: no EGL
# integration, whose Mesa driver keeps memory past its unloading (make test-asan).
unset DISPLAY
export QT_QPA_PLATFORM=wayland QT_WAYLAND_CLIENT_BUFFER_INTEGRATION=none
mkdir -m 700 "$W/sway-run"
mkdir "$W/sway-home"
# Activation requests move the focus (sway's default only marks the window urgent).
printf 'xwayland disable\nfocus_on_window_activation focus\n' >"$W/sway.config"
as_compositor=()
if ((EUID == 0)); then
    # sway refuses to run as root. nobody runs it, allowed to search and read any folder,
    # since the work folder may lie where nobody cannot reach it (a build tree in /root).
    chown 65534:65534 "$W/sway-run" "$W/sway-home"
    as_compositor=(setpriv --reuid=65534 --regid=65534 --clear-groups
        --inh-caps=+dac_read_search --ambient-caps=+dac_read_search)
fi
e2e_spawn env WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 XDG_RUNTIME_DIR="$W/sway-run" \
    HOME="$W/sway-home" "${as_compositor[@]}" sway -c "$W/sway.config" >"$W/sway.log" 2>&1
compositor=$!
sway_listens()
{
    e2e_alive "$compositor" || e2e_fail "sway ended: $(tail -n 5 "$W/sway.log")"
    compgen -G "$W/sway-run/wayland-*[0-9]" >/dev/null && compgen -G "$W/sway-run/sway-ipc.*" >/dev/null
}
e2e_wait_until "sway's sockets" sway_listens
# By path: the editor keeps its own runtime folder.
export WAYLAND_DISPLAY=$(compgen -G "$W/sway-run/wayland-*[0-9]" | head -n 1)
export SWAYSOCK=$(compgen -G "$W/sway-run/sway-ipc.*" | head -n 1)
sway_ipc() { timeout "$E2E_TIMEOUT" swaymsg "$@"; }
# Keys reach a client only from a virtual keyboard that existed before it started: one is
# held open (its key would come after an hour).
e2e_spawn wtype -s 3600000 -k Shift_L
e2e_wait_until "the virtual keyboard" eval 'sway_ipc -t get_inputs | grep -q "\"type\": \"keyboard\""'

# wl_keys ARG...: real key events, wtype's arguments (-M/-m a modifier down/up, -k a key,
# text to type).
wl_keys()
{
    timeout "$E2E_TIMEOUT" wtype -d 60 "$@"
    sleep 0.15
}
# The process whose window has the seat's focus; nothing while a workspace has it.
focused_pid()
{
    local focus
    focus=$(sway_ipc -t get_seats | awk '$1 == "\"focus\":" { print $2 + 0; exit }')
    sway_ipc -t get_tree | awk -v id="$focus" '$1 == "\"id\":" { node = $2 + 0 == id }
        node && $1 == "\"pid\":" { print $2 + 0; exit }'
}
focused_is() { [[ $(focused_pid) == "$1" ]]; }

e2e_start_app WAYLAND_DEBUG=client
first=$E2E_APP_PID first_err=$E2E_APP_ERR
e2e_wait_until "the editor's window to have the focus" focused_is "$first"
sleep 0.3
# The Physical Keyboard tab, the find field, Tab on to the first combination's "Select Key"
# (after "Press Keys", "Import…" and "Export…"): Shift+Q, Tab past ">>" into the text.
wl_keys -M ctrl -k Tab -m ctrl
wl_keys -M ctrl -k f -m ctrl
wl_keys -k Tab -k Tab -k Tab -k Tab
wl_keys -M shift -k q -m shift
wl_keys -k Tab -k Tab
wl_keys 'Grüße & "Zoë" <3>'

# WHEN a launcher's window has the focus and asks the compositor for a token, and a second
# start is given it THEN that start hands it over and ends; the editor activates with it
# and has the focus again.
e2e_spawn "$E2E_LAUNCHER" >"$W/token" 2>"$W/launcher.err"
launcher=$!
launcher_token()
{
    e2e_alive "$launcher" || e2e_fail "the launcher ended: $(cat "$W/launcher.err")"
    e2e_has_line "$W/token"
}
e2e_wait_until "the launcher's token" launcher_token
token=$(head -n 1 "$W/token")
focused_is "$launcher" || e2e_fail "the launcher's window does not have the focus"
e2e_start_app XDG_ACTIVATION_TOKEN="$token"
e2e_wait_exit
e2e_expect_status 0
E2E_APP_PID=$first
e2e_wait_until "the editor's window to come forward" focused_is "$first"
grep -Eq "xdg_activation_v1[@#][0-9]+\.activate\(\"$token\", wl_surface[@#]" "$first_err" \
    || e2e_fail "the editor did not activate with the token $token"

sway_ipc -q "[pid=$first] kill"
e2e_wait_exit
e2e_expect_status 0
e2e_expect_bus "disable reread enable"
e2e_keymap_one 81 8 $'Gr\xc3\xbc\xc3\x9fe &amp; &quot;Zo\xc3\xab&quot; &lt;3>' >"$W/expected.xml"
e2e_expect_file "$E2E_KEYMAP" "$W/expected.xml"
e2e_expect_changed_before_reread "$E2E_KEYMAP"
