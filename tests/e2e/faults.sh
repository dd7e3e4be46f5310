#!/usr/bin/env bash
# Ending (SIGTERM, as at a logout) when the key mapping file cannot be saved: the program
# says "Ups!", leaves the old file exactly as it was (no half-written file, nothing left
# beside it), keeps the list in the state folder and still completes the close: the
# settings are written and the input method hears disable, reread, enable.
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
#
#   changed-meanwhile  touched while the window is open: the older backup stays; given
#                other bytes: they become the backup, the older one moves up
#   owner        run as root on another user's files: all stay that user's
#
#   full-folder  the data folder's file system fills up while the window is open: the
#                close button brings the box "Your changes could not be saved.", Escape
#                keeps the window and the input method hears nothing; once there is room
#                again, Retry saves and the close goes on (a tmpfs of its own, root only)
#
# Usage: faults.sh unwritable|file-size-limit|unreplaceable|fifo|device-link|too-large|
#                  changed-meanwhile|owner|full-folder
case=${1:?which fault}
# Only root gives files away or mounts a file system; the mount stays inside the test.
[[ ($case != owner && $case != full-folder) || $(id -u) == 0 ]] || exit 77
if [[ $case == full-folder && -z ${E2E_UNSHARED:-} ]]; then
    E2E_UNSHARED=1 exec unshare --mount --propagation private bash "$0" "$@"
fi
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
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
    kill -TERM "$E2E_APP_PID"
    e2e_wait_exit
    e2e_expect_status 0
    e2e_expect_log "$E2E_APP_ERR" "Ups!"
    # A fault of the whole process (a file size limit, renames onto the name refused)
    # strikes the copy too, and standard error says so.
    if [[ ${expect_kept:-yes} == yes ]]; then
        [[ -f $E2E_KEPT_DIR/hardware-keyboard.xml ]] || e2e_fail "the list was not kept"
    else
        e2e_expect_log "$E2E_APP_ERR" "The changes that could not be saved could not be kept in .* either: .+"
    fi
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
    expect_kept=no close_with_failed_save --file-size-limit 1
    e2e_expect_file "$E2E_KEYMAP" "$W/keymap.before"
    close_with_good_save
    ;;
unreplaceable)
    [[ -f ${E2E_FAILRENAME:-} ]] || e2e_fail "E2E_FAILRENAME must name the fault-injection library"
    keymap_compact 2 >"$E2E_KEYMAP"
    keymap_written 2 >"$W/keymap.written"
    cp "$E2E_KEYMAP" "$W/keymap.before"
    expect_kept=no close_with_failed_save LD_PRELOAD="$E2E_FAILRENAME" \
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
changed-meanwhile)
    keymap_written 2 | tee "$W/keymap.written" >"$E2E_KEYMAP"
    printf 'older' | tee "$W/older" >"$E2E_KEYMAP.bak"
    for change in "touch -d '+1 hour' $E2E_KEYMAP" "keymap_written 3 >$E2E_KEYMAP"; do
        e2e_start_app
        e2e_wait_window
        eval "$change"
        e2e_close_window
        e2e_wait_exit
        e2e_expect_file "$E2E_KEYMAP" "$W/keymap.written"
    done
    keymap_written 3 >"$W/other"
    e2e_expect_file "$E2E_KEYMAP.bak" "$W/other"
    e2e_expect_file "$E2E_KEYMAP.bak.1" "$W/older"
    [[ ! -e $E2E_KEYMAP.bak.2 ]] || e2e_fail "a touched file was kept as changed"
    ;;
owner)
    keymap_compact 2 | head -c -10 >"$E2E_KEYMAP" # cut short: a backup is made too
    # The settings reached through the user's link: replaced by a file of theirs, the
    # link's target left alone.
    printf '[Tavorin]\ndelay=900\n' | tee "$W/settings.target" >"$W/settings.before"
    ln -s "$W/settings.target" "$E2E_SETTINGS"
    chown -h 65534:65534 "$E2E_KEYMAP" "$E2E_SETTINGS" "$W/settings.target"
    e2e_start_app
    e2e_wait_window
    e2e_close_window
    e2e_expect_clean_close
    for file in "$E2E_KEYMAP" "$E2E_KEYMAP.bak" "$E2E_SETTINGS"; do
        [[ $(stat -c %u:%g "$file") == 65534:65534 ]] || e2e_fail "$file is not nobody's"
    done
    [[ ! -L $E2E_SETTINGS ]] && grep -q '^delay=900$' "$E2E_SETTINGS" || e2e_fail "the settings"
    e2e_expect_file "$W/settings.target" "$W/settings.before"
    ;;
full-folder)
    mount -t tmpfs -o size=256k,mode=755 tmpfs "$E2E_DATA_DIR"
    keymap_compact 2 >"$W/set.xml"
    keymap_written 2 >"$W/keymap.written"
    e2e_start_app -- "$W/set.xml"
    e2e_wait_window
    cat /dev/zero >"$E2E_DATA_DIR/filler" 2>/dev/null || true
    e2e_close_window
    e2e_wait_for label "Your changes could not be saved."
    e2e_shows label "*/hardware-keyboard.xml: No space left on device" \
        || e2e_fail "the box does not name the file and the reason"
    for button in "Retry" "Save As…" "Close Without Saving"; do
        e2e_shows "$E2E_BUTTON" "$button" || e2e_fail "the box has no \"$button\""
    done
    e2e_expect_bus "disable"
    e2e_key Escape
    e2e_wait_until "the message box to go" eval '! e2e_shows "$E2E_BUTTON" Retry'
    e2e_alive "$E2E_APP_PID" || e2e_fail "Escape ended the program"
    e2e_close_window
    e2e_wait_for "$E2E_BUTTON" Retry
    e2e_wait_until "Retry to have the focus" e2e_has_state "$E2E_BUTTON" Retry 1 focused
    e2e_expect_bus "disable"
    rm "$E2E_DATA_DIR/filler"
    e2e_key Return # Retry, the default button
    e2e_expect_clean_close
    e2e_expect_log "$E2E_APP_ERR" "Ups!"
    e2e_expect_file "$E2E_KEYMAP" "$W/keymap.written"
    [[ ! -e $E2E_KEPT_DIR ]] || e2e_fail "a copy was kept although the file was saved"
    umount "$E2E_DATA_DIR"
    ;;
*) e2e_fail "unknown case $case" ;;
esac
