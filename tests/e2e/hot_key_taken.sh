#!/bin/bash
# A hot key another program holds, as a person meets it on GNOME or KDE Plasma, whose docks hold Super+1:
# a test-owned X client grabs Super+1 before Harbrill starts with an earlier user's stored Super+1. The
# user is told at once in a desktop notification (captured by a test notification server) and, once the
# tray item opens the window, in the status area, with the hint struck out; the stored record stays as
# it is. A click on the hint opens the real recorder, where Super+2 is typed; the notification goes, and
# Super+2 pressed from another program's window brings the window forward.
# usage: hot_key_taken.sh HARBRILL ARTIFACTS_DIR
set -euo pipefail
APP=$(realpath "$1")
source "$(dirname "$0")/lib/desktop.sh"
source "$(dirname "$0")/lib/hot_key.sh"
e2e_begin hot_key_taken "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" xmessage "$APP"
A="$PY $E2E_TOOLS/atspi.py"
S="$PY $E2E_TOOLS/sni_client.py"
desktop_start sni
DEFAULTS="$XDG_CONFIG_HOME/harbrill/com.mirelda.Harbrill.json"
mkdir -p "$XDG_CONFIG_HOME/harbrill"
printf '{"SETUPCOMPLETE": {"type": "bool", "value": true}, "HotKey": {"type": "dict", "value": %s}}\n' \
    '{"KeyCode": {"type": "int", "value": 18}, "ModifierFlags": {"type": "int", "value": 1048576}}' > "$DEFAULTS"

"$PY" "$E2E_TOOLS/notification_server.py" > "$RUN/notifications.log" 2>&1 & track $! notification-server
wait_for 10 grep -q READY "$RUN/notifications.log" || fail "the test notification server did not start"
"$PY" "$E2E_TOOLS/grab_key.py" super 1 > "$RUN/grabber.log" 2>&1 & GRABBER=$!
track $GRABBER grab-key
wait_for 10 grep -q READY "$RUN/grabber.log" || fail "the test X client did not grab Super+1"

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$APP" > "$RUN/harbrill.log" 2>&1 & PID=$!
track $PID harbrill
$A wait $PID 15 || fail "the program did not come up on the accessibility bus"

# Told at once, before the window is ever opened.
wait_for 10 grep -q '"call": "Notify"' "$RUN/notifications.log" || { shot no-notification; fail "no notification"; }
"$PY" - "$RUN/notifications.log" <<'PYEOF' || fail "not the notification of a taken hot key: $(cat "$RUN/notifications.log")"
import json, sys
notes = [json.loads(l) for l in open(sys.argv[1]) if l.startswith("{") and '"Notify"' in l]
assert len(notes) == 1, notes
n = notes[0]
assert n["app"] == "Harbrill" and n["summary"] == "Hot key SUPER+1 is taken", n
assert "Another program already uses SUPER+1" in n["body"] and "Click the hot key" in n["body"], n
assert n["actions"] == ["default", "Open Harbrill"], n
PYEOF
NOTE_ID=$(grep '"call": "Notify"' "$RUN/notifications.log" | "$PY" -c 'import json, sys; print(json.loads(sys.stdin.readline())["id"])')
[ "$(stored_hot_key)" = "18 1048576" ] || fail "the stored record changed: $(stored_hot_key)"
log "the notification says Super+1 is taken; the stored record stays"

# The hot key does not work, so the tray item is the way in.
xdotool key super+1
sleep 1
! has_mapped_window $PID || fail "the taken Super+1 brought the window forward"
grep -q PRESS "$RUN/grabber.log" || fail "the other program did not get its Super+1"
$S activate 10 10
wait_for 5 has_mapped_window $PID || { shot no-window; fail "the tray item did not bring the window forward"; }
NOTICE="SUPER+1 is taken by another program: click it to record another hot key."
$A find $PID "$NOTICE" 5 || { shot no-notice; $A tree $PID > "$ARTIFACTS/tree.txt"; fail "the status area does not say the hot key is taken"; }
[ "$($A describe $PID "Hot Key")" = "SUPER+1 (does not work)" ] || fail "the hint: $($A describe $PID "Hot Key")"
sleep 0.3
shot status-area-says-taken
log "the status area says Super+1 is taken"

# A click on the hint records another.
$A press $PID "Hot Key"
wait_for 5 popup_shown || { shot no-recorder; fail "the recorder popover did not open"; }
sleep 0.5
shot recorder-open
xdotool key super+2
wait_for 5 eval '[ "$(stored_hot_key)" = "19 1048576" ]' || { shot not-recorded; fail "Super+2 not stored: $(stored_hot_key)"; }
wait_for 5 grep -q "\"call\": \"CloseNotification\", \"id\": $NOTE_ID" "$RUN/notifications.log" \
    || fail "the notification stayed after another hot key was recorded"
$A absent $PID "$NOTICE" 5 || fail "the status area still says the hot key is taken"
sleep 0.3
shot super2-recorded
xdotool key Escape
wait_for 5 eval '! popup_shown' || { shot popover-stays; fail "Escape did not close the popover"; }
log "Super+2 recorded through the recorder; the notification and the notice went"

# Another program's window takes the focus, so the program hides itself; Super+2 brings it back.
hide_by_clicking_elsewhere
shot another-window-in-front
xdotool key super+2
wait_for 5 has_mapped_window $PID || { shot super2-did-nothing; fail "Super+2 did not bring the window forward"; }
sleep 0.3
shot super2-brings-window
[ "$(grep -c '"call": "Notify"' "$RUN/notifications.log")" = 1 ] || fail "a notification came again"
log "Super+2 from another window brings the window forward"
