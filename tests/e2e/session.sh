#!/usr/bin/env bash
# The editor in the user's session: its messages, its bus name, one editor at a time.
#
#   first-start   an empty store: the window is closed untouched; the input method hears
#                 disable, reread, enable, and the defaults are in Tavorin.conf before
#                 reread. The name, the exported interface and the signals are what
#                 platform/org.tavorin.QCop.xml says.
#   second-start  a second start brings the open (minimised) editor forward and ends
#                 with status 0, silent on the bus; the editor takes over the launcher's
#                 startup id and ends that launch; the files hold that window's edits
#   unanswered    a second start while the editor cannot answer (stopped) says so in one
#                 line, ends with status 1, opens nothing; kill -9 then frees the name
#
# Usage: session.sh first-start|second-start|unanswered
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
case=${1:?which case}
e2e_begin

XML=$(dirname "${BASH_SOURCE[0]}")/../../platform/org.tavorin.QCop.xml
NAME=org.tavorin.Settings

bus_call() { timeout 10 dbus-send --print-reply=literal --dest="$@"; }

# The process that owns NAME on the bus; empty while nobody does.
name_owner_pid()
{
    bus_call org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID "string:$NAME" 2>/dev/null | awk '{ print $2 }'
}

name_vanished() { [[ -z $(name_owner_pid) ]]; }

# FILE's match of XPATH, canonical, without the type hints Qt adds for its own tools.
xml_part()
{
    sed '/<annotation name="org\.qtproject\./d' "$1" | xmllint --nonet --xpath "$2" - \
        | xmllint --nonet --c14n --noblanks -
}

# The object path of the file's node that has interface $1.
xml_path() { echo "/$(xmllint --xpath "string(/node/node[interface/@name='$1']/@name)" "$XML")"; }

case $case in
first-start)
    e2e_start_app
    e2e_wait_window
    # The input method is off for as long as the window is open.
    e2e_expect_bus "disable"
    [[ ! -e $E2E_SETTINGS ]] || e2e_fail "the settings were written before the close"

    grep -q "Bus name: $NAME\$" "$XML" || e2e_fail "the file does not name $NAME"
    [[ $(name_owner_pid) == "$E2E_APP_PID" ]] || e2e_fail "$NAME is not owned by the program"
    app=org.freedesktop.Application
    bus_call "$NAME" "$(xml_path $app)" org.freedesktop.DBus.Introspectable.Introspect >"$W/live.xml"
    [[ $(xml_part "$W/live.xml" "//interface[@name='$app']") == \
        "$(xml_part "$XML" "//interface[@name='$app']")" ]] || e2e_fail "$app differs from the file's"

    e2e_close_window
    e2e_expect_clean_close
    e2e_expect_settings 'delay=1000
fontSize=12
symbols=\\'
    e2e_expect_changed_before_reread "$E2E_SETTINGS"
    # The monitor logs the program's signals at E2E_CHANNEL_PATH with E2E_CHANNEL_INTERFACE.
    [[ $(xml_path "$E2E_CHANNEL_INTERFACE") == "$E2E_CHANNEL_PATH" ]] || e2e_fail "signal path"
    listed=$(xmllint --xpath "//interface[@name='$E2E_CHANNEL_INTERFACE']/signal/@name" "$XML" \
        | grep -o '"[^"]*"' | tr -d '"' | paste -sd ' ')
    [[ $listed == "$(e2e_bus_messages)" ]] || e2e_fail "the file lists the signals '$listed'"
    ;;
second-start)
    mkdir -p "$E2E_DATA_DIR"
    printf '<hardware-keyboard><key-config><key keycode="81" state="0"/><replacement text="abc"/></key-config></hardware-keyboard>' \
        >"$E2E_KEYMAP"
    printf '[Tavorin]\nsymbols=xyz\n' >"$E2E_SETTINGS"
    e2e_start_app
    e2e_wait_window
    first=$E2E_APP_PID first_win=$E2E_WIN
    xdotool windowminimize --sync "$E2E_WIN"
    # The startup notification messages on the screen, once xev is seen to listen.
    e2e_spawn xev -root -event property >"$W/xev.log" 2>&1
    e2e_wait_until "xev to listen" eval \
        'xprop -root -f _E2E_SYNC 8s -set _E2E_SYNC 1; sleep 0.1; grep -q _E2E_SYNC "$W/xev.log"'

    e2e_start_app DESKTOP_STARTUP_ID=e2e-launch_TIME1
    e2e_wait_exit
    e2e_expect_status 0
    [[ ! -s $E2E_APP_ERR ]] || e2e_fail "the second start said: $(cat "$E2E_APP_ERR")"
    e2e_expect_bus "disable"
    # The first window is back, maximised and active, and it is the only one.
    E2E_APP_PID=$first
    e2e_wait_window
    [[ $E2E_WIN == "$first_win" && $(xdotool search --name '^Tavorin Settings$' | wc -l) == 1 ]] \
        || e2e_fail "not the first window alone"
    [[ $(xprop -id "$E2E_WIN" _NET_STARTUP_ID) == *' = "e2e-launch_TIME1"' ]] \
        || e2e_fail "the window does not answer the launch: $(xprop -id "$E2E_WIN" _NET_STARTUP_ID)"
    e2e_wait_until "the launch to end" grep -q _NET_STARTUP_INFO_BEGIN "$W/xev.log"

    # The symbols field (the General tab's only one), the Physical Keyboard tab and its
    # replacement field.
    e2e_click_on "$E2E_FIELD" "*"
    e2e_key End
    e2e_type Q
    e2e_click_on "page tab" "Physical Keyboard"
    e2e_click_on "$E2E_FIELD" "Replacement:"
    e2e_key End
    e2e_type d
    e2e_close_window
    e2e_expect_clean_close
    e2e_expect_settings 'delay=1000
fontSize=12
symbols=xyzQ'
    e2e_keymap_one 81 0 abcd >"$W/expected.xml"
    e2e_expect_file "$E2E_KEYMAP" "$W/expected.xml"
    ;;
unanswered)
    e2e_start_app
    e2e_wait_window
    first=$E2E_APP_PID
    kill -STOP "$first"
    e2e_start_app
    e2e_wait_exit
    e2e_expect_status 1
    e2e_expect_log "$E2E_APP_ERR" "Tavorin Settings is already running but does not answer; not opening a second editor"
    (($(wc -l <"$E2E_APP_ERR") == 1)) || e2e_fail "more than one line: $(cat "$E2E_APP_ERR")"
    (($(xdotool search --name '^Tavorin Settings$' | wc -l) == 1)) || e2e_fail "two windows"
    e2e_expect_bus "disable"

    # However the editor ends, its name goes with it.
    [[ $(name_owner_pid) == "$first" ]] || e2e_fail "$NAME is not owned by the editor"
    E2E_APP_PID=$first
    kill -KILL "$first"
    e2e_wait_exit
    e2e_wait_until "$NAME to vanish from the bus" name_vanished
    ;;
*) e2e_fail "unknown case $case" ;;
esac
