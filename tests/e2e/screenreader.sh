#!/usr/bin/env bash
# The Physical Keyboard tab by keyboard alone, as a screen reader's user meets it. The list
# holds "QA" (keys Sh+q) and "T" (key t).
#
#   orca, orca-de  Debian's Orca on the accessibility bus, its debug log holding what it
#                speaks ("SPEECH OUTPUT"): Tab to the second combination, capture Sh+q,
#                empty its text, type into Find, delete what it found. Heard in order: the
#                captured label, both hints, the find count, the undo bar (English, German)
#   focus-order  Tab and Shift+Tab on both tabs, read from the accessibility tree, after an
#                import, an add, a delete with its undo and a filter: each stop named, in
#                the order the page reads
#
# Usage: screenreader.sh orca|orca-de|focus-order
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
case=${1:?which case}
e2e_begin
mkdir -p "$E2E_DATA_DIR"
combination() { printf '\t<key-config>\n\t\t<key keycode="%s" state="%s"/>\n\t\t<replacement text="%s"/>\n\t</key-config>\n' "$@"; }
printf '<hardware-keyboard>\n%s%s</hardware-keyboard>' "$(combination 81 8 QA)" "$(combination 84 0 T)" >"$E2E_KEYMAP"

# Orca without sound (SPEECHD_CMD: Speech Dispatcher is not started) or braille; it logs
# what it would say all the same. Its debug log is opened line-buffered, not flushed only
# when a buffer is full, so that each line is in the file at once.
start_screen_reader()
{
    command -v orca >/dev/null || e2e_fail "orca is missing: scripts/install-deps.sh test installs it"
    export GSETTINGS_BACKEND=memory SPEECHD_CMD=/bin/false
    e2e_spawn /usr/bin/python3 -c "
import builtins, runpy, sys
plain_open = builtins.open
def line_buffered(file, mode='r', buffering=-1, *args, **kwargs):
    return plain_open(file, mode, 1 if file == sys.argv[2] else buffering, *args, **kwargs)
builtins.open = line_buffered
runpy.run_path('$(command -v orca)', run_name='__main__')
" --debug-file "$W/orca.log" -u "$W/orca" >"$W/orca.out" 2>&1
    # Its first words ("Screen reader on.", in the user's language) say it has started;
    # on a busy machine that takes a while: a minute, not the usual wait.
    E2E_TIMEOUT=60 e2e_wait_until "Orca to start" grep -qF "SPEECH OUTPUT:" "$W/orca.log"
}

spoken() { sed -n "s/^.*SPEECH OUTPUT: '\(.*\)'.*$/\1/p" "$W/orca.log"; }

heard=(1 0) # where the text checked last ends: utterance, character
said_next() # TEXT: Orca said TEXT after that; where it ends becomes the place
{
    local found
    found=$(spoken | awk -v line="${heard[0]}" -v column="${heard[1]}" -v text="$1" '
        NR == line && (at = index(substr($0, column + 1), text)) { print NR, column + at + length(text) - 1; exit }
        NR > line && (at = index($0, text)) { print NR, at + length(text) - 1; exit }')
    [[ -n $found ]] && read -ra heard <<<"$found"
}

expect_spoken() # TEXT...: Orca says each, in this order, after what it said before
{
    local text
    for text; do
        e2e_wait_until "Orca to say \"$text\" (said: $(spoken | tail -n 5 | tr '\n' '|'))" said_next "$text"
    done
}

# One key at a time: Qt hands each key to the accessibility registry, which asks the screen
# reader, before the widget gets it; keys typed faster come back late (Qt's keyEventError).
press()
{
    local key
    for key; do
        e2e_key "$key"
        sleep 0.1
    done
}

# Sets E2E_OBJECT to the focused object's line once it is another than $1: the last line
# with the state (after the window's and, on the tab bar, the bar's).
focus_moved()
{
    E2E_OBJECT=$(e2e_a11y | awk -F'\t' '$4 ~ /(^|,)focused(,|$)/' | tail -n 1)
    [[ -n $E2E_OBJECT && $E2E_OBJECT != "${1:-}" ]]
}

expect_tabs() # KEY NAME...: each press of KEY moves the focus to an object of that name
{
    local key=$1 name
    shift
    focus_moved
    for name; do
        press "$key"
        # Longer than Qt's wait for the registry's answer on a key (D-Bus's 25 seconds).
        E2E_TIMEOUT=30 e2e_wait_until "the focus to move on to '$name'" focus_moved "$E2E_OBJECT"
        [[ $(cut -f 3 <<<"$E2E_OBJECT") == "$name" ]] \
            || e2e_fail "$key: focus on '$(cut -f 2,3 <<<"$E2E_OBJECT")', expected '$name'"
    done
}

case $case in
focus-order)
    # GIVEN one combination more, imported from the command line (which shows the tab)
    printf '<hardware-keyboard>\n%s</hardware-keyboard>' "$(combination 90 0 AZ)" >"$W/imported.xml"
    e2e_start_app -- "$W/imported.xml"
    e2e_wait_window
    e2e_wait_for "$E2E_BUTTON" "Undo"
    # The General tab's fields in order, then round to the tab bar.
    press ctrl+Tab
    e2e_wait_until "the General tab" e2e_has_state "page tab" "General" 1 focused
    expect_tabs Tab "Virtual keyboard:" "Virtual keyboard font size: " \
        "Maximum delay between keypair on physical keyboard to be grouped for translation" General
    # WHEN "Add Key Combination", the last stop, adds a fourth, which is deleted
    press ctrl+Tab
    expect_tabs BackTab "Add Key Combination"
    press space
    expect_tabs BackTab delete
    press space
    # THEN "Undo" has the focus, between the find row and the first combination
    e2e_wait_until "Undo to take the focus" e2e_has_state "$E2E_BUTTON" "Undo" 1 focused
    expect_tabs BackTab "Export…"
    expect_tabs Tab Undo Sh+q
    # WHEN the delete is undone, and a filter leaves the first and the third shown
    expect_tabs BackTab Undo
    press space
    e2e_wait_until "the delete to be undone" eval '! e2e_shows "$E2E_BUTTON" Undo'
    press ctrl+f a
    e2e_wait_until "the filter" e2e_shows label "2 of 4"
    # THEN Tab goes through the page as it reads, and Shift+Tab back
    expect_tabs Tab "Press Keys" "Import…" "Export…" Sh+q ">>" Replacement: delete z ">>" \
        Replacement: delete "Add Key Combination" "Physical Keyboard"
    expect_tabs BackTab "Add Key Combination" delete Replacement: ">>" z delete
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
    start_screen_reader
    e2e_start_app "${language[@]}"
    e2e_wait_window
    expect_spoken "Tavorin Settings"
    # GIVEN the Physical Keyboard tab, WHEN Tab passes the find row (4 stops) and the first
    # combination (4), the second's key button captures Shift+Q, which the first has too:
    # THEN its place, its new label and the new hint are heard
    press ctrl+Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab
    expect_spoken "${texts[0]}"
    press shift+q
    expect_spoken "${texts[1]}" "${texts[2]}"
    # Its replacement field names the hint too; emptied, the other hint is heard.
    press Tab Tab
    expect_spoken "${texts[2]}"
    press ctrl+a BackSpace
    expect_spoken "${texts[3]}"
    # The count of what Find leaves shown; then from Find to "delete" of the one shown.
    press ctrl+f q a
    expect_spoken "${texts[4]}"
    press Tab Tab Tab Tab Tab Tab Tab space
    expect_spoken "${texts[5]}"
    ;;
*)
    e2e_fail "unknown case '$case'"
    ;;
esac
e2e_close_window
e2e_expect_clean_close
