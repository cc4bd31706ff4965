#!/bin/bash
# A returning user on a desktop whose tray speaks StatusNotifierItem: the program starts hidden, its item's
# activation shows the window, a second start raises the first and leaves, refused file-manager requests
# leave it unharmed, and "Quit Harbrill" from the item's menu ends it.
# usage: one_instance.sh HARBRILL ARTIFACTS_DIR
set -euo pipefail
APP=$(realpath "$1")
source "$(dirname "$0")/lib/desktop.sh"
e2e_begin one_instance "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" "$APP"
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
$S activate 0 0
wait_for 5 has_mapped_window $PID || fail "activating the item did not show the window"
$A find $PID Undo 5 || fail "the main controller is not in the window"
sleep 0.3
shot item-activated

# A second plain start hands over to the first and leaves.
"$APP" > "$RUN/second.out" 2>&1 && rc=0 || rc=$?
[ $rc -eq 0 ] || fail "the second harbrill exited with $rc: $(cat "$RUN/second.out")"
alive $PID || fail "the first instance ended"
wait_for 5 has_mapped_window $PID || fail "the first instance's window is not forward"
log "second start: exit 0, first instance raised"

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

$S menu-click "Quit Harbrill"
wait_for 10 gone $PID || fail "Quit Harbrill from the item's menu did not end the program"
wait $PID && rc=0 || rc=$?
[ $rc -eq 0 ] || fail "harbrill exited with status $rc"
log "quit from the item's menu: exit status 0"
