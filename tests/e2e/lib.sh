# Harness for the end-to-end tests: the real tavorin-settings on a private X server
# (Xvfb + openbox), a private D-Bus session bus with a monitor on it, a private
# accessibility bus, and fresh settings and data folders, driven with xdotool the way a
# user drives it.
#
# A test script sources this file, calls e2e_begin, starts the program with
# e2e_start_app, and checks files, the program's output, the bus log and what the window
# shows. Every wait is a bounded poll; every process started here is stopped when the
# script exits, however it exits. On failure the work folder is kept, with a screenshot
# and the accessibility tree, and the program's error output and the bus log are printed.
#
# What the window shows is read as assistive technology reads it, from the accessibility
# tree (AT-SPI; tests/e2e/a11y.py), never from pixels: the objects on screen in every
# window of the program. An object is picked by its role ("label", "page tab", ...;
# "text|entry": one of these, as versions differ: E2E_BUTTON, E2E_FIELD, E2E_TOGGLE),
# its accessible name (both shell patterns) and its place N among the matching objects, counted from 1 top to bottom,
# then left to right (default 1):
#   e2e_a11y [ROLE [NAME]]        a11y.py's lines: "X Y W H WW WH<TAB>ROLE<TAB>NAME<TAB>
#                                 STATES<TAB>TEXT<TAB>DESCRIPTION", one per object on screen
#   e2e_shows ROLE NAME [N]       true while the Nth such object is on screen
#   e2e_has_state ROLE NAME N STATE  true while it is on screen with that AT-SPI state
#                                 ("focused", "checked", ...)
#   e2e_texts ROLE NAME           the TEXT of each (a field's contents), one per line
#   e2e_wait_for ROLE NAME [N]    waits until it is on screen; its line is in E2E_OBJECT
#   e2e_point_at ROLE NAME [N]    waits for it to stand still and moves the pointer to its
#                                 centre
#   e2e_click_on ROLE NAME [N]    ... and clicks there (a real pointer event; the object
#                                 must be in the main window)
# The focused object: e2e_a11y | awk -F'\t' '$4 ~ /(^|,)focused(,|$)/'.
# Keys are real key events too: e2e_key, e2e_type.
#
# Environment (set by tests/CMakeLists.txt):
#   E2E_APP        the tavorin-settings program
#   E2E_WORKDIR    the folder to work in (emptied first); a temporary one if unset
#   E2E_FAILRENAME the fault-injection library of failrename.cpp (only faults.sh)
#   E2E_TIMEOUT    seconds for each wait (default 20)
#   E2E_KEEP       if set, the work folder is kept after a passing test too
# and from the caller's environment, to try other looks:
#   QT_SCALE_FACTOR    Qt's scale factor (the screen grows by it, so that the window
#                      holds as much as unscaled)
#   QT_STYLE_OVERRIDE  a Qt style (Qt's default otherwise)

set -euo pipefail

: "${E2E_APP:?E2E_APP must name the tavorin-settings program}"
E2E_TIMEOUT=${E2E_TIMEOUT:-20}
E2E_SCALE=${QT_SCALE_FACTOR:-1}
[[ $E2E_SCALE =~ ^[0-9]+(\.[0-9]+)?$ ]] || { echo "QT_SCALE_FACTOR is not a number: $E2E_SCALE" >&2; exit 1; }
E2E_SCREEN_W=$(awk -v s="$E2E_SCALE" 'BEGIN { print int(1024 * s) }')
E2E_SCREEN_H=$(awk -v s="$E2E_SCALE" 'BEGIN { print int(768 * s) }')
E2E_STYLE=${QT_STYLE_OVERRIDE:-}
E2E_A11Y_HELPER=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/a11y.py
# Roles whose names differ between versions of Qt and AT-SPI, for the ROLE arguments below.
E2E_BUTTON='push button|button' E2E_FIELD='text|entry' E2E_TOGGLE='check box|toggle button'
E2E_CHANNEL_PATH=/Tavorin/Private
E2E_CHANNEL_INTERFACE=org.tavorin.QCop
# Every key mapping file the program writes must validate against the published schema.
E2E_SCHEMA=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../docs" && pwd)/hardware-keyboard.rng

E2E_PIDS=()        # every background process started here, in start order
E2E_APP_PID=
E2E_APP_STATUS=
E2E_APP_RUNS=0
E2E_APP_ERR=       # the error output of the latest run (app-N.err, N counting runs)
E2E_WIN=
E2E_PROBES=0
E2E_OBJECT=
E2E_A11Y_BUS=
E2E_MAPPED=        # the characters given a key of their own (e2e_map_keys)

e2e_fail()
{
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}

e2e_note() { printf -- '-- %s\n' "$*" >&2; }

e2e_now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

# e2e_wait_until DESCRIPTION COMMAND [ARG...]: runs COMMAND every 50 ms until it
# succeeds; fails the test once E2E_TIMEOUT seconds have passed.
e2e_wait_until()
{
    local what=$1
    shift
    local deadline=$(($(e2e_now_ms) + E2E_TIMEOUT * 1000))
    until "$@"; do
        (($(e2e_now_ms) < deadline)) || e2e_fail "timed out after ${E2E_TIMEOUT}s waiting for $what"
        sleep 0.05
    done
}

# True while PID runs (a zombie that only waits to be reaped counts as ended).
e2e_alive()
{
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    [[ ${stat%% *} != Z ]]
}

e2e_dead() { ! e2e_alive "$1"; }

e2e_has_line() { [[ -s $1 ]] && [[ $(tail -c 1 "$1" | od -An -c | tr -d ' ') == '\n' ]]; }

# Starts a background process (with the caller's redirections) and records it.
e2e_spawn()
{
    "$@" &
    E2E_PIDS+=($!)
}

e2e_stop()
{
    local pid=$1 i
    kill -TERM "$pid" 2>/dev/null || true
    for ((i = 0; i < 100; i++)); do
        e2e_alive "$pid" || break
        sleep 0.05
    done
    e2e_alive "$pid" && kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null || true
}

e2e_report()
{
    if [[ -n ${DISPLAY:-} ]] && command -v import >/dev/null; then
        timeout 10 import -window root "$W/failure.png" 2>/dev/null \
            && echo "screenshot: $W/failure.png" >&2
    fi
    [[ -n ${E2E_A11Y_BUS:-} ]] && e2e_a11y >"$W/a11y.txt" 2>&1
    local f
    for f in "$W"/app-*.err "$W"/app-*.out "$W/bus.log" "$W/a11y.txt" "$W/orca.out"; do
        [[ -s $f ]] || continue
        echo "---- $(basename "$f")" >&2
        tail -n 40 "$f" >&2
    done
    echo "work folder kept: $W" >&2
}

e2e_cleanup()
{
    local status=$?
    set +e
    ((status == 0)) || e2e_report
    local i
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        e2e_stop "${E2E_PIDS[i]}"
    done
    ((status == 0)) && [[ -n ${W:-} && -z ${E2E_KEEP:-} ]] && rm -rf "$W"
    exit "$status"
}

# Sets up the isolated environment: folders, X server, window manager, session bus
# and the monitor whose log e2e_bus_messages reads.
e2e_begin()
{
    local tool
    for tool in Xvfb openbox wmctrl xdotool xmodmap dbus-daemon dbus-monitor dbus-send xmllint \
        /usr/libexec/at-spi-bus-launcher; do
        command -v "$tool" >/dev/null \
            || e2e_fail "$tool is missing: scripts/install-deps.sh test installs it"
    done
    /usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null \
        || e2e_fail "Python's Atspi is missing: scripts/install-deps.sh test installs it"
    env --default-signal=INT true 2>/dev/null || e2e_fail "env lacks --default-signal (coreutils 8.31 or later)"

    W=${E2E_WORKDIR:-}
    if [[ -z $W ]]; then
        W=$(mktemp -d)
    else
        rm -rf "$W"
        mkdir -p "$W"
    fi
    trap e2e_cleanup EXIT
    trap 'exit 130' INT TERM HUP

    mkdir -p "$W/config" "$W/data" "$W/cache" "$W/home" "$W/state"
    mkdir -m 700 "$W/run"
    export HOME=$W/home XDG_CONFIG_HOME=$W/config XDG_DATA_HOME=$W/data XDG_STATE_HOME=$W/state
    export XDG_CACHE_HOME=$W/cache XDG_RUNTIME_DIR=$W/run
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
    # Only the scale and the style asked for; no input method, session manager or
    # accessibility bus from the host.
    export QT_QPA_PLATFORM=xcb QT_ENABLE_HIGHDPI_SCALING=0
    unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_STYLE_OVERRIDE QT_FONT_DPI
    [[ $E2E_SCALE == 1 ]] || export QT_SCALE_FACTOR=$E2E_SCALE
    [[ -z $E2E_STYLE ]] || export QT_STYLE_OVERRIDE=$E2E_STYLE
    unset QT_IM_MODULE XMODIFIERS GTK_IM_MODULE SESSION_MANAGER QT_LOGGING_RULES
    unset QT_MESSAGE_PATTERN QT_LINUX_ACCESSIBILITY_ALWAYS_ON QT_ACCESSIBILITY
    unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY DISPLAY

    E2E_DATA_DIR=$XDG_DATA_HOME/tavorin
    E2E_KEYMAP=$E2E_DATA_DIR/hardware-keyboard.xml
    E2E_SETTINGS=$XDG_CONFIG_HOME/Tavorin.conf
    E2E_KEPT_DIR=$XDG_STATE_HOME/tavorin # what a close that cannot save keeps

    # -displayfd: the server picks a free display and writes its number once it
    # accepts connections, so tests can run side by side.
    e2e_spawn Xvfb -displayfd 3 -screen 0 "${E2E_SCREEN_W}x${E2E_SCREEN_H}x24" -nolisten tcp \
        -noreset 3>"$W/display" 2>"$W/xvfb.log"
    e2e_wait_until "Xvfb to report its display" e2e_has_line "$W/display"
    export DISPLAY=:$(head -n 1 "$W/display")

    e2e_spawn openbox --sm-disable >"$W/openbox.log" 2>&1
    e2e_wait_until "the window manager" eval 'wmctrl -m >/dev/null 2>&1'

    e2e_spawn dbus-daemon --session --nofork --nosyslog --print-address=3 3>"$W/bus.address" \
        2>"$W/dbus.log"
    e2e_wait_until "the session bus address" e2e_has_line "$W/bus.address"
    export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$W/bus.address")

    # The accessibility bus, with the registry of the programs on it, as a desktop starts
    # it for a screen reader. The launcher names the bus on the screen's root window, where
    # Qt looks for it and switches its AT-SPI bridge on.
    e2e_spawn /usr/libexec/at-spi-bus-launcher --launch-immediately --a11y=1 \
        >"$W/a11y-bus.log" 2>&1
    e2e_wait_until "the accessibility bus" e2e_a11y_bus_named
    # The registry is started by that bus, not by this script: it is started now and its
    # number asked of the bus, so that it is stopped with the rest.
    e2e_wait_until "the accessibility registry" e2e_a11y_registry_started

    e2e_spawn dbus-monitor --address "$DBUS_SESSION_BUS_ADDRESS" --profile \
        "type='signal',path='$E2E_CHANNEL_PATH'" >"$W/bus.log" 2>&1
    e2e_bus_sync
}

# Sets E2E_A11Y_BUS to the accessibility bus's address once the launcher gives it out.
# Asked before the launcher has its name, the bus would start another one (without
# --a11y=1) in its place.
e2e_a11y_bus_named()
{
    [[ $(timeout 5 dbus-send --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null) == *true* ]] || return 1
    E2E_A11Y_BUS=$(timeout 5 dbus-send --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress 2>/dev/null) || return 1
    E2E_A11Y_BUS=${E2E_A11Y_BUS//[[:space:]]/}
    [[ -n $E2E_A11Y_BUS ]]
}

e2e_a11y_registry_started()
{
    local pid
    timeout 5 dbus-send --bus="$E2E_A11Y_BUS" --print-reply --dest=org.a11y.atspi.Registry \
        /org/a11y/atspi/registry org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1 || return 1
    pid=$(timeout 5 dbus-send --bus="$E2E_A11Y_BUS" --print-reply=literal --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID \
        string:org.a11y.atspi.Registry 2>/dev/null) || return 1
    pid=${pid##* }
    [[ $pid =~ ^[0-9]+$ ]] && E2E_PIDS+=("$pid")
}

# Sends a probe signal and waits until the monitor has logged it. The bus forwards
# messages in the order it received them, so afterwards the log holds every signal
# that reached the bus before the probe (the program confirms each of its signals
# with a round trip to the bus, so all it sent before it ended).
e2e_bus_sync()
{
    local member=sync$((++E2E_PROBES))
    e2e_wait_until "the bus monitor to log the probe $member" e2e_probe "$member"
}

e2e_probe()
{
    dbus-send --bus="$DBUS_SESSION_BUS_ADDRESS" --type=signal "$E2E_CHANNEL_PATH" \
        "org.tavorin.E2eProbe.$1" 2>/dev/null || true
    sleep 0.05
    awk -F'\t' -v m="$1" '$1 == "sig" && $8 == m { found = 1 } END { exit !found }' "$W/bus.log"
}

# The members of the program's control messages logged so far, space-separated.
e2e_bus_messages()
{
    awk -F'\t' -v p="$E2E_CHANNEL_PATH" -v i="$E2E_CHANNEL_INTERFACE" \
        '$1 == "sig" && $6 == p && $7 == i { printf "%s%s", sep, $8; sep = " " }' "$W/bus.log"
}

# The time (seconds.microseconds) at which the monitor received the first MEMBER.
e2e_bus_time()
{
    awk -F'\t' -v p="$E2E_CHANNEL_PATH" -v i="$E2E_CHANNEL_INTERFACE" -v m="$1" \
        '$1 == "sig" && $6 == p && $7 == i && $8 == m { print $2; exit }' "$W/bus.log"
}

# The file was in its final state before the input method was told to re-read it:
# its last change (content or rename into place) is no later than the moment the
# monitor received "reread". File times come from a clock that never runs ahead.
e2e_expect_changed_before_reread()
{
    local changed reread
    changed=$(stat -c %.9Z "$1")
    reread=$(e2e_bus_time reread)
    [[ -n $reread ]] || e2e_fail "no reread on the bus"
    awk -v c="$changed" -v r="$reread" 'BEGIN { exit !(c <= r) }' \
        || e2e_fail "$1 changed at $changed, after reread was sent ($reread)"
}

# e2e_expect_bus "disable reread enable": after syncing with the bus, the program's
# messages must be exactly these, in this order.
e2e_expect_bus()
{
    e2e_bus_sync
    local seen
    seen=$(e2e_bus_messages)
    [[ $seen == "$1" ]] || e2e_fail "bus messages: expected '$1', seen '$seen'"
}

# e2e_start_app [--file-size-limit BLOCKS] [ENV-OPTION...] [NAME=VALUE...] [-- ARG...]:
# starts the program (with the ARGs after --) in the background with default handling of
# the terminating signals (a background job of a script would otherwise inherit an ignored
# SIGINT), unless an option of env(1) such as --ignore-signal=HUP says otherwise. With a
# file size limit (in 1024-byte blocks) SIGXFSZ is ignored, so an oversized write fails
# with EFBIG instead of killing the program.
e2e_start_app()
{
    local limit=
    if [[ ${1:-} == --file-size-limit ]]; then
        limit=$2
        shift 2
    fi
    local env_args=() app_args=()
    while (($#)) && [[ $1 != -- ]]; do
        env_args+=("$1")
        shift
    done
    (($#)) && app_args=("${@:2}")
    local signals=(--default-signal=INT,TERM,HUP,QUIT,PIPE)
    [[ -n $limit ]] && signals+=(--ignore-signal=XFSZ)
    E2E_APP_ERR=$W/app-$((++E2E_APP_RUNS)).err
    E2E_KEYMAP_BEFORE=$(e2e_file_id "$E2E_KEYMAP")
    (
        [[ -z $limit ]] || ulimit -f "$limit"
        exec env "${signals[@]}" "${env_args[@]}" "$E2E_APP" "${app_args[@]}"
    ) >"$W/app-$E2E_APP_RUNS.out" 2>"$E2E_APP_ERR" &
    E2E_APP_PID=$!
    E2E_PIDS+=("$E2E_APP_PID")
    E2E_APP_STATUS=
}

e2e_find_window()
{
    e2e_alive "$E2E_APP_PID" || e2e_fail "the program ended before its window appeared"
    E2E_WIN=$(xdotool search --onlyvisible --name '^Tavorin Settings$' 2>/dev/null | head -n 1)
    [[ -n $E2E_WIN ]]
}

e2e_window_ready()
{
    local WIDTH= HEIGHT= X= Y= SCREEN= WINDOW=
    eval "$(xdotool getwindowgeometry --shell "$E2E_WIN" 2>/dev/null)"
    [[ ${WIDTH:-0} == "$E2E_SCREEN_W" ]] && (($(xdotool getactivewindow 2>/dev/null || echo 0) == E2E_WIN))
}

# Waits until the window is shown, maximised and active, then lets it settle.
e2e_wait_window()
{
    e2e_wait_until "the Tavorin Settings window" e2e_find_window
    e2e_wait_until "the window to be maximised and active" e2e_window_ready
    sleep 0.3
}

# Closes the window through the window manager (_NET_CLOSE_WINDOW, which openbox
# turns into WM_DELETE_WINDOW), as the title bar's close button does.
e2e_close_window()
{
    wmctrl -i -c "$E2E_WIN"
}

# Waits for the program to end and sets E2E_APP_STATUS to its exit status.
e2e_wait_exit()
{
    e2e_wait_until "the program to end" e2e_dead "$E2E_APP_PID"
    local status=0 i
    wait "$E2E_APP_PID" || status=$?
    E2E_APP_STATUS=$status
    # Reaped: its number may now go to another process, which must not be stopped.
    for i in "${!E2E_PIDS[@]}"; do
        [[ ${E2E_PIDS[i]} != "$E2E_APP_PID" ]] || unset 'E2E_PIDS[i]'
    done
    E2E_PIDS=("${E2E_PIDS[@]}")
    if [[ -f $E2E_KEYMAP && $(e2e_file_id "$E2E_KEYMAP") != "$E2E_KEYMAP_BEFORE" ]]; then
        xmllint --noout --relaxng "$E2E_SCHEMA" "$E2E_KEYMAP" 2>"$W/schema.log" \
            || e2e_fail "the key mapping file written does not match $E2E_SCHEMA: $(cat "$W/schema.log")"
    fi
}

# After the window was closed: the program ends with status 0, and the input method
# heard disable, reread and enable, once each.
e2e_expect_clean_close()
{
    e2e_wait_exit
    e2e_expect_status 0
    e2e_expect_bus "disable reread enable"
}

# Changes whenever the file is replaced or rewritten; empty while there is none.
e2e_file_id() { stat -c '%i %s %.9Y' "$1" 2>/dev/null || true; }

e2e_expect_status()
{
    [[ $E2E_APP_STATUS == "$1" ]] || e2e_fail "exit status: expected $1, got $E2E_APP_STATUS"
}

# The accessibility tree's lines (see the top of this file); a11y.py says which objects.
e2e_a11y()
{
    AT_SPI_BUS_ADDRESS=$E2E_A11Y_BUS timeout 10 /usr/bin/python3 "$E2E_A11Y_HELPER" "$@" \
        2>>"$W/a11y.err"
}

# e2e_nth ROLE NAME [N]: prints the line of the Nth matching object on screen.
e2e_nth()
{
    local lines
    lines=$(e2e_a11y "$1" "$2") || return 1
    awk -v n="${3:-1}" 'NR == n { print; found = 1 } END { exit !found }' <<<"$lines"
}

e2e_shows() { e2e_nth "$@" >/dev/null; }

e2e_has_state()
{
    local line states
    line=$(e2e_nth "$1" "$2" "$3") || return 1
    IFS=$'\t' read -r _ _ _ states _ <<<"$line"
    [[ ,$states, == *,"$4",* ]]
}

e2e_texts() { e2e_a11y "$1" "$2" | cut -f 5; }

e2e_take() { E2E_OBJECT=$(e2e_nth "$@"); }

e2e_wait_for()
{
    e2e_wait_until "the ${3:+${3}. }$1 \"$2\" on screen" e2e_take "$@"
}

# True once two readings in a row find the object at the same place (a layout may still
# be moving it).
e2e_settled()
{
    local before=${E2E_OBJECT%%$'\t'*}
    e2e_take "$@" && [[ ${E2E_OBJECT%%$'\t'*} == "$before" ]]
}

# The tree gives places in the window in its own units (on some Qt versions not the
# screen's pixels under a scale factor): they are scaled to the window's real size.
e2e_point_at()
{
    E2E_OBJECT=
    e2e_wait_until "the ${3:+${3}. }$1 \"$2\" on screen, standing still" e2e_settled "$@"
    local x y w h ww wh WIDTH= HEIGHT= X= Y= SCREEN= WINDOW=
    read -r x y w h ww wh _ <<<"$E2E_OBJECT"
    eval "$(xdotool getwindowgeometry --shell "$E2E_WIN")"
    xdotool mousemove --window "$E2E_WIN" $(awk -v x="$x" -v y="$y" -v w="$w" -v h="$h" \
        -v sx="$WIDTH" -v sy="$HEIGHT" -v ww="$ww" -v wh="$wh" \
        'BEGIN { print int((x + w / 2) * sx / ww), int((y + h / 2) * sy / wh) }')
}

e2e_click_on()
{
    e2e_point_at "$@"
    xdotool click 1
    sleep 0.15
}

# e2e_key KEY...: real key presses (xdotool key names, e.g. shift+q, Tab).
e2e_key()
{
    xdotool key --delay 60 "$@"
    sleep 0.15
}

# e2e_type TEXT: types TEXT character by character.
e2e_type()
{
    e2e_map_keys "$1"
    xdotool type --delay 60 "$1"
    sleep 0.15
}

# xdotool types a character that no key of the keyboard map gives by putting it on a
# spare key just for the press; a busy program may read that press after the map is
# restored, and the character is lost. So each such character gets a spare key for good.
e2e_map_keys()
{
    local i code key
    for ((i = 0; i < ${#1}; i++)); do
        printf -v code %d "'${1:i:1}"
        ((code > 126)) || continue
        [[ " $E2E_MAPPED " != *" $code "* ]] || continue
        key=$(xmodmap -pke | awk '$1 == "keycode" && $2 > 8 && NF == 3 && !k { k = $2 } END { print k }')
        [[ -n $key ]] || e2e_fail "no spare key left for '${1:i:1}'"
        xmodmap -e "keycode $key = $(printf '0x%x' $((code > 255 ? 0x1000000 + code : code)))"
        E2E_MAPPED+=" $code"
    done
}


# e2e_expect_file FILE EXPECTED: FILE must hold exactly the bytes of EXPECTED.
e2e_expect_file()
{
    [[ -f $1 ]] || e2e_fail "$1 is missing"
    if ! cmp -s "$1" "$2"; then
        echo "---- expected ($2)" >&2
        od -c "$2" | head -n 40 >&2
        echo "---- actual ($1)" >&2
        od -c "$1" | head -n 40 >&2
        e2e_fail "$1 does not hold the expected bytes"
    fi
}

# e2e_expect_log FILE PATTERN: a line of FILE ends in PATTERN (an extended regular
# expression), after an optional logging category prefix.
e2e_expect_log()
{
    grep -Eq "(^|: )$2\$" "$1" || e2e_fail "no line '$2' in $(basename "$1")"
}

e2e_expect_no_log()
{
    ! grep -Eq "(^|: )$2\$" "$1" || e2e_fail "unexpected line '$2' in $(basename "$1")"
}

# e2e_keymap_one KEYCODE STATE TEXT: the key mapping file as the program writes one
# combination of one key.
e2e_keymap_one()
{
    printf '<hardware-keyboard>\n\t<key-config>\n\t\t<key keycode="%s" state="%s"/>\n' "$1" "$2"
    printf '\t\t<replacement text="%s"/>\n\t</key-config>\n</hardware-keyboard>' "$3"
}

# A listing of FOLDER (names, types, sizes, modes, modification times) that changes
# whenever anything in it is created, removed, replaced or rewritten.
e2e_snapshot_folder() { (cd "$1" && find . -mindepth 1 -printf '%p %y %s %m %T@ %i\n' | sort); }

# The settings the program writes, as key=value lines of the [Tavorin] group.
e2e_settings()
{
    awk '/^\[/ { group = $0; next } group == "[Tavorin]" && NF { print }' "$E2E_SETTINGS" | sort
}

e2e_expect_settings()
{
    [[ -f $E2E_SETTINGS ]] || e2e_fail "$E2E_SETTINGS was not written"
    local seen
    seen=$(e2e_settings)
    [[ $seen == "$1" ]] || e2e_fail "settings: expected '$1', got '$seen'"
}
