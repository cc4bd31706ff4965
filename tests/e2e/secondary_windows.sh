#!/bin/bash
# The windows the main window starts open where the person is looking, as its dialogs (WM_TRANSIENT_FOR the
# main window), under a real window manager: the conflict window of a move into a folder that already
# holds the name comes up beside the main window, as does the feedback form from the settings menu.
# usage: secondary_windows.sh HARBRILL ARTIFACTS_DIR
set -euo pipefail
APP=$(realpath "$1")
source "$(dirname "$0")/lib/desktop.sh"
e2e_begin secondary_windows "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" "$APP"
A="$PY $E2E_TOOLS/atspi.py"
desktop_start sni

# Frame geometry of a window as the window manager placed it: "x y width height" of its outermost frame.
frame_of() {
    local w=$1 frame
    frame=$(xwininfo -id "$w" -children | sed -n 's/^  Parent window id: \(0x[0-9a-f]*\).*/\1/p')
    # Below the root, the window manager's frame holds the client.
    if [ -n "$frame" ] && ! xwininfo -id "$frame" | grep -q '(the root window)'; then w=$frame; fi
    xwininfo -id "$w" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2}
        END{print x, y, w, h}'
}
window_named() { xdotool search --all --onlyvisible --pid "$PID" --name "$1" 2>/dev/null | head -1; }
# The program's shown window other than the main one.
other_window() {
    local w
    for w in $(mapped_windows "$PID"); do [ "$w" != "$MAIN" ] && { echo "$w"; return 0; }; done
    return 1
}
transient_for() { xprop -id "$1" WM_TRANSIENT_FOR | sed -n 's/.*window id # \(0x[0-9a-f]*\).*/\1/p'; }
same_window() { [ -n "$1" ] && [ -n "$2" ] && [ $(( $1 )) -eq $(( $2 )) ]; }
# beside MAIN_FRAME OTHER_FRAME: the other window lies left or right of the main one, without covering it,
# or, where neither side has room, over it.
beside() {
    "$PY" - "$1" "$2" <<'EOF'
import sys
mx, my, mw, mh = map(int, sys.argv[1].split()); ox, oy, ow, oh = map(int, sys.argv[2].split())
right, left = ox >= mx + mw, ox + ow <= mx
over = ox <= mx + mw // 2 <= ox + ow and oy <= my + mh // 2 <= oy + oh
near = abs(ox - (mx + mw)) <= 40 or abs(mx - (ox + ow)) <= 40
sys.exit(0 if ((right or left) and near and oy < my + mh) or over else 1)
EOF
}

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$APP" > "$RUN/harbrill.log" 2>&1 & PID=$!
track $PID harbrill
complete_setup_granting_home $PID
MAIN=$(mapped_windows $PID | head -1)
[ -n "$MAIN" ] || fail "no main window after set-up"

mkdir -p "$HOME/Dest" "$HOME/src"
echo old > "$HOME/Dest/a.txt"
echo new > "$HOME/src/a.txt"
"$APP" --service addToLocation "$HOME/Dest" > "$RUN/add.out" 2>&1 || fail "addToLocation: $(cat "$RUN/add.out")"
$A find $PID Dest 5 || fail "no tile Dest"

# A move into a folder that holds the name: the conflict window beside the main window, as its dialog.
"$APP" --service moveHarbrill "$HOME/src/a.txt" > "$RUN/move.out" 2>&1 || fail "moveHarbrill: $(cat "$RUN/move.out")"
read -r X Y < <($A center $PID Dest)
xdotool mousemove "$X" "$Y" click 1
$A find $PID "Keep Both" 10 || { shot no-conflict-window; fail "no conflict window"; }
wait_for 5 other_window || fail "the conflict window is not a window of its own"
PROGRESS=$(other_window)
sleep 0.5
shot conflict-window-beside-main
main_frame=$(frame_of "$MAIN"); progress_frame=$(frame_of "$PROGRESS")
log "main window at $main_frame, conflict window at $progress_frame"
same_window "$(transient_for "$PROGRESS")" "$MAIN" \
    || fail "the conflict window is not transient for the main window: $(xprop -id "$PROGRESS" WM_TRANSIENT_FOR)"
beside "$main_frame" "$progress_frame" || fail "the conflict window at $progress_frame is not beside the main window at $main_frame"
$A press $PID Stop
wait_for 5 eval '! other_window' || fail "the conflict window stayed after Stop"

# The feedback form from the settings menu: beside the main window too.
read -r x y < <($A center $PID Settings 5) || fail "no settings button"
xdotool mousemove "$x" "$y" click 1
wait_for 5 popup_window "$PID" "" || fail "the settings menu did not open"
# Its items: Start at Login, About Harbrill, Contact Support, Open Scripts Folder, Send Feedback….
xdotool key Down Down Down Down Down Return
wait_for 5 eval '[ -n "$(window_named "^Send Feedback$")" ]' || { shot no-feedback-window; fail "no feedback window"; }
FEEDBACK=$(window_named "^Send Feedback$")
sleep 0.5
shot feedback-window-beside-main
feedback_frame=$(frame_of "$FEEDBACK")
log "feedback window at $feedback_frame"
same_window "$(transient_for "$FEEDBACK")" "$MAIN" \
    || fail "the feedback window is not transient for the main window: $(xprop -id "$FEEDBACK" WM_TRANSIENT_FOR)"
beside "$main_frame" "$feedback_frame" || fail "the feedback window at $feedback_frame is not beside the main window at $main_frame"
xdotool windowactivate --sync "$FEEDBACK" key Escape 2>/dev/null || true
$A press $PID Close 2>/dev/null || xdotool windowclose "$FEEDBACK"
wait_for 5 eval '[ -z "$(window_named "^Send Feedback$")" ]' || fail "the feedback window did not close"

log "secondary windows open beside the main window as its dialogs"
