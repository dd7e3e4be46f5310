#!/usr/bin/env bash
# Closing when the key mapping file cannot be saved: the program says "Ups!", leaves
# the old file exactly as it was (no half-written file, nothing left beside it) and
# still completes the close: the settings are written and the input method hears
# disable, reread, enable.
#
#   unwritable       the file cannot be opened for writing: it is a folder (which
#                    holds even for root, unlike file permissions)
#   file-size-limit  the new content is cut short by a file size limit (ulimit -f,
#                    SIGXFSZ ignored) while the old content fits under it
#   unreplaceable    the new content is written beside the file, but putting it in
#                    its place fails (renames onto the file are refused)
#
# Where there is an old file, a second run without the fault then replaces it with
# the expected content, which shows that the first run failed only by the fault.
#
# Files the program must not open, copy or replace, however long it runs:
#
#   fifo         the file is a FIFO: the window opens (nothing waits for a writer),
#                the close says "Ups!" and why, and the FIFO stays
#   device-link  the file is a link to a character device: neither read (it has no
#                end) nor replaced by a regular file, and the device node stays
#   too-large    one combination more than the editor edits: not loaded, and left as
#                it is at close without "Ups!" (nothing failed)
#   grown-too-large  the file grows past that bound while the window is open: neither
#                copied nor replaced, "Ups!" and why
#
# Backups and what the files keep:
#
#   changed-meanwhile  touched while the window is open: not changed, the older backup
#                stays; given other bytes: kept as the backup, the older one moved up
#   byte-order-mark  a file with a byte-order mark cut at a byte that is not UTF-8
#                keeps everything before that byte, as it does without the mark
#   owner        run as root on another user's files: the settings, the key mapping file
#                and its backup stay that user's
#
# Usage: faults.sh unwritable|file-size-limit|unreplaceable|fifo|device-link|too-large|
#                  grown-too-large|changed-meanwhile|byte-order-mark|owner
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
case=${1:?which fault}
if [[ $case == owner && $(id -u) != 0 ]]; then
    echo "SKIP: only root writes files for another user" >&2
    exit 77
fi
e2e_begin

# N combinations, the Nth of the key "A" + N - 1 with the text "replacement N", in
# a compact layout and in the layout the program writes.
keymap_compact()
{
    local i
    printf '<hardware-keyboard>'
    for ((i = 1; i <= $1; i++)); do
        printf '<key-config><key keycode="%d" state="0"/><replacement text="replacement %d"/></key-config>' \
            $((64 + i)) "$i"
    done
    printf '</hardware-keyboard>'
}

keymap_written()
{
    local i
    printf '<hardware-keyboard>\n'
    for ((i = 1; i <= $1; i++)); do
        printf '\t<key-config>\n\t\t<key keycode="%d" state="0"/>\n' $((64 + i))
        printf '\t\t<replacement text="replacement %d"/>\n\t</key-config>\n' "$i"
    done
    printf '</hardware-keyboard>'
}

size() { stat -c %s "$1"; }

# Opens the window, closes it, and checks what every failed save has in common.
close_with_failed_save()
{
    local before
    before=$(e2e_snapshot_folder "$E2E_DATA_DIR")
    e2e_start_app "$@"
    e2e_wait_window
    e2e_close_window
    e2e_wait_exit
    e2e_expect_status 0
    e2e_expect_log "$E2E_APP_ERR" "Ups!"
    e2e_expect_bus "disable reread enable"
    e2e_expect_settings 'delay=1000
fontSize=12
symbols=\\'
    [[ $(e2e_snapshot_folder "$E2E_DATA_DIR") == "$before" ]] || {
        diff <(echo "$before") <(e2e_snapshot_folder "$E2E_DATA_DIR") >&2
        e2e_fail "the data folder changed"
    }
}

# Runs again without the fault: now the file is replaced with its rewritten form.
close_with_good_save()
{
    e2e_start_app
    e2e_wait_window
    e2e_close_window
    e2e_wait_exit
    e2e_expect_status 0
    e2e_expect_no_log "$E2E_APP_ERR" "Ups!"
    e2e_expect_file "$E2E_KEYMAP" "$W/keymap.written"
}

mkdir -p "$E2E_DATA_DIR"
case $case in
unwritable)
    mkdir "$E2E_KEYMAP"
    printf 'kept' >"$E2E_KEYMAP/inside"
    close_with_failed_save
    [[ -d $E2E_KEYMAP && $(cat "$E2E_KEYMAP/inside") == kept ]] || e2e_fail "the folder changed"
    ;;
file-size-limit)
    # 1024 bytes: the old file is below the limit, its rewritten form above it.
    keymap_compact 10 >"$E2E_KEYMAP"
    keymap_written 10 >"$W/keymap.written"
    (($(size "$E2E_KEYMAP") < 1024 && $(size "$W/keymap.written") > 1024)) \
        || e2e_fail "the fixture does not straddle the limit"
    cp "$E2E_KEYMAP" "$W/keymap.before"
    close_with_failed_save --file-size-limit 1
    e2e_expect_file "$E2E_KEYMAP" "$W/keymap.before"
    close_with_good_save
    ;;
unreplaceable)
    [[ -f ${E2E_FAILRENAME:-} ]] || e2e_fail "E2E_FAILRENAME must name the fault-injection library"
    keymap_compact 2 >"$E2E_KEYMAP"
    keymap_written 2 >"$W/keymap.written"
    cp "$E2E_KEYMAP" "$W/keymap.before"
    close_with_failed_save LD_PRELOAD="$E2E_FAILRENAME" \
        E2E_FAIL_RENAME_TARGET=hardware-keyboard.xml E2E_FAIL_RENAME_LOG="$W/refused"
    [[ -s $W/refused ]] || e2e_fail "the program never tried to put the new file in place"
    e2e_expect_file "$E2E_KEYMAP" "$W/keymap.before"
    close_with_good_save
    ;;
fifo)
    mkfifo "$E2E_KEYMAP"
    close_with_failed_save
    [[ -p $E2E_KEYMAP ]] || e2e_fail "the FIFO was replaced"
    e2e_expect_log "$E2E_APP_ERR" ".*hardware-keyboard.xml is neither read nor replaced .*: it is a FIFO, not a regular file\\)"
    e2e_expect_log "$E2E_APP_ERR" ".*was left as it was: it is a FIFO, not a regular file"
    ;;
device-link)
    # A node of our own, so that a fault could only ever replace that one; where nodes
    # cannot be made, /dev/zero, whose identity is then checked.
    device=$W/zero
    mknod "$device" c 1 5 2>/dev/null || device=/dev/zero
    identity=$(stat -c '%F %t:%T %i %Y' "$device")
    ln -s "$device" "$E2E_KEYMAP"
    close_with_failed_save
    [[ -L $E2E_KEYMAP && $(stat -c '%F %t:%T %i %Y' "$device") == "$identity" ]] \
        || e2e_fail "the link or the device changed"
    e2e_expect_log "$E2E_APP_ERR" ".*was left as it was: it is a character device, not a regular file"
    ;;
too-large)
    keymap_compact 50001 >"$E2E_KEYMAP"
    before=$(e2e_snapshot_folder "$E2E_DATA_DIR")
    e2e_start_app
    e2e_wait_window
    e2e_close_window
    e2e_wait_exit
    e2e_expect_status 0
    e2e_expect_log "$E2E_APP_ERR" ".*too large to edit here .*; it is left as it is"
    e2e_expect_no_log "$E2E_APP_ERR" "Ups!"
    e2e_expect_bus "disable reread enable"
    e2e_expect_settings 'delay=1000
fontSize=12
symbols=\\'
    [[ $(e2e_snapshot_folder "$E2E_DATA_DIR") == "$before" ]] || e2e_fail "the data folder changed"
    ;;
grown-too-large)
    keymap_written 2 >"$E2E_KEYMAP"
    e2e_start_app
    e2e_wait_window
    truncate -s $((16 * 1024 * 1024 + 1)) "$E2E_KEYMAP"
    E2E_KEYMAP_BEFORE=$(e2e_file_id "$E2E_KEYMAP") # not the program's: no schema to match
    before=$(e2e_snapshot_folder "$E2E_DATA_DIR")
    e2e_close_window
    e2e_expect_clean_close
    e2e_expect_log "$E2E_APP_ERR" "Ups!"
    e2e_expect_log "$E2E_APP_ERR" ".*was not replaced: no backup could be made \\(16777217 bytes, more than 16777216\\)"
    [[ $(e2e_snapshot_folder "$E2E_DATA_DIR") == "$before" ]] || e2e_fail "the data folder changed"
    ;;
changed-meanwhile)
    keymap_written 2 >"$E2E_KEYMAP"
    printf 'an older backup' >"$E2E_KEYMAP.bak"
    cp "$E2E_KEYMAP.bak" "$W/older"
    e2e_start_app
    e2e_wait_window
    touch -d '+1 hour' "$E2E_KEYMAP"
    e2e_close_window
    e2e_expect_clean_close
    e2e_expect_file "$E2E_KEYMAP.bak" "$W/older"
    [[ ! -e $E2E_KEYMAP.bak.1 ]] || e2e_fail "a touched file was kept as changed"

    e2e_start_app
    e2e_wait_window
    keymap_written 3 >"$W/other"
    cp "$W/other" "$E2E_KEYMAP"
    e2e_close_window
    e2e_wait_exit
    e2e_expect_status 0
    e2e_expect_log "$E2E_APP_ERR" ".*was changed by another program since it was read; its content is kept in .*hardware-keyboard.xml.bak"
    e2e_expect_file "$E2E_KEYMAP.bak" "$W/other"
    e2e_expect_file "$E2E_KEYMAP.bak.1" "$W/older"
    keymap_written 2 >"$W/keymap.written"
    e2e_expect_file "$E2E_KEYMAP" "$W/keymap.written"
    ;;
byte-order-mark)
    printf '\xef\xbb\xbf<hardware-keyboard><key-config><replacement text="x"/>%s\xff</key-config></hardware-keyboard>' \
        "<key keycode='81' state='0'/><key keycode='87' state='0'/>" >"$E2E_KEYMAP"
    printf '<hardware-keyboard>\n\t<key-config>\n%s\n%s\n%s\n\t</key-config>\n</hardware-keyboard>' \
        $'\t\t<key keycode="81" state="0"/>' $'\t\t<key keycode="87" state="0"/>' \
        $'\t\t<replacement text="x"/>' >"$W/expected.xml"
    cp "$E2E_KEYMAP" "$W/original.xml"
    e2e_start_app
    e2e_wait_window
    e2e_close_window
    e2e_expect_clean_close
    e2e_expect_file "$E2E_KEYMAP" "$W/expected.xml"
    e2e_expect_file "$E2E_KEYMAP.bak" "$W/original.xml"
    ;;
owner)
    # Cut short, so that a backup is made too.
    keymap_compact 2 | head -c -10 >"$E2E_KEYMAP"
    printf '[Tavorin]\ndelay=900\n' >"$E2E_SETTINGS"
    chown 65534:65534 "$E2E_KEYMAP" "$E2E_SETTINGS"
    e2e_start_app
    e2e_wait_window
    e2e_close_window
    e2e_expect_clean_close
    [[ -f $E2E_KEYMAP.bak ]] || e2e_fail "no backup was made"
    for file in "$E2E_KEYMAP" "$E2E_KEYMAP.bak" "$E2E_SETTINGS"; do
        [[ $(stat -c %u:%g "$file") == 65534:65534 ]] \
            || e2e_fail "$file belongs to $(stat -c %u:%g "$file")"
    done
    ;;
*) e2e_fail "unknown case $case" ;;
esac
