#!/bin/bash
# A new user's first session, driven as a person would on a desktop with an X11 tray: the first-launch
# pages, the home-folder grant, a destination added and three files handed over from the file manager's
# action, a tray click, a tile click that moves the files, Undo, leaving for another program (the window
# hides, the tray item stays and brings it back), and quitting from the tray menu.
# usage: first_use.sh HARBRILL ARTIFACTS_DIR
set -euo pipefail
APP=$(realpath "$1")
source "$(dirname "$0")/lib/desktop.sh"
e2e_begin first_use "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" trayer xmessage "$APP"
A="$PY $E2E_TOOLS/atspi.py"
desktop_start xembed

# The files of the session: three in an inbox, one destination, all in the temporary home.
INBOX=$HOME/Inbox DEST=$HOME/Projects
mkdir -p "$INBOX" "$DEST"
FILES=("$INBOX/notes.txt" "$INBOX/photo 1.png" "$INBOX/report.pdf")
for f in "${FILES[@]}"; do echo "content of $(basename "$f")" > "$f"; done

# Another program's window, up before Harbrill: clicking it later is how a person leaves Harbrill.
xmessage -geometry 200x60+20+700 "another program" > /dev/null 2>&1 & track $! xmessage
wait_for 5 xdotool search --onlyvisible --class Xmessage || fail "the other program's window did not come up"
OTHER=$(xdotool search --onlyvisible --class Xmessage | head -1)

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$APP" > "$RUN/harbrill.log" 2>&1 & PID=$!
track $PID harbrill
$A wait $PID 10 || fail "harbrill is not on the accessibility bus"
$A find $PID Next 10 || { $A tree $PID > "$ARTIFACTS/tree.txt"; fail "no first-launch page with a Next button"; }
wait_for 5 has_mapped_window $PID || fail "the first-launch window is not shown"
shot first-launch-page-1

# Walk the pages with Next until the home-folder page offers its grant button.
GRANT="Grant Access to Home"
for page in 2 3 4 5 6; do
    $A find $PID "$GRANT" 0 2>/dev/null && break
    $A turn $PID Next || fail "Next did not turn page $((page - 1))"
    sleep 1   # a page's video starts playing
    shot first-launch-page-$page
done
$A find $PID "$GRANT" 2 || { $A tree $PID > "$ARTIFACTS/tree.txt"; fail "never reached the home-folder page"; }

# The grant opens the program's folder panel in the home folder; choosing it ends set-up.
$A press $PID "$GRANT"
$A find $PID Choose 10 || { $A tree $PID > "$ARTIFACTS/tree.txt"; fail "no folder panel with a Choose button"; }
sleep 0.3
shot home-folder-panel
$A press $PID Choose
$A find $PID Undo 10 || { shot no-main-controller; $A tree $PID > "$ARTIFACTS/tree.txt"
    fail "the main controller did not replace the first-launch pages"; }
$A absent $PID "$GRANT" 2 || fail "the first-launch page is still on screen"
sleep 0.3
shot main-controller-after-set-up
"$PY" -c 'import json, sys; sys.exit(json.load(open(sys.argv[1]))["SETUPCOMPLETE"]["value"] is not True)' \
    "$XDG_CONFIG_HOME/harbrill/com.mirelda.Harbrill.json" || fail "set-up not recorded as complete"

# A destination from the file manager's action, then three files handed over.
"$APP" --service addToLocation "$DEST" > "$RUN/add.out" 2>&1 || fail "addToLocation refused: $(cat "$RUN/add.out")"
$A find $PID Projects 5 || { shot no-destination-tile; $A tree $PID > "$ARTIFACTS/tree.txt"
    fail "no tile for the added destination"; }
shot destination-added
"$APP" --service moveHarbrill "${FILES[@]}" > "$RUN/move.out" 2>&1 \
    || fail "moveHarbrill refused: $(cat "$RUN/move.out")"
wait_for 5 has_mapped_window $PID || fail "the window did not come forward for the handed-over files"
sleep 0.3
shot files-handed-over

# The tray item brings the window forward.
wait_for 5 tray_window $PID || fail "no tray item embedded in the X11 tray"
TRAY=$(tray_window $PID)
xdotool mousemove --window "$TRAY" 8 8 click 1
wait_for 5 has_mapped_window $PID || fail "the tray click did not show the window"
$A find $PID Projects 5 || fail "the destination tile is not on screen after the tray click"
sleep 0.3
shot tray-clicked

# A click on the destination tile moves the three files there.
read -r X Y < <($A center $PID Projects)
xdotool mousemove "$X" "$Y" click 1
arrived() { local f; for f in "${FILES[@]}"; do [ -f "$DEST/$(basename "$f")" ] && [ ! -e "$f" ] || return 1; done; }
wait_for 10 arrived || { shot move-missing; fail "the files did not move to $DEST"; }
log "moved: $(ls "$DEST" | tr '\n' ' ')"
wait_for 5 $A enabled $PID Undo || fail "Undo is not enabled after the move"
shot files-moved

# Undo puts them back.
$A press $PID Undo
back() { local f; for f in "${FILES[@]}"; do [ -f "$f" ] && [ ! -e "$DEST/$(basename "$f")" ] || return 1; done; }
wait_for 10 back || { shot undo-missing; fail "Undo did not put the files back"; }
for f in "${FILES[@]}"; do grep -qx "content of $(basename "$f")" "$f" || fail "$f changed"; done
shot undone

# Clicking another program hides the window; the tray item stays and brings it back.
xdotool mousemove --window "$OTHER" 40 20 click 1
wait_for 5 eval '! has_mapped_window $PID' || { shot not-hidden; fail "the window stayed up after clicking another program"; }
sleep 0.3
shot hidden-after-clicking-elsewhere
tray_window $PID > /dev/null || fail "the tray item left the X11 tray when the window hid"
TRAY=$(tray_window $PID)
xdotool mousemove --window "$TRAY" 8 8 click 1
wait_for 5 has_mapped_window $PID || { shot tray-click-after-hide; fail "the tray click did not bring the hidden window back"; }
sleep 0.3
shot tray-clicked-after-hide

# Quit from the tray menu. Qt keeps popup menus out of the accessibility tree, so the menu is driven by
# keys: Up from no selection picks its last entry, "Quit Harbrill" (the order one_instance.sh checks).
xdotool mousemove --window "$TRAY" 8 8 click 3
wait_for 5 popup_window $PID "$TRAY" || { shot no-tray-menu; fail "no tray menu"; }
xdotool key Up
sleep 0.2
shot tray-menu-quit-chosen
xdotool key Return
wait_for 10 gone $PID || fail "Quit Harbrill did not end the program"
wait $PID && rc=0 || rc=$?
[ $rc -eq 0 ] || fail "harbrill exited with status $rc"
log "quit from the tray menu: exit status 0"
