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
#   undo, undo-de  deletes undone by Ctrl+Z (focus on "Undo", then in a replacement
#                field) and by "Undo"; Ctrl+Z in a capture button is a key; a duplicate
#                key shows its hint; a close while the undo bar is shown (in English,
#                then in German, whose click positions are the same)
#   share, share-de  a set brought in and handed on: a file named on the command line, one
#                handed over by a second start, one chosen in "Import…"; "Export…"
#                writes what the close then saves, and nothing is saved before the close
#   find, find-de  the find row: a text typed after Ctrl+F, Escape, key labels, keys
#                pressed after "Press Keys" (twice), "Add Key Combination" while
#                filtered; Ctrl+F in a capture button is a key; a close while filtered
#                saves every combination
#
# Usage: editing.sh first-start|root-only|cut-short|not-utf8|undo|undo-de|find|find-de|share|share-de
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
FIRST_SELECT_KEY_ALONE=(511 86) # the only capture button of the first combination
FIRST_ADD_KEY_ALONE=(845 86)    # its ">>" while the row holds one capture button
FIRST_SECOND_KEY=(637 86)       # the second capture button, once the row holds two
FIRST_REPLACEMENT=(556 114)
SECOND_SELECT_KEY_ALONE=(511 185)
SECOND_REPLACEMENT=(556 213)
SECOND_DELETE=(968 241)
ADD_COMBINATION=(511 729)
FIRST_COMBINATION_AREA=994x95+15+64 # separator, key row, replacement row, "delete"
SECOND_COMBINATION_AREA=994x95+15+163
FIRST_DELETE=(968 142)
THIRD_DELETE_BELOW_HINTS=(968 380) # once the first and the third show a hint
UNDO_BAR_SHIFT=36                  # the undo bar moves everything below it down
UNDO_BUTTON=(968 77)
FIRST_HINT_AREA=300x14+15+132 # below the first replacement row, while it shows a hint
IMPORT_BUTTON=(889 42)
EXPORT_BUTTON=(975 42)
TOP_OF_PAGE_AREA=994x24+15+64
FIND_EDIT=(300 42)
PRESS_KEYS=(790 42) # inside the button in both languages
THIRD_COMBINATION_AREA=994x95+15+262
FOURTH_COMBINATION_AREA=994x95+15+361
FIND_COUNT_AREA=28x14+724+36    # "%1 of %2", clear of the find field's frame
FIND_COUNT_AREA_DE=40x14+667+36 # "%1 von %2"

# What an area of the window shows: FORMAT %k the number of colours (1 when the area
# is empty), %# a signature of its pixels.
area_info() # AREA FORMAT
{
    import -window "$E2E_WIN" "$W/window.png"
    convert "$W/window.png" -crop "$1" -format "$2" info:
}

first_combination_colours() { area_info "$FIRST_COMBINATION_AREA" '%k'; }
# A busy machine may lay a new combination out later than the next click comes.
second_combination_drawn() { (($(area_info "$SECOND_COMBINATION_AREA" '%k') > 1)); }

# The undo bar shows at the top of the page.
expect_undo_bar() # shown|gone
{
    local top
    top=$(area_info "$TOP_OF_PAGE_AREA" '%#')
    [[ $1 == shown && $top != "$top_without_bar" || $1 == gone && $top == "$top_without_bar" ]] \
        || e2e_fail "undo bar: expected $1"
}

start_on_keyboard_tab()
{
    e2e_start_app "$@"
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

dialog_shown() { xdotool search --onlyvisible --name "^$1\$" >/dev/null; }

# In Qt's own file dialog (the program asks for it), the file name field has the focus.
choose_file_in_dialog() # TITLE PATH
{
    e2e_wait_until "the dialog \"$1\"" dialog_shown "$1"
    sleep 0.3
    e2e_type "$2"
    e2e_key Return
    e2e_wait_until "the dialog \"$1\" to close" eval "! dialog_shown '$1'"
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
    e2e_wait_until "the added combination to be drawn" second_combination_drawn
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
undo | undo-de)
    mkdir -p "$E2E_DATA_DIR"
    one=$'\t<key-config>\n\t\t<key keycode="81" state="0"/>\n\t\t<replacement text="one"/>\n\t</key-config>\n'
    # An unlabelled key first: it must come back with the combination.
    two=$'\t<key-config>\n\t\t<key keycode="91" state="8"/>\n\t\t<key keycode="87" state="0"/>\n\t\t<replacement text="two &amp; &lt;2>"/>\n\t</key-config>\n'
    three=$'\t<key-config>\n\t\t<key keycode="69" state="0"/>\n\t\t<replacement text="three"/>\n\t</key-config>\n'
    printf '<hardware-keyboard>\n%s%s%s</hardware-keyboard>' "$one" "$two" "$three" >"$E2E_KEYMAP"
    language=()
    [[ $case == undo-de ]] && language=(LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8)
    start_on_keyboard_tab "${language[@]}"
    top_without_bar=$(area_info "$TOP_OF_PAGE_AREA" '%#')

    # GIVEN three combinations WHEN the second is deleted THEN Ctrl+Z brings it back, with
    # the focus on "Undo" and then with the focus in a replacement field.
    e2e_click "${SECOND_DELETE[@]}"
    expect_undo_bar shown
    e2e_key ctrl+z
    expect_undo_bar gone
    e2e_click "${SECOND_DELETE[@]}"
    e2e_click "${FIRST_REPLACEMENT[0]}" $((FIRST_REPLACEMENT[1] + UNDO_BAR_SHIFT))
    e2e_key ctrl+z
    expect_undo_bar gone
    # WHEN the first is deleted THEN Ctrl+Z in a capture button (the third's, now second)
    # is a key, and the bar still offers the first back.
    e2e_click "${FIRST_DELETE[@]}"
    e2e_click "${SECOND_SELECT_KEY_ALONE[0]}" $((SECOND_SELECT_KEY_ALONE[1] + UNDO_BAR_SHIFT))
    e2e_key ctrl+z
    expect_undo_bar shown
    e2e_click "${UNDO_BUTTON[@]}"
    expect_undo_bar gone
    # WHEN the first gets the same key as the third THEN it says so below its text.
    colours=$(area_info "$FIRST_HINT_AREA" '%k')
    ((colours == 1)) || e2e_fail "a hint is shown before any key is shared ($colours colours)"
    e2e_click "${FIRST_SELECT_KEY_ALONE[@]}"
    e2e_key ctrl+z
    colours=$(area_info "$FIRST_HINT_AREA" '%k')
    ((colours > 1)) || e2e_fail "no hint on a combination with the same keys as another"
    # WHEN the third is deleted and the window closed while the bar offers it back THEN
    # it is not saved; the second came back whole, its unlabelled key included.
    e2e_click "${THIRD_DELETE_BELOW_HINTS[@]}"
    close_and_expect_clean_end
    one_ctrl_z=$'\t<key-config>\n\t\t<key keycode="90" state="16"/>\n\t\t<replacement text="one"/>\n\t</key-config>\n'
    printf '<hardware-keyboard>\n%s%s</hardware-keyboard>' "$one_ctrl_z" "$two" >"$W/expected.xml"
    e2e_expect_file "$E2E_KEYMAP" "$W/expected.xml"
    ;;
share | share-de)
    mkdir -p "$E2E_DATA_DIR" "$W/in"
    own=$'\t<key-config>\n\t\t<key keycode="81" state="0"/>\n\t\t<replacement text="own"/>\n\t</key-config>\n'
    printf '<hardware-keyboard>\n%s</hardware-keyboard>' "$own" >"$E2E_KEYMAP"
    cp "$E2E_KEYMAP" "$W/original.xml"
    # Another program's layout: read by the same rules, saved in this program's.
    printf '%s' "<hardware-keyboard><key-config><key state='8' keycode='87'/><replacement text='from a'/></key-config><key-config><key keycode='81' state='0'/><replacement text='a &amp; own'/></key-config></hardware-keyboard>" >"$W/in/a.xml"
    e2e_keymap_one 69 0 'from b' >"$W/in/b file.xml"
    e2e_keymap_one 82 16 'from c' >"$W/in/c.xml"

    # The buttons' positions hold in both languages; the dialogs' titles do not.
    language=() import_title="Import Key Combinations" export_title="Export Key Combinations"
    [[ $case == share-de ]] && language=(LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8) \
        import_title="Tastenkombinationen importieren" export_title="Tastenkombinationen exportieren"

    # GIVEN one combination WHEN started with a file THEN its two combinations come after it.
    cd "$W"
    e2e_start_app "${language[@]}" -- in/a.xml
    e2e_wait_window
    first=$E2E_APP_PID
    # WHEN a second start names a file relative to another folder THEN the running editor
    # takes it and the second start ends at once.
    cd "$W/in"
    e2e_start_app "${language[@]}" -- "b file.xml"
    cd - >/dev/null
    e2e_wait_exit
    e2e_expect_status 0
    E2E_APP_PID=$first
    e2e_wait_window
    e2e_click "${IMPORT_BUTTON[@]}"
    choose_file_in_dialog "$import_title" "$W/in/c.xml"
    e2e_click "${EXPORT_BUTTON[@]}"
    choose_file_in_dialog "$export_title" "$W/exported.xml"
    e2e_wait_until "the exported file" test -s "$W/exported.xml"
    e2e_expect_file "$E2E_KEYMAP" "$W/original.xml"
    close_and_expect_clean_end

    {
        printf '<hardware-keyboard>\n%s' "$own"
        printf '\t<key-config>\n\t\t<key keycode="%s" state="%s"/>\n\t\t<replacement text="%s"/>\n\t</key-config>\n' \
            87 8 'from a' 81 0 'a &amp; own' 69 0 'from b' 82 16 'from c'
        printf '</hardware-keyboard>'
    } >"$W/expected.xml"
    e2e_expect_file "$E2E_KEYMAP" "$W/expected.xml"
    e2e_expect_file "$W/exported.xml" "$W/expected.xml"
    ;;
find | find-de)
    mkdir -p "$E2E_DATA_DIR"
    one=$'\t<key-config>\n\t\t<key keycode="81" state="0"/>\n\t\t<replacement text="one"/>\n\t</key-config>\n'
    two=$'\t<key-config>\n\t\t<key keycode="81" state="8"/>\n\t\t<key keycode="65" state="0"/>\n\t\t<replacement text="two"/>\n\t</key-config>\n'
    three=$'\t<key-config>\n\t\t<key keycode="81" state="8"/>\n\t\t<key keycode="87" state="0"/>\n\t\t<replacement text="three"/>\n\t</key-config>\n'
    printf '<hardware-keyboard>\n%s%s%s</hardware-keyboard>' "$one" "$two" "$three" >"$E2E_KEYMAP"
    language=() count_area=$FIND_COUNT_AREA
    [[ $case == find-de ]] && language=(LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8) count_area=$FIND_COUNT_AREA_DE
    start_on_keyboard_tab "${language[@]}"
    # What each combination looks like in its place, an empty place, and the row without
    # a count; later states are told apart by comparing with these.
    shown_one=$(area_info "$FIRST_COMBINATION_AREA" '%#')
    shown_two=$(area_info "$SECOND_COMBINATION_AREA" '%#')
    shown_three=$(area_info "$THIRD_COMBINATION_AREA" '%#')
    nothing=$(area_info "$FOURTH_COMBINATION_AREA" '%#')
    no_count=$(area_info "$count_area" '%#')
    list_shows() # FIRST SECOND: the first two places show these
    {
        [[ $(area_info "$FIRST_COMBINATION_AREA" '%#') == "$1" \
            && $(area_info "$SECOND_COMBINATION_AREA" '%#') == "$2" ]]
    }
    expect_list() # FIRST SECOND COUNT
    {
        e2e_wait_until "the list to show $4" list_shows "$1" "$2"
        [[ $(area_info "$count_area" '%#') == "$3" ]] || e2e_fail "the count is wrong for $4"
    }

    # GIVEN three combinations WHEN Ctrl+F and a text in capitals with blanks around it
    # THEN only the third is shown, counted "1 of 3".
    e2e_key ctrl+f
    e2e_type ' THREE '
    e2e_wait_until "the list to show three alone" list_shows "$shown_three" "$nothing"
    one_of_three=$(area_info "$count_area" '%#')
    [[ $one_of_three != "$no_count" ]] || e2e_fail "no count while filtered"
    # WHEN Escape THEN every combination again, without a count.
    e2e_key Escape
    expect_list "$shown_one" "$shown_two" "$no_count" "all after Escape"
    # WHEN key labels are typed THEN the two with Sh+q, "2 of 3".
    e2e_type 'sh+q'
    e2e_wait_until "the list to show two and three" list_shows "$shown_two" "$shown_three"
    two_of_three=$(area_info "$count_area" '%#')
    [[ $two_of_three != "$no_count" && $two_of_three != "$one_of_three" ]] \
        || e2e_fail "the count does not change with what is shown"
    # WHEN "Press Keys" and Shift+Q THEN the same two; W narrows them to the third.
    e2e_click "${PRESS_KEYS[@]}"
    e2e_key shift+q
    expect_list "$shown_two" "$shown_three" "$two_of_three" "two and three by keys"
    e2e_key w
    expect_list "$shown_three" "$nothing" "$one_of_three" "three by keys"
    # WHEN "Press Keys" again and Q THEN a new key filter: the first alone.
    e2e_click "${PRESS_KEYS[@]}"
    e2e_key q
    expect_list "$shown_one" "$nothing" "$one_of_three" "one by keys"
    # WHEN a text is typed THEN the key filter ends: "t" is in "two" and "three".
    e2e_click "${FIND_EDIT[@]}"
    e2e_type t
    expect_list "$shown_two" "$shown_three" "$two_of_three" "two and three by text"
    # WHEN "Add Key Combination" THEN the filter is cleared and the new one is last.
    e2e_click "${ADD_COMBINATION[@]}"
    expect_list "$shown_one" "$shown_two" "$no_count" "all after an add"
    e2e_wait_until "the added combination to be drawn" \
        eval '(($(area_info "$FOURTH_COMBINATION_AREA" %k) > 1))'
    # WHEN Ctrl+F in a focused capture button THEN it is that button's key.
    e2e_click "${FIRST_SELECT_KEY_ALONE[@]}"
    e2e_key ctrl+f
    # WHEN the window is closed while only the first is shown THEN all are saved.
    e2e_click "${FIND_EDIT[@]}"
    e2e_type one
    e2e_wait_until "the list to show one alone" eval \
        '[[ $(area_info "$SECOND_COMBINATION_AREA" %#) == "$nothing" ]]'
    close_and_expect_clean_end
    printf '<hardware-keyboard>\n%s%s%s</hardware-keyboard>' "${one/81\" state=\"0/70\" state=\"16}" \
        "$two" "$three" >"$W/expected.xml"
    e2e_expect_file "$E2E_KEYMAP" "$W/expected.xml"
    ;;
*) e2e_fail "unknown case $case" ;;
esac
