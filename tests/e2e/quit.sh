#!/bin/bash
# Quitting while a copy runs, as a person and as a logout do it. A large copy onto another volume shows its
# progress row; Quit from the tray menu asks first, and once answered the copy stops (nothing half-copied
# is left, the item copied before stays and is named in the log) and the program ends within a moment.
# SIGTERM takes the same path without asking. A copy killed with SIGKILL leaves its partial item, and the
# next start removes it.
# usage: quit.sh HARBRILL ARTIFACTS_DIR
set -euo pipefail
APP=$(realpath "$1")
source "$(dirname "$0")/lib/desktop.sh"
e2e_begin quit "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" "$APP" mkfs.ext4 mount umount truncate
e2e_require_root "mount a second volume"
A="$PY $E2E_TOOLS/atspi.py"
S="$PY $E2E_TOOLS/sni_client.py"
desktop_start sni

# Another volume inside the home folder: a move there is a copy, and the home grant covers it. Mounted
# with every write synchronous, as a slow drive is, so that the copy runs for a few seconds.
DRIVE=$HOME/Drive
mkdir -p "$DRIVE"
truncate -s 256M "$RUN/drive.img"; mkfs.ext4 -q -F "$RUN/drive.img"
mount -o loop,sync "$RUN/drive.img" "$DRIVE"
rmdir "$DRIVE/lost+found"
trap 'rc=$?; umount "$DRIVE" 2>/dev/null || umount -l "$DRIVE" 2>/dev/null || true
      if [ $rc -eq 0 ]; then e2e_cleanup; else (exit $rc) || e2e_cleanup; fi' EXIT
# Files that add up to more than the 10 MiB that show a progress row.
"$PY" - "$HOME/Tree" <<'EOF'
import os, sys
root = sys.argv[1]
for d in range(20):
    os.makedirs("%s/d%02d" % (root, d))
    for f in range(300):
        with open("%s/d%02d/f%03d" % (root, d, f), "wb") as out:
            out.write(b"x" * 4096)
EOF
echo "copied first" > "$HOME/first.txt"

start_harbrill() {
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$APP" >> "$RUN/harbrill.log" 2>&1 & PID=$!
    track $PID harbrill
    $A wait $PID 10 || fail "harbrill is not on the accessibility bus"
}
partials() { find "$DRIVE" -maxdepth 1 -name '.harbrill-partial-*' | wc -l; }
# Hands over the files and clicks the drive's tile; waits for the progress row of the copy.
start_copy() {
    "$APP" --service moveHarbrill "$HOME/first.txt" "$HOME/Tree" > /dev/null || fail "the files were refused"
    wait_for 5 has_mapped_window $PID || fail "the window did not come forward for the files"
    read -r X Y < <($A center $PID Drive 5) || { shot no-drive-tile; fail "no tile for the drive"; }
    xdotool mousemove "$X" "$Y" click 1
    $A find $PID 'Copying "Tree" to "Drive"' 10 || { shot no-progress-row; $A tree $PID > "$ARTIFACTS/tree.txt"; fail "no progress row for the copy"; }
    [ "$(partials)" = 1 ] || fail "the copy writes no partial item"
}
# Guards against a copy going on, which would take minutes on this drive. Ending includes removing what
# the stopped copy wrote, one synchronous unlink a file (about 100 a second), so how long it takes
# depends on how far the copy got before the quit.
END_LIMIT_MS=4000
# Waits for the program to end; its end in milliseconds after the call in ELAPSED.
ended_within() {
    local t0=$(date +%s%N)
    wait_for "$1" gone $PID || return 1
    ELAPSED=$(( ($(date +%s%N) - t0) / 1000000 ))
}

start_harbrill
complete_setup_granting_home $PID
"$APP" --service addToLocation "$DRIVE" > /dev/null || fail "the drive was refused as a destination"
$A find $PID Drive 5 || fail "no tile for the drive"

# Quit from the tray menu while the copy runs: the alert, then the end.
start_copy
shot copy-running
$S menu-click "Quit Harbrill" &
$A find $PID "Move or copying operation in progress" 10 || { shot no-quit-alert; fail "quitting did not ask"; }
shot quit-alert
alive $PID || fail "the program ended before the answer"
$A press $PID Quit
ended_within 5 || { shot still-running; fail "the program did not end after Quit"; }
wait $PID && rc=0 || rc=$?
[ $rc -eq 0 ] || fail "harbrill exited with status $rc"
log "Quit answered: the program ended after $ELAPSED ms"
[ "$ELAPSED" -lt "$END_LIMIT_MS" ] || fail "the program took $ELAPSED ms to end"
shot after-quit
[ "$(partials)" = 0 ] || fail "a half-copied item was left: $(ls -A "$DRIVE")"
[ "$(cat "$DRIVE/first.txt")" = "copied first" ] || fail "the item copied before the quit is not there"
[ ! -e "$DRIVE/Tree" ] || fail "the stopped copy of the tree was left in place"
grep -q "was stopped on quitting; 1 of 2 items had been shifted" "$RUN/harbrill.log" || fail "the log does not name what was shifted"
grep -qF "$HOME/first.txt -> $DRIVE/first.txt" "$RUN/harbrill.log" || fail "the log does not name the shifted item"
rm "$DRIVE/first.txt"

# SIGTERM (a logout, kill): the same path, without asking.
start_harbrill
start_copy
shot copy-running-before-sigterm
kill -TERM $PID
ended_within 5 || { shot still-running-after-sigterm; fail "SIGTERM did not end the program"; }
wait $PID && rc=0 || rc=$?
[ $rc -eq 0 ] || fail "harbrill exited with status $rc on SIGTERM"
log "SIGTERM: the program ended after $ELAPSED ms, status 0"
[ "$ELAPSED" -lt "$END_LIMIT_MS" ] || fail "the program took $ELAPSED ms to end"
[ "$(partials)" = 0 ] || fail "a half-copied item was left after SIGTERM: $(ls -A "$DRIVE")"
[ -f "$DRIVE/first.txt" ] || fail "the item copied before SIGTERM is not there"
rm "$DRIVE/first.txt"

# SIGKILL leaves the partial item; the next start removes it.
start_harbrill
start_copy
kill -KILL $PID
wait $PID 2>/dev/null || true
[ "$(partials)" = 1 ] || fail "a killed copy left no partial item to clean up: $(ls -A "$DRIVE")"
log "killed: $(partials) partial item left"
start_harbrill
wait_for 10 eval '[ "$(partials)" = 0 ]' || fail "the next start did not remove the killed copy's partial item"
grep -q "Removed what a copy killed in an earlier run left" "$RUN/harbrill.log" || fail "the removal is not logged"
"$APP" > /dev/null 2>&1 || fail "a second start failed"
wait_for 5 has_mapped_window $PID || fail "the window did not come forward"
sleep 0.3
shot leftover-removed
log "the partial item of the killed copy is gone after the next start"
