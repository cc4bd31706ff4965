#!/usr/bin/env bash
# Records the first-launch videos (newfolder, Instant, script, tutorial) from the real program on a private
# desktop (Xvfb, openbox, an X11 tray), driven as a person would, and writes them to resources/videos/ as small
# H.264 files. The program must be built first (scripts/build.sh).
# usage: scripts/make-videos.sh [HARBRILL]    (default: build/app/harbrill)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
APP=$(realpath "${1:-$ROOT/build/app/harbrill}")
OUT=$ROOT/resources/videos
source "$ROOT/tests/e2e/lib/desktop.sh"
e2e_begin videos "$(dirname "$APP")/video-logs"
e2e_require "${E2E_BASE_TOOLS[@]}" trayer xmessage ffmpeg "$APP"
A="$PY $E2E_TOOLS/atspi.py"
desktop_start xembed
# A desktop background, so a window coming up reads as such (ImageMagick sets the root window's background
# and answers 1 even then).
/usr/bin/convert -size 1280x800 gradient:'#5e6b82'-'#3b4252' "$RUN/desktop.png"
display -window root "$RUN/desktop.png" || true

BACKGROUND=0x252a35   # the main window's own background, so the padding blends in
FPS=15

mkdir -p "$HOME"/{Documents,Pictures,Projects,Invoices,Downloads}
# Another program's window, far from the recorded area and up before Harbrill: clicking it hides Harbrill as a
# person's click would.
xmessage -geometry 200x60+20+700 "Files" > /dev/null 2>&1 & track $! xmessage
wait_for 5 xdotool search --onlyvisible --class Xmessage || fail "no other window"
OTHER=$(xdotool search --onlyvisible --class Xmessage | head -1)
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$APP" > "$RUN/harbrill.log" 2>&1 & PID=$!
track $PID harbrill

# Set-up as a new user does it: the pages, then the home folder.
$A find $PID Next 10 || fail "no first-launch page"
until $A find $PID "Grant Access to Home" 0 2>/dev/null; do $A press $PID Next; sleep 0.4; done
$A press $PID "Grant Access to Home"
$A find $PID Choose 10 || fail "no folder panel"
$A press $PID Choose
$A find $PID Undo 10 || fail "no main window after set-up"
for d in Documents Pictures Projects; do "$APP" --service addToLocation "$HOME/$d" > /dev/null; done
$A find $PID Documents 5 || fail "destinations not added"
wait_for 5 has_mapped_window $PID || fail "the main window is not shown"

hide_harbrill() {
    xdotool mousemove --window "$OTHER" 40 20 click 1
    wait_for 5 eval '! has_mapped_window $PID' || fail "Harbrill did not hide"
}

# glide X Y: moves the pointer there in small steps, so the recording shows the motion.
glide() {
    local x0 y0 i
    eval "$(xdotool getmouselocation --shell)"; x0=$X; y0=$Y
    for i in 1 2 3 4 5 6 7 8 9 10; do
        xdotool mousemove $((x0 + ($1 - x0) * i / 10)) $((y0 + ($2 - y0) * i / 10)); sleep 0.03
    done
}
click_node() {
    local x y
    read -r x y < <($A center $PID "$1" 5) || fail "no $1 on screen"
    glide "$x" "$y"; sleep 0.2; xdotool click 1
}
inbox() {  # inbox NAME...: fresh files in Downloads, printed as paths
    local f
    for f in "$@"; do echo "$f" > "$HOME/Downloads/$f"; echo "$HOME/Downloads/$f"; done
}

# record NAME [PAN_AT]: records the screen until stop_recording, which keeps the main window's area (where it
# stands at the end: the window may come up anywhere) as the video: its top 270 rows, and from PAN_AT seconds
# on a slide down to its bottom.
record() {
    RECORDING=$1 PAN_AT=${2:-1000}
    rm -f "$RUN/progress"
    ffmpeg -nostdin -loglevel error -progress "$RUN/progress" -f x11grab -draw_mouse 1 -framerate $FPS \
        -i "$DISPLAY" -c:v libx264 -preset ultrafast -crf 0 -an -y "$RUN/$1.mkv" 2> "$RUN/ffmpeg-$1.log" &
    RECORDER=$!; track $RECORDER "ffmpeg-$1"
    wait_for 10 grep -q '^frame=[1-9]' "$RUN/progress" || fail "ffmpeg does not record"
}
stop_recording() {
    sleep "${1:-0.8}"
    kill -INT $RECORDER
    wait_for 10 gone $RECORDER || fail "ffmpeg did not finish"
    wait $RECORDER 2>/dev/null || true
    [ -s "$RUN/$RECORDING.mkv" ] || fail "no $RECORDING recording: $(cat "$RUN/ffmpeg-$RECORDING.log")"
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$(mapped_windows $PID | head -1)")"
    local slide="min($((HEIGHT - 270)),max(0,(t-$PAN_AT)*400))"
    mkdir -p "$OUT"
    ffmpeg -nostdin -loglevel error -i "$RUN/$RECORDING.mkv" \
        -vf "crop=$WIDTH:$HEIGHT:$X:$Y,crop=$WIDTH:270:0:'$slide',pad=480:270:(ow-iw)/2:0:color=$BACKGROUND" \
        -c:v libx264 -preset veryslow -crf 30 -pix_fmt yuv420p -movflags +faststart -an -y "$OUT/$RECORDING.mp4" \
        || fail "could not encode $RECORDING"
    log "$OUT/$RECORDING.mp4: $(stat -c %s "$OUT/$RECORDING.mp4") bytes"
}

# newfolder: a new folder joins the grid and takes the waiting files at once.
record newfolder
sleep 0.6
"$APP" --service addToLocation "$HOME/Invoices" > /dev/null
$A find $PID Invoices 5 || fail "Invoices not added"
sleep 0.6
mapfile -t files < <(inbox "invoice-march.pdf" "invoice-april.pdf")
"$APP" --service moveHarbrill "${files[@]}" > /dev/null
sleep 0.6
click_node Invoices
wait_for 5 test -f "$HOME/Invoices/invoice-april.pdf" || fail "files not moved to Invoices"
stop_recording 1.0

# Instant: Harbrill waits hidden; handed the photos, it comes up with them and one click files them away.
hide_harbrill
mapfile -t files < <(inbox "beach.jpg" "sunset.jpg")
record Instant
sleep 0.5
"$APP" --service moveHarbrill "${files[@]}" > /dev/null
wait_for 5 has_mapped_window $PID || fail "window not forward"
sleep 0.6
click_node Pictures
wait_for 5 test -f "$HOME/Pictures/sunset.jpg" || fail "photos not moved"
stop_recording 0.8

# script: with the window up, the file manager's action hands the selected files over (the first tile turns
# to "Choose Folder") and a click on a folder takes them.
mapfile -t files < <(inbox "draft.odt" "notes.txt" "plan.odt")
record script
sleep 0.6
"$APP" --service moveHarbrill "${files[@]}" > /dev/null
$A find $PID "Choose Folder" 5 || fail "the files were not taken"
sleep 0.8
click_node Documents
wait_for 5 test -f "$HOME/Documents/plan.odt" || fail "documents not moved"
stop_recording 0.8

# tutorial: files handed over, a click on a folder moves them, Undo puts them back.
mapfile -t files < <(inbox "logo.svg" "budget.ods")
"$APP" --service moveHarbrill "${files[@]}" > /dev/null
wait_for 5 has_mapped_window $PID || fail "window not forward"
sleep 0.3
record tutorial 2.6
sleep 0.5
click_node Projects
wait_for 5 test -f "$HOME/Projects/budget.ods" || fail "files not moved to Projects"
sleep 1.6   # the view slides down to the Undo button
click_node Undo
wait_for 5 test -f "$HOME/Downloads/budget.ods" || fail "Undo did not put the files back"
stop_recording 1.0

log "videos written to $OUT"
