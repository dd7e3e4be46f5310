#!/usr/bin/env bash
# Ends other than a close: a terminating signal (sigterm, sigint, sighup) or an element
# the key mapping reader does not know (unknown-element). Nothing is saved, but the
# input method, switched off at start, is switched on again before the program ends.
#
# Usage: ending.sh sigterm|sigint|sighup|unknown-element
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

e2e_start_app
case $case in
sig*)
    e2e_wait_window
    e2e_expect_bus "disable"
    signal=${case#sig}
    kill -s "${signal^^}" "$E2E_APP_PID"
    e2e_wait_exit
    ;;
unknown-element)
    e2e_wait_exit
    e2e_expect_status 1
    e2e_expect_log "$E2E_APP_ERR" "Unknow tag KEY-CONFIG"
    [[ -z $(xdotool search --name '^Tavorin Settings$' 2>/dev/null) ]] \
        || e2e_fail "a window is still shown"
    ;;
*) e2e_fail "unknown case $case" ;;
esac

e2e_expect_bus "disable enable"
e2e_expect_file "$E2E_KEYMAP" "$W/keymap.before"
e2e_expect_file "$E2E_SETTINGS" "$W/settings.before"
[[ $(e2e_snapshot_folder "$E2E_DATA_DIR") == "$before" ]] \
    || e2e_fail "the data folder changed: $(ls -A "$E2E_DATA_DIR")"
