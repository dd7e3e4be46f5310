#!/usr/bin/env bash
# The Physical Keyboard tab as a user works with it: combinations built with clicks
# and key presses on what the window shows (found in its accessibility tree), saved at the close in the program's layout, loaded again at the
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
#                then in German)
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

# What the tests look for, by the names the window gives them in each language. A
# capture button is named by the key it shows ("Select Key" while it holds none), a
# replacement field by its label.
if [[ $case == *-de ]]; then
    language=(LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8)
    tab_general=Allgemein tab_keyboard="Physische Tastatur" select_key="Taste wählen"
    replacement=Ersetzung: delete=löschen add="Tastenkombination hinzufügen" undo=Rückgängig
    same_keys="Dieselben Tasten wie Kombination" find=Suchen press_keys="Tasten drücken"
    of=von import="Importieren …" export="Exportieren …"
else
    language=()
    tab_general=General tab_keyboard="Physical Keyboard" select_key="Select Key"
    replacement=Replacement: delete=delete add="Add Key Combination" undo=Undo
    same_keys="Same keys as combination" find=Find press_keys="Press Keys" of=of
    import="Import…" export="Export…"
fi

# The replacement texts of the combinations on screen, top to bottom, joined by "|", and
# the find row's count ("" while there is none).
list_shows() # TEXTS COUNT
{
    [[ $(e2e_texts "$E2E_FIELD" "$replacement" | paste -sd '|') == "$1" ]] || return 1
    if [[ -n $2 ]]; then e2e_shows label "$2"; else ! e2e_shows label "* $of *"; fi
}

expect_list() # TEXTS COUNT WHAT
{
    e2e_wait_until "the list to show $3 ('$1', count '$2')" list_shows "$1" "$2"
}

# The undo bar shows at the top of the page.
expect_undo_bar() # shown|gone
{
    if [[ $1 == shown ]]; then
        e2e_wait_until "the undo bar" e2e_shows "$E2E_BUTTON" "$undo"
    else
        e2e_wait_until "the undo bar to go" eval '! e2e_shows "$E2E_BUTTON" "$undo"'
    fi
}

start_on_keyboard_tab()
{
    e2e_start_app "${language[@]}" "$@"
    e2e_wait_window
    e2e_click_on "page tab" "$tab_keyboard"
    e2e_wait_for "$E2E_BUTTON" "$add"
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
    e2e_click_on "$E2E_BUTTON" "$select_key"
    e2e_key shift+q
    e2e_wait_for "$E2E_BUTTON" Sh+q
    e2e_click_on "$E2E_BUTTON" ">>"
    e2e_click_on "$E2E_BUTTON" "$select_key"
    e2e_key w
    e2e_wait_for "$E2E_BUTTON" w
    e2e_click_on "$E2E_FIELD" "$replacement"
    e2e_type 'Grüße & "Zoë" <3>'
    # A complete second combination, deleted again: it must not reach the file.
    e2e_click_on "$E2E_BUTTON" "$add"
    e2e_click_on "$E2E_BUTTON" "$select_key"
    e2e_key e
    e2e_wait_for "$E2E_BUTTON" e
    e2e_click_on "$E2E_FIELD" "$replacement" 2
    e2e_type 'gone'
    expect_list 'Grüße & "Zoë" <3>|gone' "" "both combinations"
    e2e_click_on "$E2E_BUTTON" "$delete" 2
    # The general settings, through the keyboard (its only field and its two spin boxes,
    # top to bottom): 12 -> 14, 1000 -> 1100.
    e2e_click_on "page tab" "$tab_general"
    e2e_wait_for "spin button" "*"
    e2e_click_on "$E2E_FIELD" "*"
    e2e_key ctrl+a
    e2e_type 'qwerty.'
    e2e_click_on "spin button" "*" 1
    e2e_key Up Up
    e2e_click_on "spin button" "*" 2
    e2e_key Up
    e2e_wait_until "the general settings to show the edits" eval \
        '[[ $(e2e_texts "$E2E_FIELD|spin button" "*" | paste -sd "|") == "qwerty.|14|1100ms" ]]'
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
    ! e2e_shows "$E2E_FIELD" "$replacement" || e2e_fail "a combination is shown where none should be"
    # An empty combination added by the user shows there, and is not saved.
    e2e_click_on "$E2E_BUTTON" "$add"
    e2e_wait_for "$E2E_FIELD" "$replacement"
    e2e_wait_for "$E2E_BUTTON" "$select_key"
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
    start_on_keyboard_tab
    all='one|two & <2>|three'

    # GIVEN three combinations WHEN the second is deleted THEN Ctrl+Z brings it back, with
    # the focus on "Undo" and then with the focus in a replacement field.
    e2e_click_on "$E2E_BUTTON" "$delete" 2
    expect_undo_bar shown
    e2e_has_state "$E2E_BUTTON" "$undo" 1 focused || e2e_fail "the focus is not on \"$undo\""
    expect_list 'one|three' "" "the second deleted"
    e2e_key ctrl+z
    expect_undo_bar gone
    expect_list "$all" "" "the second back"
    e2e_click_on "$E2E_BUTTON" "$delete" 2
    expect_undo_bar shown
    e2e_click_on "$E2E_FIELD" "$replacement" 1
    e2e_key ctrl+z
    expect_undo_bar gone
    expect_list "$all" "" "the second back again"
    # WHEN the first is deleted THEN Ctrl+Z in a capture button (the third's, E) is a key,
    # and the bar still offers the first back.
    e2e_click_on "$E2E_BUTTON" "$delete" 1
    expect_undo_bar shown
    e2e_click_on "$E2E_BUTTON" e
    e2e_key ctrl+z
    e2e_wait_for "$E2E_BUTTON" Sh+z
    expect_undo_bar shown
    e2e_click_on "$E2E_BUTTON" "$undo"
    expect_undo_bar gone
    expect_list "$all" "" "the first back"
    # WHEN the first gets the same key as the third THEN it says so below its text.
    ! e2e_shows label "$same_keys *" || e2e_fail "a hint is shown before any key is shared"
    e2e_click_on "$E2E_BUTTON" q
    e2e_key ctrl+z
    e2e_wait_for label "$same_keys 3"
    # WHEN the third is deleted and the window closed while the bar offers it back THEN
    # it is not saved; the second came back whole, its unlabelled key included.
    e2e_click_on "$E2E_BUTTON" "$delete" 3
    expect_undo_bar shown
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

    import_title="Import Key Combinations" export_title="Export Key Combinations"
    [[ $case == share-de ]] && import_title="Tastenkombinationen importieren" \
        export_title="Tastenkombinationen exportieren"

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
    e2e_click_on "$E2E_BUTTON" "$import"
    choose_file_in_dialog "$import_title" "$W/in/c.xml"
    e2e_click_on "$E2E_BUTTON" "$export"
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
    start_on_keyboard_tab

    # GIVEN three combinations WHEN Ctrl+F and a text in capitals with blanks around it
    # THEN only the third is shown, counted "1 of 3".
    e2e_key ctrl+f
    e2e_type ' THREE '
    expect_list three "1 $of 3" "three alone"
    # WHEN Escape THEN every combination again, without a count.
    e2e_key Escape
    expect_list 'one|two|three' "" "all after Escape"
    # WHEN key labels are typed THEN the two with Sh+q, "2 of 3".
    e2e_type 'sh+q'
    expect_list 'two|three' "2 $of 3" "two and three"
    # WHEN "Press Keys" and Shift+Q THEN the same two; W narrows them to the third.
    e2e_click_on "$E2E_TOGGLE" "$press_keys"
    e2e_wait_until "\"$press_keys\" to be on" e2e_has_state "$E2E_TOGGLE" "$press_keys" 1 checked
    e2e_key shift+q
    expect_list 'two|three' "2 $of 3" "two and three by keys"
    e2e_key w
    expect_list three "1 $of 3" "three by keys"
    # WHEN "Press Keys" again and Q THEN a new key filter: the first alone.
    e2e_click_on "$E2E_TOGGLE" "$press_keys"
    e2e_key q
    expect_list one "1 $of 3" "one by keys"
    # WHEN a text is typed THEN the key filter ends: "t" is in "two" and "three".
    e2e_click_on "$E2E_FIELD" "$find"
    e2e_type t
    expect_list 'two|three' "2 $of 3" "two and three by text"
    # WHEN "Add Key Combination" THEN the filter is cleared and the new one is last.
    e2e_click_on "$E2E_BUTTON" "$add"
    expect_list 'one|two|three|' "" "all after an add"
    # WHEN Ctrl+F in a focused capture button THEN it is that button's key.
    e2e_click_on "$E2E_BUTTON" q
    e2e_key ctrl+f
    e2e_wait_for "$E2E_BUTTON" Sh+f
    # WHEN the window is closed while only the first is shown THEN all are saved.
    e2e_click_on "$E2E_FIELD" "$find"
    e2e_type one
    expect_list one "1 $of 4" "one alone"
    close_and_expect_clean_end
    printf '<hardware-keyboard>\n%s%s%s</hardware-keyboard>' "${one/81\" state=\"0/70\" state=\"16}" \
        "$two" "$three" >"$W/expected.xml"
    e2e_expect_file "$E2E_KEYMAP" "$W/expected.xml"
    ;;
*) e2e_fail "unknown case $case" ;;
esac
