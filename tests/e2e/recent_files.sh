#!/bin/bash
# Picking recently added files as a person would: after set-up (the home-folder grant) and a destination
# added, the status pane's "Recent Files" opens the browser; the file type "PDF" narrows the list, two of
# three PDFs are ticked, Done makes them the source, and a click on the destination tile moves exactly
# those two there.
# usage: recent_files.sh HARBRILL ARTIFACTS_DIR
set -euo pipefail
APP=$(realpath "$1")
source "$(dirname "$0")/lib/desktop.sh"
e2e_begin recent_files "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" "$APP"
A="$PY $E2E_TOOLS/atspi.py"
desktop_start sni

INBOX=$HOME/Inbox DEST=$HOME/Projects
mkdir -p "$INBOX" "$DEST"
for name in first.pdf second.pdf third.pdf; do printf '%%PDF-1.4\n%% %s\n' "$name" > "$INBOX/$name"; done
echo "not a pdf" > "$INBOX/notes.txt"

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$APP" > "$RUN/harbrill.log" 2>&1 & PID=$!
track $PID harbrill
$A wait $PID 10 || fail "harbrill is not on the accessibility bus"

# Set-up up to the home-folder grant, which lets the program read the files it is handed.
GRANT="Grant Access to Home"
$A find $PID Next 10 || fail "no first-launch page with a Next button"
for page in 2 3 4 5 6; do
    $A find $PID "$GRANT" 0 2>/dev/null && break
    $A turn $PID Next || fail "Next did not turn page $((page - 1))"
done
$A press $PID "$GRANT" || fail "never reached the home-folder page"
$A find $PID Choose 10 || fail "no folder panel with a Choose button"
$A press $PID Choose
$A find $PID Undo 10 || fail "the main controller did not replace the first-launch pages"
"$APP" --service addToLocation "$DEST" > "$RUN/add.out" 2>&1 || fail "addToLocation refused: $(cat "$RUN/add.out")"
$A find $PID Projects 5 || fail "no tile for the added destination"
shot main-window

# The browser opens on all types of this week.
$A find $PID "Recent Files" 5 || { $A tree $PID > "$ARTIFACTS/tree.txt"; fail "no Recent Files button in the status pane"; }
$A press $PID "Recent Files"
$A find $PID "Recent items" 5 || { shot no-browser; $A tree $PID > "$ARTIFACTS/tree.txt"; fail "the browser did not open"; }
$A find $PID "Choose notes.txt" 10 || { shot browser-empty; fail "the browser does not list the new files"; }
sleep 0.3
shot browser-all-types

# "PDF" from the file-type menu (a menu is known by its current choice), by pointer and keyboard.
read -r X Y < <($A center $PID "All Type")
xdotool mousemove "$X" "$Y" click 1
sleep 0.5
xdotool key P Return
$A absent $PID "Choose notes.txt" 10 || { shot not-narrowed; fail "choosing PDF left other files listed"; }
$A find $PID "Choose first.pdf" 10 || { shot no-pdfs; fail "the PDFs are not listed"; }
sleep 0.3
shot browser-pdf

$A press $PID "Choose first.pdf"
$A press $PID "Choose second.pdf"
wait_for 5 $A enabled $PID Done || fail "Done is not enabled with two files chosen"
sleep 0.3
shot two-chosen
$A press $PID Done
$A absent $PID "Recent items" 5 || { shot browser-stayed; fail "the browser stayed after Done"; }
shot browser-done

# A click on the destination tile moves the two chosen files, and only those.
read -r X Y < <($A center $PID Projects)
xdotool mousemove "$X" "$Y" click 1
arrived() { [ -f "$DEST/first.pdf" ] && [ -f "$DEST/second.pdf" ] && [ ! -e "$INBOX/first.pdf" ] && [ ! -e "$INBOX/second.pdf" ]; }
wait_for 10 arrived || { shot move-missing; fail "the chosen files did not arrive in $DEST: $(ls "$DEST" | tr '\n' ' ')"; }
[ -f "$INBOX/third.pdf" ] && [ -f "$INBOX/notes.txt" ] || fail "a file that was not chosen moved"
grep -q "first.pdf" "$DEST/first.pdf" || fail "first.pdf changed on the way"
sleep 0.3
shot files-moved
log "moved: $(ls "$DEST" | tr '\n' ' ')"
