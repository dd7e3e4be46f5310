#!/usr/bin/env bash
# Ends other than a close: a terminating signal (sigterm, sigint, sighup), an element
# the key mapping reader does not know (unknown-element), the display connection closed
# under the program (x-connection). Nothing is saved, but the input method, switched
# off at start, is switched on again before the program ends. Signals that end nothing:
# those its parent ignored (nohup) and a Ctrl+C during the close (sigint-in-close).
#
# Usage: ending.sh sigterm|sigint|sighup|unknown-element|x-connection|nohup|sigint-in-close
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
case=${1:?which ending}
e2e_begin

# Both files are in a layout that the program never writes itself, so any save of
# either one would change its bytes.
mkdir -p "$E2E_DATA_DIR"
content='<hardware-keyboard><key-config><key keycode="81" state="0"/><replacement text="abc"/></key-config></hardware-keyboard>'
# "KEY-CONFIG" in capitals is not an element of the file.
[[ $case != unknown-element ]] || content=${content/<replacement/<KEY-CONFIG\/><replacement}
printf '%s' "$content" >"$E2E_KEYMAP"
printf '[Tavorin]\nsymbols = xyz\nfontSize = 20\ndelay = 500\n' >"$E2E_SETTINGS"
cp "$E2E_KEYMAP" "$W/keymap.before"
cp "$E2E_SETTINGS" "$W/settings.before"
before=$(e2e_snapshot_folder "$E2E_DATA_DIR")

if [[ $case == nohup ]]; then
    e2e_start_app --ignore-signal=HUP,INT
elif [[ $case == sigint-in-close ]]; then
    # The Ctrl+C comes while the key mapping file is put in place.
    e2e_start_app "LD_PRELOAD=$E2E_FAILRENAME" E2E_FAIL_RENAME_TARGET=hardware-keyboard.xml \
        E2E_RENAME_SIGINT=1 "E2E_FAIL_RENAME_LOG=$W/renames.log"
fi
if [[ -n $E2E_APP_PID ]]; then
    e2e_wait_window
    if [[ $case == nohup ]]; then
        # SigIgn is a hexadecimal mask: bit 0 stands for SIGHUP, bit 1 for SIGINT.
        grep -Eq '^SigIgn:\s+[0-9a-f]*[37bf]$' "/proc/$E2E_APP_PID/status" \
            || e2e_fail "SIGHUP and SIGINT are not both ignored"
        kill -HUP "$E2E_APP_PID"
        kill -INT "$E2E_APP_PID"
    fi
    e2e_close_window
    e2e_expect_clean_close
    e2e_expect_settings 'delay=500
fontSize=20
symbols=xyz'
    e2e_keymap_one 81 0 abc >"$W/expected.xml"
    e2e_expect_file "$E2E_KEYMAP" "$W/expected.xml"
    [[ $case == nohup || -s $W/renames.log ]] || e2e_fail "no Ctrl+C came during the close"
    exit 0
fi

e2e_start_app
case $case in
sig*)
    e2e_wait_window
    e2e_expect_bus "disable"
    signal=${case#sig}
    kill -s "${signal^^}" "$E2E_APP_PID"
    e2e_wait_exit
    e2e_expect_status $((128 + $(kill -l "${signal^^}")))
    ;;
unknown-element)
    e2e_wait_exit
    e2e_expect_status 1
    e2e_expect_log "$E2E_APP_ERR" "Unknow tag KEY-CONFIG"
    [[ -z $(xdotool search --name '^Tavorin Settings$' 2>/dev/null) ]] \
        || e2e_fail "a window is still shown"
    ;;
x-connection)
    e2e_wait_window
    e2e_expect_bus "disable"
    xkill -id "$E2E_WIN" >/dev/null
    e2e_wait_exit
    e2e_expect_status 1
    grep -q "The X11 connection broke" "$E2E_APP_ERR" || e2e_fail "ended otherwise"
    ;;
*) e2e_fail "unknown case $case" ;;
esac

e2e_expect_bus "disable enable"
e2e_expect_file "$E2E_KEYMAP" "$W/keymap.before"
e2e_expect_file "$E2E_SETTINGS" "$W/settings.before"
[[ $(e2e_snapshot_folder "$E2E_DATA_DIR") == "$before" ]] \
    || e2e_fail "the data folder changed: $(ls -A "$E2E_DATA_DIR")"
