#!/bin/bash
# The file manager's selection, as a person uses it: in a real file manager from Debian (the third
# argument) two of three files are selected with real clicks, the hot key is pressed, and Harbrill holds
# exactly those two; a click on a tile moves exactly those two there. The same with the tray icon
# instead of the hot key. Files the person copied to the clipboard earlier never become the source:
# with nothing selected the hot key holds nothing, a tile click moves nothing, and the clipboard still
# holds the person's copy. From a window that is not a file manager's, nothing is held either.
# usage: selection.sh HARBRILL ARTIFACTS_DIR FILE_MANAGER
set -euo pipefail
APP=$(realpath "$1")
SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
FM_NAME=$3
source "$(dirname "$0")/lib/desktop.sh"
source "$(dirname "$0")/lib/file_managers.sh"
e2e_begin "selection-$FM_NAME" "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" trayer xmessage xclip "$APP" "$(dirname "$APP")/harbrill-selection"
A="$PY $E2E_TOOLS/atspi.py"
desktop_start xembed
source "$(dirname "$0")/lib/harbrill.sh"

WORK=$HOME/Work
DEST=$HOME/Dest
mkdir -p "$WORK"
for f in alpha beta gamma; do echo "$f of $FM_NAME" > "$WORK/$f.txt"; done
set_up_harbrill_with_tile "$DEST"

export FM_FOLDER=$WORK
fm_start "$FM_NAME" "$WORK"
shot file-manager-up

# The hot key in the file manager, two of three selected.
fm_select alpha.txt gamma.txt
shot two-selected
xdotool key super+1
wait_for 5 has_mapped_window $PID || { shot hot-key-did-nothing; fail "the hot key did not bring the window forward"; }
expect_held alpha.txt gamma.txt
shot hot-key-holds-two
click_tile Dest
wait_for 10 eval '[ -f "$DEST/alpha.txt" ] && [ -f "$DEST/gamma.txt" ]' || { shot not-moved; fail "the two files did not arrive"; }
[ -f "$WORK/beta.txt" ] && [ ! -e "$DEST/beta.txt" ] || fail "the third file moved too"
[ ! -e "$WORK/alpha.txt" ] && [ ! -e "$WORK/gamma.txt" ] || fail "the moved files are still in the folder"
[ "$(cat "$DEST/alpha.txt")" = "alpha of $FM_NAME" ] || fail "alpha.txt arrived changed"
sleep 0.5
shot hot-key-moved-two
log "hot key: exactly the two selected files moved"

# The tray icon, two new files of three selected.
for f in delta epsilon; do echo "$f of $FM_NAME" > "$WORK/$f.txt"; done
fm_focus
wait_for 5 eval '! has_mapped_window $PID' || fail "the window stayed up when the file manager took the focus"
wait_for 10 fm_item_center epsilon.txt || { shot new-files-not-shown; fail "$FM_NAME does not show the new files"; }
fm_select delta.txt epsilon.txt
shot tray-two-selected
TRAY=$(tray_window $PID) || fail "no tray icon"
xdotool mousemove --window "$TRAY" 10 10 click 1
wait_for 5 has_mapped_window $PID || { shot tray-did-nothing; fail "the tray icon did not bring the window forward"; }
expect_held delta.txt epsilon.txt
shot tray-holds-two
click_tile Dest
wait_for 10 eval '[ -f "$DEST/delta.txt" ] && [ -f "$DEST/epsilon.txt" ]' || { shot tray-not-moved; fail "the two files did not arrive"; }
[ -f "$WORK/beta.txt" ] || fail "the third file moved too"
sleep 0.5
shot tray-moved-two
log "tray icon: exactly the two selected files moved"

# A file copied to the clipboard earlier, then nothing selected: nothing is held, nothing moves, and
# the clipboard still holds the person's copy.
fm_focus
wait_for 5 eval '! has_mapped_window $PID' || fail "the window stayed up when the file manager took the focus"
fm_select beta.txt
xdotool key ctrl+c
wait_for 5 eval 'xclip -selection clipboard -o -t text/uri-list 2>/dev/null | grep -q beta.txt' ||
    fail "$FM_NAME did not copy beta.txt"
COPIED=$(xclip -selection clipboard -o -t text/uri-list)
fm_click_empty
shot copied-then-nothing-selected
xdotool key super+1
wait_for 5 has_mapped_window $PID || fail "the hot key did not bring the window forward"
expect_nothing_held
shot stale-clipboard-holds-nothing
click_tile Dest
sleep 1
[ -f "$WORK/beta.txt" ] && [ ! -e "$DEST/beta.txt" ] || fail "a tile click moved the file on the clipboard"
[ "$(xclip -selection clipboard -o -t text/uri-list)" = "$COPIED" ] || fail "the clipboard changed: $(xclip -selection clipboard -o -t text/uri-list)"
shot stale-clipboard-tile-click
log "a file copied earlier with nothing selected: nothing held, nothing moved, the clipboard as it was"

# From a window that is not a file manager's (the selection in the file manager stays), nothing is held.
fm_focus
fm_select beta.txt
xmessage -geometry 300x80+40+40 "not a file manager" > /dev/null 2>&1 & XM=$!
track $XM xmessage
wait_for 5 xdotool search --onlyvisible --class Xmessage || fail "xmessage did not come up"
XMW=$(xdotool search --onlyvisible --class Xmessage | head -1)
xdotool windowactivate --sync "$XMW"
wait_for 5 eval '[ "$(xdotool getactivewindow)" = "$XMW" ]' || fail "xmessage did not take the focus"
xdotool key super+1
wait_for 5 has_mapped_window $PID || fail "the hot key did not bring the window forward"
expect_nothing_held
shot other-window-holds-nothing
log "from xmessage: nothing held"
