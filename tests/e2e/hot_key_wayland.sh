#!/bin/bash
# The hot key in a Wayland session, with Harbrill a native Wayland client of weston. With a desktop
# portal that offers global shortcuts, set-up binds the hot key through it (Super+Alt+H as the
# preferred trigger) and the hint shows the keys in the desktop's words; the portal's Activated, with an
# activation token, brings the hidden window forward with the focus; `harbrill --service` still hands
# files over. Without the portal (as on GNOME 43) the status area says there is no hot key in this
# session, the hint shows no key, and the recorder says so instead of recording.
# usage: hot_key_wayland.sh HARBRILL ARTIFACTS_DIR
set -euo pipefail
APP=$(realpath "$1")
source "$(dirname "$0")/lib/desktop.sh"
source "$(dirname "$0")/lib/wayland.sh"
e2e_begin hot_key_wayland "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" "${E2E_WAYLAND_TOOLS[@]}" "$APP"
A="$PY $E2E_TOOLS/atspi.py"
S="$PY $E2E_TOOLS/sni_client.py"
desktop_start sni
wayland_start
portal_start
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

start_harbrill() {
    "${WAYLAND_CLIENT[@]}" "$APP" >> "$RUN/harbrill.log" 2>&1 & PID=$!
    track $PID harbrill
    $A wait $PID 15 || fail "the program did not come up on the accessibility bus"
}
# The program's windows are Wayland surfaces: it has none on the X server.
no_x11_windows() { [ -z "$(xdotool search --all --pid "$PID" 2>/dev/null)" ]; }

start_harbrill
complete_setup_granting_home $PID
wait_for 5 eval '[ -n "$(portal_calls BindShortcuts)" ]' || { shot not-bound; fail "nothing was bound through the portal"; }
"$PY" - "$RUN/portal.log" <<'PYEOF' || fail "not the hot key that was bound: $(portal_calls BindShortcuts)"
import json, sys
binds = [json.loads(l) for l in open(sys.argv[1]) if l.startswith("{") and '"BindShortcuts"' in l]
assert len(binds) == 1, binds
(shortcut,) = binds[0]["shortcuts"]
assert shortcut["preferred_trigger"] == "LOGO+ALT+h" and shortcut["description"] == "Open Harbrill", shortcut
PYEOF
no_x11_windows || fail "the program has X11 windows: it runs through XWayland, not as a Wayland client"
[ "$($A describe $PID "Hot Key" 5)" = "Meta+Alt+H" ] || { shot hint; fail "the hint does not show the desktop's keys: $($A describe $PID "Hot Key")"; }
sleep 0.3
shot set-up-done-hot-key-bound
log "the hot key is bound through the portal; the hint shows Meta+Alt+H"

# Another Wayland program takes the focus, so Harbrill hides itself.
"${WAYLAND_CLIENT[@]}" weston-flower > "$RUN/flower.log" 2>&1 & FLOWER=$!
track $FLOWER weston-flower
$A absent $PID Undo 5 || { shot not-hidden; fail "the window stayed up when another program took the focus"; }
sleep 0.3
shot another-program-in-front

portal_press token-e2e || fail "the portal had nothing to press"
$A find $PID Undo 5 || { shot not-forward; fail "Activated did not bring the window forward"; }
$A active $PID 5 || { shot no-focus; fail "the window came forward without the focus"; }
grep -q "xdg-activation" "$RUN/harbrill.log" || fail "the activation token was not handed to the compositor"
sleep 0.3
shot activated-window-forward
log "Activated brings the window forward with the focus"

mkdir -p "$HOME/Notes"
echo "a note" > "$HOME/Notes/note.txt"
"${WAYLAND_CLIENT[@]}" "$APP" --service moveHarbrill "$HOME/Notes/note.txt" > "$RUN/move.out" 2>&1 \
    || fail "moveHarbrill refused: $(cat "$RUN/move.out")"
$A find $PID "Cancel Selection" 5 || { shot not-held; $A tree $PID > "$ARTIFACTS/tree.txt"; fail "the handed-over file is not held"; }
sleep 0.3
shot service-hands-over-a-file
log "harbrill --service still hands files over"

# The same session without the portal.
kill "$PID"
wait "$PID" 2>/dev/null || true  # all its threads gone, so its instance lock is free
kill "$FLOWER" 2>/dev/null || true
portal_stop
start_harbrill
sleep 0.5
$S activate 10 10
NOTICE="No global hot key in this session: open Harbrill from its tray icon."
$A find $PID "$NOTICE" 5 || { shot no-notice; $A tree $PID > "$ARTIFACTS/tree.txt"; fail "the status area does not say there is no hot key"; }
[ "$($A describe $PID "Hot Key")" = "No hot key" ] || fail "the hint shows a key that cannot work: $($A describe $PID "Hot Key")"
sleep 0.3
shot no-portal-no-hot-key
$A press $PID "Hot Key"
$A find $PID "No global hot keys in this session" 5 || { shot recorder; fail "the recorder does not say there are no hot keys"; }
$A absent $PID "Shortcut Recorder" 1 || fail "the recorder records in a session without hot keys"
sleep 0.3
shot recorder-says-no-hot-keys
[ -z "$(portal_calls BindShortcuts | sed -n 2p)" ] || fail "something was bound without a portal"
log "without the portal: the status area and the recorder say so, the hint shows no key"
