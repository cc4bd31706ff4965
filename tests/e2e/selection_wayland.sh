#!/bin/bash
# The file manager's selection in a Wayland session, where no program may ask another's window: GNOME
# Files (Nautilus) and Harbrill are both native Wayland clients of weston. Two of three files are
# selected through the accessibility bus, as a screen reader does (weston tells no window's place, so
# there is nothing to click at); the hot key (through the desktop portal) and the tray item each make
# Harbrill hold exactly those two, read through the accessibility bus. All files selected beyond what
# the view lays out give nothing rather than a part of them.
# usage: selection_wayland.sh HARBRILL ARTIFACTS_DIR
set -euo pipefail
APP=$(realpath "$1")
SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
source "$(dirname "$0")/lib/desktop.sh"
source "$(dirname "$0")/lib/wayland.sh"
e2e_begin selection_wayland "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" "${E2E_WAYLAND_TOOLS[@]}" nautilus "$APP" "$(dirname "$APP")/harbrill-selection"
A="$PY $E2E_TOOLS/atspi.py"
S="$PY $E2E_TOOLS/sni_client.py"
desktop_start sni
wayland_start
portal_start
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
APP_RUN=("${WAYLAND_CLIENT[@]}" "$APP")
source "$(dirname "$0")/lib/harbrill.sh"

WORK=$HOME/Work
mkdir -p "$WORK" "$HOME/Many"
for f in alpha beta gamma; do echo "$f" > "$WORK/$f.txt"; done
for i in $(seq -w 1 1500); do : > "$HOME/Many/file $i.txt"; done
set_up_harbrill_with_tile "$HOME/Dest"

nautilus_in() {  # FOLDER: a Nautilus window on weston, with the focus
    "${WAYLAND_CLIENT[@]}" env -u NO_AT_BRIDGE GDK_BACKEND=wayland nautilus --new-window "$1" > "$RUN/nautilus.log" 2>&1 &
    FM_PID=$!
    track $FM_PID nautilus
    wait_for 15 "$PY" "$E2E_TOOLS/atspi.py" find "$FM_PID" "$(basename "$1")" 0 || { shot no-nautilus; fail "Nautilus showed no window"; }
    $A active $FM_PID 10 || { shot nautilus-not-active; fail "Nautilus's window did not take the focus"; }
    sleep 1
}
nautilus_in "$WORK"
# Another Wayland program takes the focus, and Harbrill hides; the file manager is as it was.
hide_harbrill() {
    "${WAYLAND_CLIENT[@]}" weston-flower > /dev/null 2>&1 & FLOWER=$!
    track $FLOWER weston-flower
    $A absent $PID Undo 5 || { shot not-hidden; fail "Harbrill's window stayed up when another program took the focus"; }
    kill $FLOWER
    wait $FLOWER 2>/dev/null || true
}
# One Nautilus at a time: a second one hands its window to the first while that still holds its name.
next_nautilus_in() {
    kill $FM_PID
    wait $FM_PID 2>/dev/null || true  # all its threads gone, its bus name with them
    nautilus_in "$1"
}
select_two() {
    "$PY" "$E2E_TOOLS/file_manager_items.py" "$FM_PID" nautilus select alpha.txt gamma.txt || fail "could not select"
    sleep 0.5
}

select_two
shot two-selected
portal_press token-selection || fail "the portal had no hot key bound"
$A find $PID "Show Selected Files" 5 || { shot nothing-held; fail "nothing held after the hot key"; }
expect_held alpha.txt gamma.txt
shot hot-key-holds-two
$A active $PID 5 || { shot no-focus; fail "the window came forward without the focus"; }
$A press $PID "Cancel Selection"
log "hot key on Wayland: exactly the two selected files held"

# More selected than Nautilus lays out: nothing, and the log says why.
hide_harbrill
next_nautilus_in "$HOME/Many"
"$PY" "$E2E_TOOLS/file_manager_items.py" "$FM_PID" nautilus select-all || fail "could not select all"
# Nautilus counts a selection this large for its accessible view a while after it shows it.
sleep 3
shot all-selected
portal_press token-selection || fail "the portal had no hot key bound"
$A find $PID Undo 5 || fail "the hot key did not bring the window forward"
expect_nothing_held
grep -q "shows only some of the selected items" "$RUN/harbrill.log" || fail "the log does not say why nothing was held"
shot too-many-holds-nothing
log "a selection beyond what Nautilus lays out: nothing held"

# The tray item. (From it the window may come forward without the focus: weston gives none without an
# activation token.)
hide_harbrill
next_nautilus_in "$WORK"
select_two
$S activate 10 10
$A find $PID "Show Selected Files" 5 || { shot tray-nothing-held; fail "nothing held after the tray item"; }
expect_held alpha.txt gamma.txt
shot tray-holds-two
log "tray item on Wayland: exactly the two selected files held"
