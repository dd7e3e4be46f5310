#!/usr/bin/env bash
# The Physical Keyboard tab as a user works with it: combinations built with clicks
# and key presses, saved at the close in the program's layout, loaded again at the
# next start; files that hold no combination or that cannot be read to their end.
#
#   first-start  no file yet: edit, close, check file, settings and bus; start again
#                and close at once: both files stay byte for byte the same
#   root-only    a file with only the root element: no combination is shown
#   cut-short    a file cut off in the middle: what was read is kept, the original
#                is kept beside it as hardware-keyboard.xml.bak
#   not-utf8     a file with bytes that are not UTF-8: the same as cut-short
#
# Usage: editing.sh first-start|root-only|cut-short|not-utf8
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
case=${1:?which case}
e2e_begin

# Click positions in the window's client area, measured on screenshots of the
# maximised window (1024x768 screen, openbox's default theme, Fusion style, DejaVu
# Sans at 96 dpi). A capture button row shares its width among its buttons, so the
# positions of "Select Key" and ">>" depend on how many buttons the row holds.
TAB_GENERAL=(36 12)
TAB_KEYBOARD=(138 12)
SYMBOLS_EDIT=(560 42)
FONT_SIZE_BOX=(190 71)
DELAY_BOX=(700 111)
FIRST_SELECT_KEY_ALONE=(511 58) # the only capture button of the first combination
FIRST_ADD_KEY_ALONE=(845 58)    # its ">>" while the row holds one capture button
FIRST_SECOND_KEY=(637 58)       # the second capture button, once the row holds two
FIRST_REPLACEMENT=(556 86)
SECOND_SELECT_KEY_ALONE=(511 157)
SECOND_REPLACEMENT=(556 185)
SECOND_DELETE=(968 213)
ADD_COMBINATION=(511 729)
FIRST_COMBINATION_AREA=994x95+15+36 # separator, key row, replacement row, "delete"

# The number of colours in the area of the first combination: 1 when it is empty.
first_combination_colours()
{
    import -window "$E2E_WIN" "$W/window.png"
    convert "$W/window.png" -crop "$FIRST_COMBINATION_AREA" -format '%k' info:
}

start_on_keyboard_tab()
{
    e2e_start_app
    e2e_wait_window
    e2e_click "${TAB_KEYBOARD[@]}"
}

close_and_expect_clean_end()
{
    e2e_close_window
    e2e_wait_exit
    e2e_expect_status 0
    e2e_expect_bus "disable reread enable"
}

bak=$E2E_KEYMAP.bak
case $case in
first-start)
    start_on_keyboard_tab
    # GIVEN no file: one empty combination. Capture Shift+Q, add a second key and
    # capture W, type a replacement that needs escaping and is not ASCII.
    e2e_click "${FIRST_SELECT_KEY_ALONE[@]}"
    e2e_key shift+q
    e2e_click "${FIRST_ADD_KEY_ALONE[@]}"
    e2e_click "${FIRST_SECOND_KEY[@]}"
    e2e_key w
    e2e_click "${FIRST_REPLACEMENT[@]}"
    e2e_type 'Grüße & "Zoë" <3>'
    # A complete second combination, deleted again: it must not reach the file.
    e2e_click "${ADD_COMBINATION[@]}"
    e2e_click "${SECOND_SELECT_KEY_ALONE[@]}"
    e2e_key e
    e2e_click "${SECOND_REPLACEMENT[@]}"
    e2e_type 'gone'
    e2e_click "${SECOND_DELETE[@]}"
    # The general settings, through the keyboard: 12 -> 14, 1000 -> 1100.
    e2e_click "${TAB_GENERAL[@]}"
    e2e_click "${SYMBOLS_EDIT[@]}"
    e2e_key ctrl+a
    e2e_type 'qwerty.'
    e2e_click "${FONT_SIZE_BOX[@]}"
    e2e_key Up Up
    e2e_click "${DELAY_BOX[@]}"
    e2e_key Up
    close_and_expect_clean_end

    printf '<hardware-keyboard>\n\t<key-config>\n%s\n%s\n%s\n\t</key-config>\n</hardware-keyboard>' \
        $'\t\t<key keycode="81" state="8"/>' $'\t\t<key keycode="87" state="0"/>' \
        $'\t\t<replacement text="Gr\xc3\xbc\xc3\x9fe &amp; &quot;Zo\xc3\xab&quot; &lt;3>"/>' \
        >"$W/expected.xml"
    e2e_expect_file "$E2E_KEYMAP" "$W/expected.xml"
    e2e_expect_changed_before_reread "$E2E_KEYMAP"
    e2e_expect_settings 'delay=1100
fontSize=14
symbols=qwerty.'
    [[ ! -e $bak ]] || e2e_fail "a backup was made of a file that did not exist"
    cp "$E2E_SETTINGS" "$W/settings.first"

    # WHEN started again on that file and closed at once THEN nothing changes.
    start_on_keyboard_tab
    e2e_close_window
    e2e_wait_exit
    e2e_expect_status 0
    e2e_expect_bus "disable reread enable disable reread enable"
    e2e_expect_file "$E2E_KEYMAP" "$W/expected.xml"
    e2e_expect_file "$E2E_SETTINGS" "$W/settings.first"
    [[ ! -e $bak ]] || e2e_fail "a backup was made of a file that was read whole"
    ;;
root-only)
    mkdir -p "$E2E_DATA_DIR"
    printf '<hardware-keyboard></hardware-keyboard>' >"$E2E_KEYMAP"
    start_on_keyboard_tab
    colours=$(first_combination_colours)
    ((colours == 1)) || e2e_fail "a combination is shown ($colours colours where none should be)"
    # An empty combination added by the user shows there, and is not saved.
    e2e_click "${ADD_COMBINATION[@]}"
    colours=$(first_combination_colours)
    ((colours > 1)) || e2e_fail "the added combination is not shown"
    close_and_expect_clean_end
    printf '<hardware-keyboard>\n</hardware-keyboard>' >"$W/expected.xml"
    e2e_expect_file "$E2E_KEYMAP" "$W/expected.xml"
    [[ ! -e $bak ]] || e2e_fail "a backup was made of a file that was read whole"
    ;;
cut-short | not-utf8)
    mkdir -p "$E2E_DATA_DIR"
    first=$'\t<key-config>\n\t\t<key keycode="81" state="0"/>\n\t\t<replacement text="one"/>\n\t</key-config>\n'
    if [[ $case == cut-short ]]; then
        printf '<hardware-keyboard>\n%s\t<key-config>\n\t\t<key keycode="87" sta' "$first"
    else
        printf '<hardware-keyboard>\n%s\t<key-config>\n\t\t<key keycode="87" state="0"/>\n%s' \
            "$first" $'\t\t<replacement text="t\xff\xfe"/>\n\t</key-config>\n</hardware-keyboard>'
    fi >"$E2E_KEYMAP"
    cp "$E2E_KEYMAP" "$W/original.xml"
    printf '<hardware-keyboard>\n%s</hardware-keyboard>' "$first" >"$W/expected.xml"

    start_on_keyboard_tab
    close_and_expect_clean_end
    e2e_expect_file "$E2E_KEYMAP" "$W/expected.xml"
    e2e_expect_file "$bak" "$W/original.xml"
    grep -q 'hardware-keyboard\.xml' "$E2E_APP_ERR" || e2e_fail "no warning about the file"

    # The rewritten file is read whole: the next close makes no new backup.
    start_on_keyboard_tab
    e2e_close_window
    e2e_wait_exit
    e2e_expect_status 0
    e2e_expect_file "$E2E_KEYMAP" "$W/expected.xml"
    e2e_expect_file "$bak" "$W/original.xml"
    ;;
*) e2e_fail "unknown case $case" ;;
esac
