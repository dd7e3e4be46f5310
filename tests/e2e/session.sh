#!/usr/bin/env bash
# The editor in the user's session: its messages to the input method, the name it holds
# on the session bus and the one editor that runs at a time.
#
#   first-start   an empty settings store: the window opens, is closed untouched, and
#                 the input method hears disable, reread and enable in that order while
#                 the three settings land in Tavorin.conf with their defaults (before
#                 reread). While it runs the program owns the name and exports the
#                 interface that platform/org.tavorin.QCop.xml describes, and the
#                 signals it sends are exactly the ones listed there.
#   second-start  a second start while the (minimised) editor is open brings that one
#                 forward and ends with status 0 without a word to the input method;
#                 what was edited in the one window is what both files hold after it
#                 is closed
#   unanswered    a second start while the running editor cannot answer (stopped) says
#                 so in one line and ends with status 1, opening nothing; kill -9 of the
#                 editor then frees the name
#
# Usage: session.sh first-start|second-start|unanswered
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
case=${1:?which case}
e2e_begin

INTERFACES=$(dirname "${BASH_SOURCE[0]}")/../../platform/org.tavorin.QCop.xml
NAME=org.tavorin.Settings

# bus_call DESTINATION PATH INTERFACE.METHOD [ARG...]: the reply, as dbus-send prints it.
bus_call()
{
    timeout 10 dbus-send --bus="$DBUS_SESSION_BUS_ADDRESS" --print-reply=literal --dest="$1" \
        "${@:2}"
}

# The process that owns NAME on the bus; fails while nobody does.
name_owner_pid()
{
    bus_call org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID "string:$NAME" 2>/dev/null \
        | awk '{ print $2 }'
}

name_vanished() { [[ -z $(name_owner_pid) ]]; }

# The XPath expression's match in an XML file, canonical (attributes sorted, no blanks),
# without the type hints Qt adds for its own tools, which are not part of an interface.
xml_part()
{
    sed '/<annotation name="org\.qtproject\./d' "$1" | xmllint --nonet --xpath "$2" - \
        | xmllint --nonet --c14n --noblanks -
}

# Where the signals and the exported interface sit, as the introspection file says.
xml_node_path()
{
    echo "/$(xmllint --nonet --xpath "string(/node/node[interface/@name='$1']/@name)" "$INTERFACES")"
}

case $case in
first-start)
    command -v xmllint >/dev/null || e2e_fail "xmllint is missing: scripts/install-deps.sh installs it"
    e2e_start_app
    e2e_wait_window

    # The input method is off for as long as the window is open.
    e2e_expect_bus "disable"
    [[ ! -e $E2E_SETTINGS ]] || e2e_fail "the settings were written before the close"

    # The name is the program's, and what it exports there is what the file describes.
    grep -q "Bus name: $NAME\$" "$INTERFACES" || e2e_fail "the file does not name $NAME"
    [[ $(name_owner_pid) == "$E2E_APP_PID" ]] || e2e_fail "$NAME is not owned by the program"
    app_interface="//interface[@name='org.freedesktop.Application']"
    bus_call "$NAME" "$(xml_node_path org.freedesktop.Application)" \
        org.freedesktop.DBus.Introspectable.Introspect >"$W/introspection.xml"
    [[ $(xml_part "$W/introspection.xml" "$app_interface") == \
        "$(xml_part "$INTERFACES" "$app_interface")" ]] \
        || e2e_fail "the program's org.freedesktop.Application differs from the file's"

    e2e_close_window
    e2e_expect_clean_close
    e2e_expect_settings 'delay=1000
fontSize=12
symbols=\\'
    e2e_expect_changed_before_reread "$E2E_SETTINGS"
    # The monitor logs only E2E_CHANNEL_PATH and E2E_CHANNEL_INTERFACE: the file's.
    [[ $(xml_node_path org.tavorin.QCop) == "$E2E_CHANNEL_PATH" ]] \
        || e2e_fail "the file puts the signals elsewhere than $E2E_CHANNEL_PATH"
    listed=$(xmllint --nonet --xpath "//interface[@name='$E2E_CHANNEL_INTERFACE']/signal/@name" \
        "$INTERFACES" | grep -o '"[^"]*"' | tr -d '"' | paste -sd ' ')
    [[ $listed == "$(e2e_bus_messages)" ]] \
        || e2e_fail "the file lists the signals '$listed', the program sent '$(e2e_bus_messages)'"
    ;;
second-start)
    # Positions in the maximised window, as measured for editing.sh.
    SYMBOLS_EDIT=(560 42)
    TAB_KEYBOARD=(138 12)
    FIRST_REPLACEMENT=(556 86)
    mkdir -p "$E2E_DATA_DIR"
    printf '<hardware-keyboard><key-config><key keycode="81" state="0"/><replacement text="abc"/></key-config></hardware-keyboard>' \
        >"$E2E_KEYMAP"
    printf '[Tavorin]\nsymbols=xyz\n' >"$E2E_SETTINGS"

    e2e_start_app
    e2e_wait_window
    first=$E2E_APP_PID first_win=$E2E_WIN
    xdotool windowminimize --sync "$E2E_WIN"

    e2e_start_app
    e2e_wait_exit
    e2e_expect_status 0
    [[ ! -s $E2E_APP_ERR ]] || e2e_fail "the second start complained: $(cat "$E2E_APP_ERR")"
    e2e_expect_bus "disable"
    # The first window is back, maximised and active, and it is the only one.
    E2E_APP_PID=$first
    e2e_wait_window
    [[ $E2E_WIN == "$first_win" ]] || e2e_fail "another window than the first one is shown"
    (($(xdotool search --name '^Tavorin Settings$' | wc -l) == 1)) || e2e_fail "two windows"

    e2e_click "${SYMBOLS_EDIT[@]}"
    e2e_key End
    e2e_type Q
    e2e_click "${TAB_KEYBOARD[@]}"
    e2e_click "${FIRST_REPLACEMENT[@]}"
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
