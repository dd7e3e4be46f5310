#!/usr/bin/env bash
# The Physical Keyboard tab with a screen reader, by keyboard alone: Debian's Orca runs on
# a private accessibility bus and writes what it speaks to its debug log ("SPEECH OUTPUT"
# lines), which is checked for the editor's own words, in order.
#
#   orca, orca-de  Tab to the second combination, capture a key that the first has too,
#                empty its replacement, type into Find, delete the combination found: the
#                captured key's label, both hints, the find count and the undo bar's text
#                are spoken (in English, then in German)
#   focus-order  without a screen reader: Tab and Shift+Tab on both tabs, read from the
#                accessibility tree, after an import, an add, a delete with its undo and a
#                filter: every stop named, in the order the page reads
#
# Usage: screenreader.sh orca|orca-de|focus-order
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
case=${1:?which case}
e2e_begin

# Orca on the accessibility bus, without sound or braille: what it would say is in its
# debug log. Its settings stay in the work folder. Speech Dispatcher is not started
# (SPEECHD_CMD): Orca logs what it would say all the same.
start_screen_reader()
{
    command -v orca >/dev/null || e2e_fail "orca is missing: scripts/install-deps.sh test installs it"
    export GSETTINGS_BACKEND=memory SPEECHD_CMD=/bin/false
    mkdir -p "$W/orca"
    # Orca writes its debug log through a buffer that is flushed only when full: here it
    # is opened line-buffered, so each line is in the file at once.
    e2e_spawn /usr/bin/python3 -c "
import builtins, runpy, sys
plain_open = builtins.open
def line_buffered(file, mode='r', buffering=-1, *args, **kwargs):
    if file == sys.argv[2] and buffering == -1:
        buffering = 1
    return plain_open(file, mode, buffering, *args, **kwargs)
builtins.open = line_buffered
sys.argv[0] = 'orca'
runpy.run_path('$(command -v orca)', run_name='__main__')
" --debug-file "$W/orca.log" -u "$W/orca" >"$W/orca.out" 2>&1
    e2e_wait_until "Orca to start" grep -qF "SPEECH OUTPUT: 'Screen reader on.'" "$W/orca.log"
}

# What Orca spoke so far, one utterance a line.
spoken() { sed -n "s/^.*SPEECH OUTPUT: '\(.*\)'.*$/\1/p" "$W/orca.log"; }

heard=(1 0) # where the text checked last ends: utterance, character
said_next() # TEXT: Orca said TEXT after that; where it ends becomes the place
{
    local found
    found=$(spoken | awk -v line="${heard[0]}" -v column="${heard[1]}" -v text="$1" '
        NR == line { at = index(substr($0, column + 1), text); if (at) { print NR, column + at + length(text) - 1; exit } }
        NR > line { at = index($0, text); if (at) { print NR, at + length(text) - 1; exit } }')
    [[ -n $found ]] && read -ra heard <<<"$found"
}

expect_spoken() # TEXT...: Orca says each, in this order, after what it said before
{
    local text
    for text; do
        e2e_wait_until "Orca to say \"$text\" (said: $(spoken | tail -n 5 | tr '\n' '|'))" \
            said_next "$text"
    done
}

# press KEY...: one key at a time. Qt hands each key to the accessibility bus's registry,
# which asks the screen reader, before the widget gets it; keys typed faster than that
# come back late or out of turn (Qt's "keyEventError").
press()
{
    local key
    for key; do
        e2e_key "$key"
        sleep 0.1
    done
}

# The focused object's line of the accessibility tree: the last of those with the state,
# below the window and, on the tab bar, the bar.
focused() { e2e_a11y | awk -F'\t' '$4 ~ /(^|,)focused(,|$)/' | tail -n 1; }

# Sets E2E_OBJECT once the focus has left the object of line $1.
focus_moved()
{
    E2E_OBJECT=$(focused)
    [[ -n $E2E_OBJECT && $E2E_OBJECT != "$1" ]]
}

# expect_tabs KEY NAME...: each press of KEY moves the focus to an object of that name
# (the accessible name; every stop has one).
expect_tabs()
{
    local key=$1 name line
    shift
    line=$(focused)
    for name; do
        press "$key"
        e2e_wait_until "the focus to move on from '$(cut -f 3 <<<"$line")' (to '$name')" \
            focus_moved "$line"
        line=$E2E_OBJECT
        [[ $(cut -f 3 <<<"$line") == "$name" ]] \
            || e2e_fail "$key: focus on '$(cut -f 2,3 <<<"$line")', expected '$name'"
    done
}

case $case in
focus-order)
    mkdir -p "$E2E_DATA_DIR"
    printf '<hardware-keyboard>\n\t<key-config>\n\t\t<key keycode="81" state="8"/>\n\t\t<replacement text="QA"/>\n\t</key-config>\n\t<key-config>\n\t\t<key keycode="84" state="0"/>\n\t\t<replacement text="T"/>\n\t</key-config>\n</hardware-keyboard>' >"$E2E_KEYMAP"
    printf '<hardware-keyboard>\n\t<key-config>\n\t\t<key keycode="90" state="0"/>\n\t\t<replacement text="AZ"/>\n\t</key-config>\n</hardware-keyboard>' >"$W/imported.xml"
    # GIVEN a list of two and one combination imported from the command line
    e2e_start_app -- "$W/imported.xml"
    e2e_wait_window
    e2e_wait_for "push button" "Undo"
    # The General tab (the import showed the other): its fields in order, then round to
    # the tab bar.
    press ctrl+Tab
    e2e_wait_until "the General tab" e2e_has_state "page tab" "General" 1 focused
    expect_tabs Tab "Virtual keyboard:" "Virtual keyboard font size: " \
        "Maximum delay between keypair on physical keyboard to be grouped for translation" \
        "General"
    # WHEN "Add Key Combination", the last stop, adds a fourth, which is deleted
    press ctrl+Tab
    expect_tabs BackTab "Add Key Combination"
    press space
    expect_tabs BackTab delete
    press space
    # THEN "Undo" has the focus, right after the find row and before the first combination
    e2e_wait_until "Undo to take the focus" e2e_has_state "push button" "Undo" 1 focused
    expect_tabs BackTab "Export…"
    expect_tabs Tab "Undo" "Sh+q"
    # WHEN the delete is undone, and a filter leaves the first and the third shown
    expect_tabs BackTab "Undo"
    press space
    e2e_wait_until "the delete to be undone" eval '! e2e_shows "push button" "Undo"'
    press ctrl+f a
    e2e_wait_until "the filter" e2e_shows label "2 of 4"
    # THEN Tab goes through the page as it reads, and Shift+Tab back
    expect_tabs Tab "Press Keys" "Import…" "Export…" "Sh+q" ">>" "Replacement:" delete z ">>" \
        "Replacement:" delete "Add Key Combination" "Physical Keyboard"
    expect_tabs BackTab "Add Key Combination" delete "Replacement:" ">>" z delete
    e2e_close_window
    e2e_expect_clean_close
    ;;
orca | orca-de)
    language=()
    texts=("key 1 of combination 2" "Sh+q" "Same keys as combination 1"
        "Not saved: no replacement text" "1 of 2" "Combination 1 deleted.")
    if [[ $case == orca-de ]]; then
        language=(LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8)
        texts=("Taste 1 von Kombination 2" "Sh+q" "Dieselben Tasten wie Kombination 1"
            "Nicht gespeichert: kein Ersetzungstext" "1 von 2" "Kombination 1 gelöscht.")
    fi
    mkdir -p "$E2E_DATA_DIR"
    printf '<hardware-keyboard>\n\t<key-config>\n\t\t<key keycode="81" state="8"/>\n\t\t<replacement text="QA"/>\n\t</key-config>\n\t<key-config>\n\t\t<key keycode="84" state="0"/>\n\t\t<replacement text="T"/>\n\t</key-config>\n</hardware-keyboard>' >"$E2E_KEYMAP"
    start_screen_reader
    e2e_start_app "${language[@]}"
    e2e_wait_window
    expect_spoken "Tavorin Settings"
    # GIVEN the Physical Keyboard tab, WHEN Tab passes the find row (Find, Press Keys,
    # Import…, Export…) and the first combination (its key, ">>", Replacement, delete)
    press ctrl+Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab
    # THEN the second combination's key button is reached, and it captures Shift+Q, which
    # the first combination has too: its label and the new hint are heard.
    expect_spoken "${texts[0]}"
    press shift+q
    expect_spoken "${texts[1]}" "${texts[2]}"
    # Its replacement field names the hint too; emptied, the other hint is heard.
    press Tab Tab
    expect_spoken "${texts[2]}"
    press ctrl+a BackSpace
    expect_spoken "${texts[3]}"
    # The count of what Find leaves shown.
    press ctrl+f q a
    expect_spoken "${texts[4]}"
    # From Find to the delete button of the one combination shown, and delete it.
    press Tab Tab Tab Tab Tab Tab Tab space
    expect_spoken "${texts[5]}"
    e2e_close_window
    e2e_expect_clean_close
    ;;
*)
    e2e_fail "unknown case '$case'"
    ;;
esac
