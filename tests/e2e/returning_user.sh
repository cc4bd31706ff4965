#!/bin/bash
# A returning user on a desktop whose tray speaks StatusNotifierItem: the program starts hidden, a second
# start brings the first one's window forward and leaves, clicking another program hides the window, the
# item's activation shows it again, refused file-manager requests leave the program unharmed, a window
# minimised from the taskbar comes back, and "Quit Harbrill" from the item's menu ends the program.
# usage: returning_user.sh HARBRILL ARTIFACTS_DIR
set -euo pipefail
APP=$(realpath "$1")
source "$(dirname "$0")/lib/desktop.sh"
e2e_begin returning_user "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" xmessage "$APP"
A="$PY $E2E_TOOLS/atspi.py"
S="$PY $E2E_TOOLS/sni_client.py"
desktop_start sni
write_setup_complete_profile

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$APP" > "$RUN/harbrill.log" 2>&1 & PID=$!
track $PID harbrill
wait_for 10 grep -q REGISTERED "$RUN/watcher.log" || fail "no StatusNotifierItem registered"
log "item: $(grep REGISTERED "$RUN/watcher.log")"
sleep 0.5
! has_mapped_window $PID || { shot window-shown-at-start; fail "the window came up at start although set-up is done"; }
shot started-hidden
labels=$($S menu-labels)
[ "$labels" = "['Open Harbrill', 'Quit Harbrill']" ] || fail "item menu: $labels"

# A second plain start hands over to the first one and leaves.
second_start() {
    local rc
    "$APP" > "$RUN/second.out" 2>&1 && rc=0 || rc=$?
    [ $rc -eq 0 ] || fail "the second harbrill exited with $rc: $(cat "$RUN/second.out")"
    alive $PID || fail "the first instance ended"
}
second_start
wait_for 5 has_mapped_window $PID || { shot not-raised; fail "a second start did not bring the window forward"; }
$A find $PID Undo 5 || fail "the main controller is not in the window"
sleep 0.3
shot raised-by-second-start
log "second start: exit 0, the first instance's window forward"

# Clicking another program's window hides Harbrill's; the item brings it back.
xmessage -geometry 300x80+40+40 "another program" > /dev/null 2>&1 & OTHER=$!
track $OTHER xmessage
# xmessage sets no _NET_WM_PID: found by its class.
wait_for 5 xdotool search --onlyvisible --class Xmessage || fail "the other program's window did not come up"
eval "$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --class Xmessage | head -1)")"
xdotool mousemove $((X + 20)) $((Y + 10)) click 1
wait_for 5 eval '! has_mapped_window $PID' || { shot not-hidden; fail "the window stayed up after clicking another program"; }
shot hidden-after-clicking-elsewhere
$S activate 0 0
wait_for 5 has_mapped_window $PID || fail "activating the item did not show the window"
$A find $PID Undo 5 || fail "the main controller is not in the window"
sleep 0.3
shot item-activated
log "clicking elsewhere hid the window; the item showed it again"

# Refused requests: a clear message, a non-zero status, the running instance unharmed.
mkdir -p "$HOME/Real"
touch "$HOME/Real/file.txt"
refused() {  # refused WHAT ARGS...
    local what=$1 out rc; shift
    out=$("$APP" "$@" 2>&1) && rc=0 || rc=$?
    [ $rc -ne 0 ] || fail "$what: exit status 0"
    [ -n "$out" ] || fail "$what: no message"
    alive $PID || fail "$what: the running instance ended"
    log "$what -> status $rc: $out"
}
refused "unknown service" --service deleteEverything "$HOME/Real/file.txt"
refused "no paths" --service moveHarbrill
refused "relative path" --service moveHarbrill Real/file.txt
refused "missing path" --service moveHarbrill "$HOME/Real/nothing-here.txt"
refused "no service name" --service
[ -f "$HOME/Real/file.txt" ] || fail "a refused request touched the file"
$A find $PID Undo 2 || fail "the window lost its controller after refused requests"
shot after-refused-requests

# A window minimised from the taskbar comes back forward, from a second start and from the item.
minimise() {
    local w
    for w in $(mapped_windows $PID); do xdotool windowminimize "$w"; done
    wait_for 5 eval '! has_mapped_window $PID' || fail "the window could not be minimised"
}
minimise
second_start
wait_for 5 has_mapped_window $PID || { shot minimised-not-raised; fail "a second start left the minimised window down"; }
minimise
$S activate 0 0
wait_for 5 has_mapped_window $PID || { shot minimised-not-activated; fail "the item left the minimised window down"; }
log "a minimised window came forward from a second start and from the item"

$S menu-click "Quit Harbrill"
wait_for 10 gone $PID || fail "Quit Harbrill from the item's menu did not end the program"
wait $PID && rc=0 || rc=$?
[ $rc -eq 0 ] || fail "harbrill exited with status $rc"
log "quit from the item's menu: exit status 0"
