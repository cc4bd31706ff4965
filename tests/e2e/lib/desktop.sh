# A private desktop for driving the real program: Xvfb on a free display, a window manager (openbox unless
# E2E_WM names another: xfwm4, marco or kwin_x11, each with its own default bindings), a private session bus,
# the accessibility bus and registry, and a tray host (the X11 tray through trayer, or a test-owned
# StatusNotifierWatcher). Everything runs in a private temporary folder (home, XDG folders, sockets), so
# several tests can run at once and nothing touches the real home. Every process started here is stopped
# by its pid (checked against its start time) when the script exits.
#
# Use from a script with `set -euo pipefail`:
#   source lib/desktop.sh
#   e2e_begin NAME ARTIFACTS_DIR      # temp folder $RUN, private environment, screenshots into ARTIFACTS_DIR
#   desktop_start xembed|sni|none
#   ... track PID NAME, shot NAME, wait_for SECONDS CMD..., tray_window PID ...

E2E_LIB=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_TOOLS=$(cd "$E2E_LIB/../tools" && pwd)
PY=/usr/bin/python3   # Debian's python: pyatspi, dbus and gi are packaged for it only

E2E_T0=$(date +%s%N)
ms() { echo $(( ($(date +%s%N) - E2E_T0) / 1000000 )); }
log() { printf '[%6s ms] %s\n' "$(ms)" "$*"; }
fail() { log "FAIL: $*"; exit 1; }

# wait_for SECONDS CMD...: runs CMD every 50 ms until it succeeds; false after SECONDS.
wait_for() {
    local end=$(( $(date +%s%N) + ${1%.*} * 1000000000 )); shift
    until "$@" >/dev/null 2>&1; do
        [ "$(date +%s%N)" -lt "$end" ] || return 1
        sleep 0.05
    done
}

# e2e_require TOOL...: fails with the missing ones named (scripts/install-deps.sh installs them).
e2e_require() {
    local missing=() t
    for t in "$@"; do [ -x "$t" ] || command -v "$t" >/dev/null 2>&1 || missing+=("$t"); done
    [ ${#missing[@]} -eq 0 ] || fail "missing tools: ${missing[*]} (scripts/install-deps.sh installs them)"
    "$PY" -c 'import pyatspi, dbus, gi' 2>/dev/null \
        || fail "$PY lacks pyatspi/dbus/gi (packages python3-pyatspi python3-dbus python3-gi)"
}

# e2e_require_root WHY: a scenario that needs root (to mount a volume, say) ends here as skipped without
# it, and fails under CI, where a skip would hide it.
e2e_require_root() {
    [ "$(id -u)" = 0 ] && return 0
    [ "${CI:-}" = true ] && fail "needs root under CI to $1"
    log "SKIP: needs root to $1"
    exit 0
}

# The window manager of desktop_start; set it before sourcing this file (or before desktop_start).
E2E_WM=${E2E_WM:-openbox}
E2E_BASE_TOOLS=(Xvfb "$E2E_WM" xdotool xprop xwininfo import dbus-daemon /usr/libexec/at-spi-bus-launcher
                /usr/libexec/at-spi2-registryd)

# Processes we started, in start order, with their kernel start times (so a reused pid is never signalled).
PIDS=(); STARTS=()
proc_fields() { local s; { read -r s < "/proc/$1/stat"; } 2>/dev/null || return 1; read -ra F <<< "${s##*) }"; }
starttime() { proc_fields "$1" && echo "${F[19]}"; }
ours() { proc_fields "$1" && [ "${F[0]}" != Z ] && [ "${F[19]}" = "$2" ]; }
gone() { ! proc_fields "$1" || [ "${F[0]}" = Z ]; }
alive() { ! gone "$1"; }
track() {
    [ -n "$1" ] && [ -e "/proc/$1" ] || fail "cannot track $2"
    PIDS+=("$1"); STARTS+=("$(starttime "$1")")
}

e2e_cleanup() {
    local rc=$? i j
    trap - EXIT
    for (( i=${#PIDS[@]}-1; i>=0; i-- )); do
        ours "${PIDS[i]}" "${STARTS[i]}" && kill "${PIDS[i]}" 2>/dev/null
    done
    for (( i=${#PIDS[@]}-1; i>=0; i-- )); do
        for j in $(seq 60); do ours "${PIDS[i]}" "${STARTS[i]}" || break; sleep 0.05; done
        if ours "${PIDS[i]}" "${STARTS[i]}"; then log "SIGKILL ${PIDS[i]}"; kill -9 "${PIDS[i]}" 2>/dev/null; fi
        wait "${PIDS[i]}" 2>/dev/null || true
    done
    if [ -n "${RUN:-}" ] && [ -d "$RUN" ]; then
        # Logs are worth keeping next to the screenshots; the rest of the temp folder goes.
        [ -n "${ARTIFACTS:-}" ] && cp "$RUN"/*.log "$ARTIFACTS"/ 2>/dev/null
        rm -rf "$RUN"
    fi
    if [ $rc -eq 0 ]; then log "PASS (screenshots and logs in $ARTIFACTS)"
    else log "FAILED with status $rc (screenshots and logs in $ARTIFACTS)"; fi
    exit $rc
}

# e2e_begin NAME ARTIFACTS_DIR: private temp folder and environment; screenshots and logs go to ARTIFACTS_DIR.
e2e_begin() {
    E2E_NAME=$1; ARTIFACTS=$2; SHOTS=0
    mkdir -p "$ARTIFACTS"; rm -f "$ARTIFACTS"/*.png "$ARTIFACTS"/*.log "$ARTIFACTS"/*.txt
    RUN=$(mktemp -d "${TMPDIR:-/tmp}/harbrill-$E2E_NAME.XXXXXX")
    mkdir -p "$RUN"/{home,runtime}; chmod 700 "$RUN/runtime"
    trap e2e_cleanup EXIT; trap 'exit 130' INT TERM
    unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS SESSION_MANAGER XDG_CURRENT_DESKTOP DESKTOP_SESSION \
          WAYLAND_DISPLAY QT_QPA_PLATFORMTHEME GTK_MODULES DISPLAY XDG_SESSION_TYPE
    export HOME=$RUN/home XDG_RUNTIME_DIR=$RUN/runtime XDG_CONFIG_HOME=$RUN/home/.config \
           XDG_CACHE_HOME=$RUN/home/.cache XDG_DATA_HOME=$RUN/home/.local/share QT_QPA_PLATFORM=xcb \
           NO_AT_BRIDGE=1 TMPDIR=$RUN
    log "$E2E_NAME: temp folder $RUN, artifacts $ARTIFACTS"
}

tray_owned() {
    "$PY" -c 'import ctypes as c, sys
x = c.CDLL("libX11.so.6"); x.XOpenDisplay.restype = c.c_void_p; d = x.XOpenDisplay(None)
x.XInternAtom.argtypes = [c.c_void_p, c.c_char_p, c.c_int]; x.XGetSelectionOwner.argtypes = [c.c_void_p, c.c_ulong]
sys.exit(0 if d and x.XGetSelectionOwner(d, x.XInternAtom(d, b"_NET_SYSTEM_TRAY_S0", 0)) else 1)'
}

# desktop_start TRAY: TRAY is xembed (trayer), sni (test watcher; its log is $RUN/watcher.log) or none.
desktop_start() {
    local tray=$1 pid
    exec 3> "$RUN/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset > "$RUN/xvfb.log" 2>&1 & track $! Xvfb
    exec 3>&-
    wait_for 10 test -s "$RUN/display" || fail "Xvfb did not start"
    export DISPLAY=:$(cat "$RUN/display")

    # Own configuration without service folders: nothing is started on the bus behind the test's back.
    cat > "$RUN/session.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:dir=$RUN</listen><auth>EXTERNAL</auth>
 <policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
 <allow own="*"/></policy></busconfig>
EOF
    { read -r DBUS_SESSION_BUS_ADDRESS; read -r pid; } < <(dbus-daemon --config-file="$RUN/session.conf" --fork \
        --print-address=1 --print-pid=1 2>"$RUN/dbus.log")
    track "$pid" dbus-daemon; export DBUS_SESSION_BUS_ADDRESS

    wm_start

    /usr/libexec/at-spi-bus-launcher --launch-immediately > "$RUN/atspi-launcher.log" 2>&1 & pid=$!
    track $pid at-spi-bus-launcher
    wait_for 10 dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        || fail "no org.a11y.Bus"
    local a11y
    a11y=$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress | tr -d ' ')
    wait_for 5 eval "cat /proc/$pid/task/*/children | grep -q ." || fail "no accessibility bus daemon"
    track "$(cat /proc/$pid/task/*/children | tr ' ' '\n' | grep -m1 .)" a11y-dbus-daemon
    AT_SPI_BUS_ADDRESS=$a11y /usr/libexec/at-spi2-registryd > "$RUN/registryd.log" 2>&1 & track $! at-spi2-registryd
    wait_for 10 dbus-send --bus="$a11y" --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.GetNameOwner string:org.a11y.atspi.Registry || fail "registry not on the accessibility bus"

    case $tray in
    xembed)
        trayer --edge top --align right --widthtype request --height 32 --SetDockType true --transparent false \
            --tint 0x333333 > "$RUN/trayer.log" 2>&1 & track $! trayer
        # Qt asks for the tray once, at start: the selection must be owned before the program starts.
        wait_for 10 tray_owned || fail "no owner of the X11 tray selection";;
    sni)
        "$PY" "$E2E_TOOLS/sni_watcher.py" > "$RUN/watcher.log" 2>&1 & track $! sni-watcher
        wait_for 10 grep -q READY "$RUN/watcher.log" || fail "the test StatusNotifierWatcher did not start";;
    none) ;;
    *) fail "unknown tray kind $tray";;
    esac
    log "desktop $DISPLAY ready (tray: $tray)"
}

# wm_start: the window manager E2E_WM, as its desktop runs it but without a session manager, a compositor
# or settings daemons (each falls back to its shipped defaults, mouse bindings included).
wm_start() {
    case $E2E_WM in
    openbox) openbox --sm-disable > "$RUN/wm.log" 2>&1 & track $! openbox;;
    xfwm4) xfwm4 --compositor=off --sm-client-disable > "$RUN/wm.log" 2>&1 & track $! xfwm4;;
    marco) GSETTINGS_BACKEND=memory marco --sm-disable --no-composite > "$RUN/wm.log" 2>&1 & track $! marco;;
    kwin_x11) KWIN_COMPOSE=N kwin_x11 > "$RUN/wm.log" 2>&1 & track $! kwin_x11;;
    *) fail "unknown window manager $E2E_WM (openbox, xfwm4, marco or kwin_x11)";;
    esac
    wait_for 10 eval 'xprop -root -notype _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || fail "$E2E_WM not up"
    log "window manager: $E2E_WM"
}

# shot NAME: screenshot of the whole screen, numbered in step order.
shot() {
    SHOTS=$((SHOTS + 1))
    local file
    file=$(printf '%s/%02d-%s.png' "$ARTIFACTS" "$SHOTS" "$1")
    import -window root "$file" 2>/dev/null || log "screenshot $1 failed"
    log "screenshot $file"
}

# tray_window PID: the program's embedded tray icon (viewable, carries _XEMBED_INFO, not managed by the
# window manager).
tray_window() {
    local w
    for w in $(xdotool search --all --pid "$1" 2>/dev/null); do
        xprop -id "$w" _XEMBED_INFO | grep -q = || continue
        xprop -id "$w" WM_STATE | grep -q 'not found' || continue
        xwininfo -id "$w" | grep -q IsViewable && { echo "$w"; return 0; }
    done
    return 1
}

# popup_window PID EXCEPT: a viewable window of the program that the window manager does not manage (a popup
# menu), other than EXCEPT (the tray icon).
popup_window() {
    local w
    for w in $(xdotool search --all --onlyvisible --pid "$1" 2>/dev/null); do
        [ "$w" != "$2" ] || continue
        xprop -id "$w" WM_STATE | grep -q 'not found' || continue
        xwininfo -id "$w" | grep -q IsViewable && { echo "$w"; return 0; }
    done
    return 1
}

# mapped_windows PID: the program's viewable top-level windows managed by the window manager.
mapped_windows() {
    local w
    for w in $(xdotool search --all --onlyvisible --pid "$1" 2>/dev/null); do
        xprop -id "$w" WM_STATE | grep -q 'not found' && continue
        echo "$w"
    done
}
has_mapped_window() { [ -n "$(mapped_windows "$1")" ]; }

# A profile whose set-up is done: the standard defaults file says so.
write_setup_complete_profile() {
    mkdir -p "$XDG_CONFIG_HOME/harbrill"
    printf '{"SETUPCOMPLETE": {"type": "bool", "value": true}}\n' > "$XDG_CONFIG_HOME/harbrill/com.mirelda.Harbrill.json"
}

# program_pids PROGRAM: pids of the running PROGRAM processes of this test's session (same runtime folder),
# also those started by others (a login helper), so they can be tracked and stopped by pid.
program_pids() {
    "$PY" - "$(realpath "$1")" "$XDG_RUNTIME_DIR" <<'PYEOF'
import os, sys
exe, runtime = sys.argv[1], ("XDG_RUNTIME_DIR=" + sys.argv[2]).encode()
for pid in filter(str.isdigit, os.listdir("/proc")):
    try:
        with open("/proc/%s/environ" % pid, "rb") as environ:
            if os.readlink("/proc/%s/exe" % pid) == exe and runtime in environ.read().split(b"\0"):
                print(pid)
    except OSError:
        pass
PYEOF
}

# run_autostart_entry FILE: runs the Exec line of an XDG autostart entry as a desktop session does (GLib
# reads and unquotes it), waits for the command to end and answers its exit status.
run_autostart_entry() {
    "$PY" - "$1" <<'PYEOF'
import subprocess, sys
from gi.repository import Gio, GLib
info = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])
if info is None:
    sys.exit("not a usable desktop entry: %s" % sys.argv[1])
ok, argv = GLib.shell_parse_argv(info.get_commandline())
sys.exit(subprocess.run(argv).returncode)
PYEOF
}

# complete_setup_granting_home PID: walks a new user's first-launch pages with Next to the home-folder page,
# grants the home folder in the folder panel and waits for the main window's controller.
complete_setup_granting_home() {
    local pid=$1 page grant="Grant Access to Home" atspi="$PY $E2E_TOOLS/atspi.py"
    $atspi wait "$pid" 10 || fail "harbrill is not on the accessibility bus"
    $atspi find "$pid" Next 10 || fail "no first-launch page with a Next button"
    for page in 2 3 4 5 6; do
        $atspi find "$pid" "$grant" 0 2>/dev/null && break
        $atspi turn "$pid" Next || fail "Next did not turn page $((page - 1))"
    done
    $atspi press "$pid" "$grant" || fail "never reached the home-folder page"
    $atspi find "$pid" Choose 10 || fail "no folder panel with a Choose button"
    $atspi press "$pid" Choose
    $atspi find "$pid" Undo 10 || { shot no-main-controller; fail "the main controller did not replace the first-launch pages"; }
}
