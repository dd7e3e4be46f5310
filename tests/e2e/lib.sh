# Harness for the end-to-end tests: the real tavorin-settings on a private X server
# (Xvfb + openbox), a private D-Bus session bus with a monitor on it, and fresh
# settings and data folders, driven with xdotool the way a user drives it.
#
# A test script sources this file, calls e2e_begin, starts the program with
# e2e_start_app, and checks files, the program's output and the bus log. Every wait
# is a bounded poll; every process started here is stopped when the script exits,
# however it exits. On failure the work folder is kept, with a screenshot, and the
# program's error output and the bus log are printed.
#
# Environment (set by tests/CMakeLists.txt):
#   E2E_APP        the tavorin-settings program
#   E2E_WORKDIR    the folder to work in (emptied first); a temporary one if unset
#   E2E_FAILRENAME the fault-injection library of failrename.cpp (only faults.sh)
#   E2E_TIMEOUT    seconds for each wait (default 20)
#   E2E_KEEP       if set, the work folder is kept after a passing test too

set -euo pipefail

: "${E2E_APP:?E2E_APP must name the tavorin-settings program}"
E2E_TIMEOUT=${E2E_TIMEOUT:-20}
E2E_SCREEN_W=1024
E2E_SCREEN_H=768
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
    if [[ -n ${DISPLAY:-} ]]; then
        timeout 10 import -window root "$W/failure.png" 2>/dev/null \
            && echo "screenshot: $W/failure.png" >&2
    fi
    local f
    for f in "$W"/app-*.err "$W"/app-*.out "$W/bus.log"; do
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
    for tool in Xvfb openbox wmctrl xdotool dbus-daemon dbus-monitor dbus-send import convert xmllint; do
        command -v "$tool" >/dev/null \
            || e2e_fail "$tool is missing: scripts/install-deps.sh test installs it"
    done
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
    # Stable looks and sizes, so that the fixed click positions hold; no input
    # method, session manager or accessibility bus from the host.
    export QT_QPA_PLATFORM=xcb QT_STYLE_OVERRIDE=Fusion QT_FONT_DPI=96
    export QT_ENABLE_HIGHDPI_SCALING=0 NO_AT_BRIDGE=1
    unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_IM_MODULE XMODIFIERS GTK_IM_MODULE
    unset SESSION_MANAGER QT_LOGGING_RULES QT_MESSAGE_PATTERN QT_LINUX_ACCESSIBILITY_ALWAYS_ON
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY DISPLAY

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

    e2e_spawn dbus-monitor --address "$DBUS_SESSION_BUS_ADDRESS" --profile \
        "type='signal',path='$E2E_CHANNEL_PATH'" >"$W/bus.log" 2>&1
    e2e_bus_sync
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

# e2e_click X Y: a left click at X, Y inside the window's client area.
e2e_click()
{
    xdotool mousemove --window "$E2E_WIN" "$1" "$2" click 1
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
    xdotool type --delay 60 "$1"
    sleep 0.15
}

e2e_screenshot() { import -window root "$W/$1.png"; }

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
