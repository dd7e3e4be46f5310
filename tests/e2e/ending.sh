#!/usr/bin/env bash
# Ends other than the close button. An orderly request to end is a close, which saves the
# edits: SIGTERM (sigterm), SIGHUP (sighup), SIGTERM while a menu of the editor runs its own
# event loop (sigterm-in-menu), and the session manager's logout (logout: xsm, a real X
# session manager, shut down by SIGTERM). The other ends save nothing, but the input method,
# switched off at start, is switched on again before the program ends: Ctrl+C (sigint), an
# element the key mapping reader does not know (unknown-element), the display connection
# closed under the program (x-connection). Signals that end nothing: those its parent
# ignored (nohup) and a Ctrl+C during the close (sigint-in-close).
#
# Usage: ending.sh sigterm|sighup|sigterm-in-menu|logout|sigint|unknown-element|x-connection|nohup|sigint-in-close
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

if [[ $case == logout ]]; then
    command -v xsm >/dev/null && command -v iceauth >/dev/null \
        || e2e_fail "xsm or iceauth is missing: scripts/install-deps.sh test installs them"
    # xsm starts what ~/.xsmstartup lists, with the session's address in SESSION_MANAGER.
    echo "sh -c 'echo \"\$SESSION_MANAGER\" >$W/sm.address'" >"$HOME/.xsmstartup"
    e2e_spawn env SM_SAVE_DIR="$W" xsm >"$W/xsm.log" 2>&1
    xsm_pid=$!
    e2e_wait_until "the session manager's address" e2e_has_line "$W/sm.address"
    e2e_start_app "SESSION_MANAGER=$(cat "$W/sm.address")"
elif [[ $case == sigterm || $case == sighup || $case == sigterm-in-menu ]]; then
    e2e_start_app
elif [[ $case == nohup ]]; then
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
    if [[ $case == nohup || $case == sigint-in-close ]]; then
        e2e_close_window
        symbols=xyz text=abc
    else
        # The symbols field (the General tab's only one), the Physical Keyboard tab and its
        # replacement field.
        e2e_click_on "$E2E_FIELD" "*"
        e2e_key End
        e2e_type Q
        e2e_click_on "page tab" "Physical Keyboard"
        e2e_click_on "$E2E_FIELD" "Replacement:"
        e2e_key End
        e2e_type d
        symbols=xyzQ text=abcd
        if [[ $case == sigterm-in-menu ]]; then
            # The font size field's context menu, on the General tab.
            e2e_click_on "page tab" General
            e2e_point_at "spin button" "*" 1
            xdotool click 3
            e2e_wait_until "the context menu" eval \
                '(($(xdotool search --onlyvisible --pid "$E2E_APP_PID" | wc -l) > 1))'
        fi
        if [[ $case == logout ]]; then
            kill -TERM "$xsm_pid"
        else
            signal=${case%-in-menu}
            kill -s "${signal^^}" "$E2E_APP_PID"
        fi
    fi
    e2e_expect_clean_close
    e2e_expect_settings "delay=500
fontSize=20
symbols=$symbols"
    e2e_keymap_one 81 0 $text >"$W/expected.xml"
    e2e_expect_file "$E2E_KEYMAP" "$W/expected.xml"
    [[ $case != sigint-in-close || -s $W/renames.log ]] || e2e_fail "no Ctrl+C came during the close"
    # Closed, the editor is not part of the saved session: no start at the next login.
    [[ $case != logout || -s $W/.XSM-Default ]] || e2e_fail "xsm saved no session"
    ! grep -qs tavorin-settings "$W/.XSM-Default" || e2e_fail "the next session would start the editor"
    exit 0
fi

e2e_start_app
case $case in
sigint)
    e2e_wait_window
    e2e_expect_bus "disable"
    kill -INT "$E2E_APP_PID"
    e2e_wait_exit
    e2e_expect_status 130
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
