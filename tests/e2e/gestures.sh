#!/bin/bash
# The gestures of the main window under a real window manager (openbox unless the third argument names
# xfwm4, marco or kwin_x11), as a person makes them: Ctrl+click on a tile copies; Alt+click copies where
# the window manager lets Alt through and shifts nothing where it keeps Alt+click for moving windows;
# a tile focused with the arrow keys takes Enter (a move) and Ctrl+Enter (a copy); a screen reader's
# Press moves; three files dragged from Nautilus while Harbrill's window is up keep the window up, light
# the tile and become the held files, which a click then moves; the same drag dropped elsewhere leaves
# the window hidden and shifts nothing.
# usage: gestures.sh HARBRILL ARTIFACTS_DIR [WINDOW_MANAGER]
set -euo pipefail
APP=$(realpath "$1")
export E2E_WM=${3:-${E2E_WM:-openbox}}
source "$(dirname "$0")/lib/desktop.sh"
e2e_begin "gestures-$E2E_WM" "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" "$APP" nautilus cmp convert
source "$(dirname "$0")/lib/file_managers.sh"
A="$PY $E2E_TOOLS/atspi.py"
# Their shipped bindings move windows with Alt+drag: the press never reaches the program.
case $E2E_WM in
kwin_x11) ALT_REACHES=yes;;
*) ALT_REACHES=no;;
esac
desktop_start sni
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 GSETTINGS_BACKEND=memory

mkdir -p "$HOME/Music" "$HOME/Pictures" "$HOME/src" "$HOME/drag"
payload() { head -c "$2" /dev/urandom > "$1"; }
moved() { [ -f "$2/$(basename "$1")" ] && [ ! -e "$1" ]; }
copied() { [ -f "$1" ] && cmp -s "$1" "$2/$(basename "$1")"; }

"$APP" > "$RUN/harbrill.log" 2>&1 & PID=$!
track $PID harbrill
complete_setup_granting_home $PID
"$APP" --service addToLocation "$HOME/Music" "$HOME/Pictures" > /dev/null || fail "the folders were refused"
$A find $PID Music 5 || fail "no Music tile"

# Files handed over as the file manager's action does; the status pane shows them.
hold() {
    local label="$# selected"
    [ $# -gt 1 ] || label=$(basename "$1")
    "$APP" --service moveHarbrill "$@" > /dev/null || fail "harbrill refused $*"
    $A find $PID "$label" 5 || { shot not-held; fail "the held files are not shown as $label"; }
    wait_for 5 has_mapped_window $PID || fail "the window did not come forward with the files"
}
at() { $A center $PID "$1" 2 || fail "no $1 on screen"; }
# The average colour of a small square of a screenshot, as 'R G B'.
pixel() { convert "$1" -crop 6x6+"$2"+"$3" -resize 1x1\! -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:; }
last_shot() { ls "$ARTIFACTS"/*.png | tail -1; }

# Ctrl+click copies: the source stays, the copy is the same bytes.
payload "$HOME/src/one.bin" 3000000
hold "$HOME/src/one.bin"
$A unnamed $PID > "$RUN/unnamed.txt" || fail "controls or texts without a name: $(cat "$RUN/unnamed.txt")"
read -r x y <<< "$(at Music)"
xdotool mousemove "$x" "$y"
$A find $PID 'click moves them to "Music" (hold Ctrl to copy)' 5 || { shot no-hint; fail "no hint for the pointed tile"; }
xdotool keydown ctrl
$A find $PID 'click copies them to "Music"' 5 || { shot no-copy-look; fail "holding Ctrl did not turn the grid to copy"; }
shot ctrl-held-over-music
xdotool click 1
xdotool keyup ctrl
wait_for 10 copied "$HOME/src/one.bin" "$HOME/Music" || { shot not-copied; fail "Ctrl+click did not copy"; }
shot ctrl-click-copied
log "Ctrl+click copied one.bin into Music; the source stayed"

# Alt+click: a copy where Alt reaches the program, nothing at all where the window manager takes it.
payload "$HOME/src/two.bin" 3000000
hold "$HOME/src/two.bin"
read -r x y <<< "$(at Pictures)"
xdotool mousemove "$x" "$y"
sleep 0.3
xdotool keydown alt
sleep 0.3
shot alt-held-over-pictures
xdotool click 1
sleep 0.2
xdotool keyup alt
if [ $ALT_REACHES = yes ]; then
    wait_for 10 copied "$HOME/src/two.bin" "$HOME/Pictures" || { shot alt-not-copied; fail "Alt+click did not copy"; }
    log "Alt+click reached the program under $E2E_WM and copied"
else
    sleep 2
    [ -f "$HOME/src/two.bin" ] && [ ! -e "$HOME/Pictures/two.bin" ] || { shot alt-shifted; fail "Alt+click taken by $E2E_WM shifted"; }
    shot alt-click-taken-by-the-window-manager
    # The files are still held: a plain click moves them.
    has_mapped_window $PID || fail "the window went with Alt+click"
    $A find $PID two.bin 2 || fail "Alt+click taken by $E2E_WM let the held files go"
    xdotool mousemove "$x" "$y" click 1
    wait_for 10 moved "$HOME/src/two.bin" "$HOME/Pictures" || { shot not-moved; fail "the click after did not move"; }
    log "Alt+click was $E2E_WM's: nothing shifted; the plain click after moved"
fi

# The keyboard: the arrow keys reach Music, Enter moves into it, Ctrl+Enter copies.
focus_music() {
    local i
    for i in 1 2 3 4 5 6; do
        [ "$($A focused $PID 2>/dev/null)" = Music ] && return 0
        xdotool key Right
        sleep 0.2
    done
    [ "$($A focused $PID 2>/dev/null)" = Music ]
}
payload "$HOME/src/three.bin" 3000000
hold "$HOME/src/three.bin"
xdotool mousemove 5 5
focus_music || { shot no-keyboard-focus; fail "the arrow keys did not reach the Music tile"; }
$A find $PID 'click moves them to "Music" (hold Ctrl to copy)' 2 || fail "no hint for the focused tile"
shot music-focused-by-keyboard
xdotool key Return
wait_for 10 moved "$HOME/src/three.bin" "$HOME/Music" || { shot enter-not-moved; fail "Enter did not move into Music"; }
payload "$HOME/src/four.bin" 3000000
hold "$HOME/src/four.bin"
focus_music || fail "the focus left the Music tile"
xdotool key ctrl+Return
wait_for 10 copied "$HOME/src/four.bin" "$HOME/Music" || { shot ctrl-enter-not-copied; fail "Ctrl+Enter did not copy"; }
log "Enter on the focused tile moved, Ctrl+Enter copied"

# A screen reader's Press.
payload "$HOME/src/five.bin" 3000000
hold "$HOME/src/five.bin"
$A press $PID Pictures
wait_for 10 moved "$HOME/src/five.bin" "$HOME/Pictures" || { shot press-not-moved; fail "the tile's Press action did not move"; }
log "the Pictures tile's accessible Press moved five.bin"

# Three files selected in Nautilus, then dragged from it while Harbrill's window is up.
for name in d1 d2 d3; do payload "$HOME/drag/$name.txt" 20000; done
fm_start nautilus "$HOME/drag"
xdotool windowmove "$FM_WINDOW" 0 60 windowsize "$FM_WINDOW" 700 560
sleep 0.5
# Selected with real clicks; clicking into the file manager hides Harbrill, as clicking elsewhere does.
select_in_nautilus() {
    fm_select "$@"
    wait_for 5 eval '! has_mapped_window $PID' || fail "Harbrill stayed up when the file manager took the focus"
}
# Forward, and beside Nautilus at the right edge of the screen.
bring_harbrill_forward() {
    local X Y WIDTH HEIGHT SCREEN WINDOW
    "$APP" > /dev/null 2>&1 || fail "a second start failed"
    wait_for 5 has_mapped_window $PID || fail "the window did not come forward"
    WINDOW=$(mapped_windows $PID | head -1)
    eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
    xdotool windowmove "$WINDOW" $((1280 - WIDTH - 8)) 80
    sleep 0.5
}
# A press on a selected file (NAME), then the pointer in small steps to X Y, as a hand drags.
drag_from_nautilus_to() {
    local fx fy i
    read -r fx fy < <(fm_item_center "$3") || fail "Nautilus shows no $3"
    xdotool mousemove "$fx" "$fy"
    sleep 0.3
    xdotool mousedown 1
    for i in $(seq 1 30); do
        xdotool mousemove $((fx + ($1 - fx) * i / 30)) $((fy + ($2 - fy) * i / 30))
        sleep 0.04
    done
    sleep 0.5
}

select_in_nautilus d1.txt d2.txt d3.txt
shot three-files-selected-in-nautilus
bring_harbrill_forward
read -r tx ty <<< "$(at Music)"
shot harbrill-beside-nautilus
before=$(pixel "$(last_shot)" $((tx - 44)) $((ty + 36)))
drag_from_nautilus_to "$tx" "$ty" d1.txt
has_mapped_window $PID || { shot hidden-during-drag; fail "the window hid when the drag started in Nautilus"; }
shot dragging-over-music
read -r r g b <<< "$(pixel "$(last_shot)" $((tx - 44)) $((ty + 36)))"
[ $((b - r)) -gt 40 ] || fail "the Music tile did not light under the drag (before: $before, during: $r $g $b)"
xdotool mouseup 1
sleep 1
has_mapped_window $PID || { shot hidden-after-drop; fail "the window hid after the drop"; }
$A find $PID "3 selected" 5 || { shot not-held-after-drop; fail "the dropped files are not held"; }
shot dropped-on-music
xdotool mousemove "$tx" "$ty" click 1
for name in d1 d2 d3; do
    wait_for 10 moved "$HOME/drag/$name.txt" "$HOME/Music" || { shot drop-not-moved; fail "$name.txt did not arrive in Music"; }
done
shot files-arrived
log "a drag of three files from Nautilus kept the window up, lit the tile; a click moved them"

# The same drag, over the tile and out again, dropped on no window: nothing held, nothing shifted.
for name in e1 e2 e3; do payload "$HOME/drag/$name.txt" 20000; done
wait_for 10 fm_item_center e3.txt || fail "Nautilus does not show the new files"
select_in_nautilus e1.txt e2.txt e3.txt
bring_harbrill_forward
read -r tx ty <<< "$(at Music)"
drag_from_nautilus_to "$tx" "$ty" e1.txt
xdotool mousemove 1000 720
sleep 0.5
shot dragged-out-again
xdotool mouseup 1
wait_for 5 eval '! has_mapped_window $PID' || { shot not-hidden; fail "the window stayed up after a drop elsewhere"; }
shot dropped-elsewhere
sleep 1
for name in e1 e2 e3; do
    [ -f "$HOME/drag/$name.txt" ] && [ ! -e "$HOME/Music/$name.txt" ] || fail "$name.txt was shifted by a drop elsewhere"
done
"$APP" > /dev/null 2>&1
wait_for 5 has_mapped_window $PID || fail "the window did not come forward"
$A absent $PID "3 selected" 2 || fail "a drop elsewhere left the files held"
log "dropped elsewhere: the window hid, nothing held, nothing shifted"
