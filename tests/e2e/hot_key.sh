#!/bin/bash
# A new global hot key recorded with real key presses: the hot key in force (Super+1) brings the window
# forward; in the recorder popover Super+2 is typed and stored; from outside the program Super+2 then
# brings the window forward, and Super+1 no longer does anything.
# usage: hot_key.sh HARBRILL ARTIFACTS_DIR
set -euo pipefail
APP=$(realpath "$1")
source "$(dirname "$0")/lib/desktop.sh"
e2e_begin hot_key "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" xmessage "$APP"
A="$PY $E2E_TOOLS/atspi.py"
desktop_start sni
write_setup_complete_profile
DEFAULTS="$XDG_CONFIG_HOME/harbrill/com.mirelda.Harbrill.json"

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$APP" > "$RUN/harbrill.log" 2>&1 & PID=$!
track $PID harbrill
$A wait $PID 15 || fail "the program did not come up on the accessibility bus"
sleep 0.5
! has_mapped_window $PID || fail "the window came up at start although set-up is done"

stored_hot_key() {  # prints KEYCODE FLAGS of the stored "HotKey" record
    $PY - "$DEFAULTS" <<'PY'
import json, sys
record = json.load(open(sys.argv[1])).get("HotKey", {}).get("value", {})
print(record.get("KeyCode", {}).get("value"), record.get("ModifierFlags", {}).get("value"))
PY
}

# Another program's window takes the focus, so the program hides itself.
XM=
hide_by_clicking_elsewhere() {
    if [ -z "$XM" ]; then
        xmessage -geometry 300x80+40+40 "another program" > /dev/null 2>&1 & XM=$!
        track $XM xmessage
        wait_for 5 xdotool search --onlyvisible --class Xmessage || fail "the other program's window did not come up"
    fi
    eval "$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --class Xmessage | head -1)")"
    xdotool mousemove $((X + 20)) $((Y + 10)) click 1
    wait_for 5 eval '! has_mapped_window $PID' || { shot not-hidden; fail "the window stayed up after clicking elsewhere"; }
}

wait_for 5 eval '[ "$(stored_hot_key)" = "18 1048576" ]' || fail "Super+1 not stored at start: $(stored_hot_key)"
xdotool key super+1
wait_for 5 has_mapped_window $PID || { shot super1-did-nothing; fail "Super+1 did not bring the window forward"; }
$A find $PID "Hot Key" 5 || fail "no hot-key hint in the status area"
shot super1-brings-window
log "Super+1 brings the window forward"

# Record Super+2 in the popover with real key presses.
$A press $PID "Hot Key"
# The popover is a popup outside the accessibility tree's windows: wait for it on screen.
wait_for 5 eval '[ -n "$(xdotool search --onlyvisible --pid $PID --name "" 2>/dev/null | while read -r w; do xprop -id "$w" WM_STATE | grep -q "not found" && echo "$w"; done)" ]' ||
    { shot no-recorder; fail "the recorder popover did not open"; }
sleep 0.5
shot recorder-open
xdotool key super+2
wait_for 5 eval '[ "$(stored_hot_key)" = "19 1048576" ]' || { shot not-recorded; fail "Super+2 not stored: $(stored_hot_key)"; }
sleep 0.3
shot super2-recorded
log "Super+2 recorded and stored"

hide_by_clicking_elsewhere
shot hidden
xdotool key super+2
wait_for 5 has_mapped_window $PID || { shot super2-did-nothing; fail "Super+2 did not bring the window forward"; }
shot super2-brings-window
log "Super+2 from outside brings the window forward"

hide_by_clicking_elsewhere
xdotool key super+1
sleep 1.5
! has_mapped_window $PID || { shot super1-still-works; fail "the old Super+1 still brings the window forward"; }
shot super1-does-nothing
alive $PID || fail "the program ended"
log "the old Super+1 does nothing"
log "PASS"
