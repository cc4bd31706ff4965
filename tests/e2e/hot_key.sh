#!/bin/bash
# A new global hot key recorded with real key presses: the hot key a new profile gets (Super+Alt+H) brings
# the window forward; in the recorder popover Super+2 is typed and stored; from outside the program
# Super+2 then brings the window forward, and Super+Alt+H no longer does anything. Last, the file-manager script is
# installed from the status area: it lands executable in the Application Scripts folder and the
# status area moves on to asking for a selection.
# usage: hot_key.sh HARBRILL ARTIFACTS_DIR
set -euo pipefail
APP=$(realpath "$1")
source "$(dirname "$0")/lib/desktop.sh"
source "$(dirname "$0")/lib/hot_key.sh"
e2e_begin hot_key "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" xmessage "$APP"
A="$PY $E2E_TOOLS/atspi.py"
desktop_start sni
write_setup_complete_profile

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$APP" > "$RUN/harbrill.log" 2>&1 & PID=$!
track $PID harbrill
$A wait $PID 15 || fail "the program did not come up on the accessibility bus"
sleep 0.5
! has_mapped_window $PID || fail "the window came up at start although set-up is done"

wait_for 5 eval '[ "$(stored_hot_key)" = "4 1572864" ]' || fail "Super+Alt+H not stored at start: $(stored_hot_key)"
xdotool key super+alt+h
wait_for 5 has_mapped_window $PID || { shot default-did-nothing; fail "Super+Alt+H did not bring the window forward"; }
$A find $PID "Hot Key" 5 || fail "no hot-key hint in the status area"
shot default-brings-window
log "Super+Alt+H brings the window forward"

# The combination in force can itself be typed into the recorder (its grab is let go meanwhile):
# Super+Alt+H completes the recording, so the Super+3 after it is not recorded.
$A press $PID "Hot Key"
wait_for 5 popup_shown || { shot no-recorder; fail "the recorder popover did not open"; }
sleep 0.5
xdotool key super+alt+h
sleep 0.3
xdotool key super+3
sleep 0.5
[ "$(stored_hot_key)" = "4 1572864" ] || { shot in-force-not-recorded; fail "Super+Alt+H did not reach the recorder: $(stored_hot_key)"; }
xdotool key Escape
wait_for 5 eval '! popup_shown' || { shot popover-stays; fail "Escape did not close the popover"; }
log "the combination in force reaches the recorder"

# Record Super+2 in the popover with real key presses.
$A press $PID "Hot Key"
wait_for 5 popup_shown || { shot no-recorder; fail "the recorder popover did not open"; }
sleep 0.5
shot recorder-open
xdotool key super+2
wait_for 5 eval '[ "$(stored_hot_key)" = "19 1048576" ]' || { shot not-recorded; fail "Super+2 not stored: $(stored_hot_key)"; }
sleep 0.3
shot super2-recorded
log "Super+2 recorded and stored"
xdotool key Escape
wait_for 5 eval '! popup_shown' || { shot popover-stays; fail "Escape did not close the popover"; }

hide_by_clicking_elsewhere
shot hidden
xdotool key super+2
wait_for 5 has_mapped_window $PID || { shot super2-did-nothing; fail "Super+2 did not bring the window forward"; }
shot super2-brings-window
log "Super+2 from outside brings the window forward"

hide_by_clicking_elsewhere
xdotool key super+alt+h
sleep 1.5
! has_mapped_window $PID || { shot default-still-works; fail "the old Super+Alt+H still brings the window forward"; }
shot default-does-nothing
alive $PID || fail "the program ended"
log "the old Super+Alt+H does nothing"

SCRIPT="$XDG_DATA_HOME/harbrill/Application Scripts/RodudoDedari.scpt"
[ ! -e "$SCRIPT" ] || fail "the script was there before it was installed"
xdotool key super+2
wait_for 5 has_mapped_window $PID || fail "Super+2 did not bring the window forward again"
$A press $PID "Install Script"
wait_for 5 test -x "$SCRIPT" || { shot not-installed; fail "the script was not installed"; }
[ "$(stat -c %a "$SCRIPT")" = 755 ] || fail "the script's mode is $(stat -c %a "$SCRIPT")"
$A absent $PID "Install Script" 5 || { shot install-tab-stays; fail "the install tab stayed after installing"; }
$A find $PID "Recent Files" 2 || fail "the select-files pane is not shown"
sleep 0.3
shot script-installed
log "the script was installed from the status area (mode 755)"
log "PASS"
