#!/bin/bash
# What a screen reader meets during a real copy with a conflict, read through the accessibility tree: the
# status lines read what they show ("2 selected", "Choose a folder above"); over a tile on another volume
# the status says the click will copy; the conflict question is text of its own; the progress row's bar
# is named by the item being copied and where it goes; and at every step no control or text on screen
# is without a name. The other volume is a loop-mounted image (so root) that writes slowly (synchronous,
# journalled data), so that the copy lasts while the tree is read.
# usage: screen_reader.sh HARBRILL ARTIFACTS_DIR
set -euo pipefail
APP=$(realpath "$1")
source "$(dirname "$0")/lib/desktop.sh"
e2e_begin screen_reader "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" "$APP" cmp mkfs.ext4 mount umount truncate
e2e_require_root "mount a loop device"
A="$PY $E2E_TOOLS/atspi.py"
desktop_start sni
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
no_silent_controls() {
    $A unnamed $PID > "$RUN/unnamed.txt" || { shot silent-controls; fail "without a name ($1): $(cat "$RUN/unnamed.txt")"; }
}

mkdir -p "$HOME/Music" "$HOME/src" "$HOME/Big"
IMG=$RUN/big.img
truncate -s 256M "$IMG"
mkfs.ext4 -q -F -L Big -J size=4 "$IMG"
cleanup_mount() { umount "$HOME/Big" 2>/dev/null || umount -l "$HOME/Big" 2>/dev/null || true; }
trap 'rc=$?; cleanup_mount; if [ $rc -eq 0 ]; then e2e_cleanup; else (exit $rc) || e2e_cleanup; fi' EXIT
echo "the new report" > "$HOME/src/report.txt"
head -c 192M /dev/zero > "$HOME/src/big.bin"

"$APP" > "$RUN/harbrill.log" 2>&1 & PID=$!
track $PID harbrill
$A find $PID Next 10 || fail "no first-launch page"
no_silent_controls "the first-launch page"
complete_setup_granting_home $PID
"$APP" --service addToLocation "$HOME/Music" > /dev/null || fail "the folder was refused"
# A drive plugged in that the program may read and write becomes a tile by itself.
mount -o loop,sync,data=journal "$IMG" "$HOME/Big"
echo "kept" > "$HOME/Big/report.txt"
$A find $PID Big 10 || { shot no-drive-tile; fail "the mounted volume did not become a tile"; }
$A find $PID Music 5 || fail "no Music tile"
no_silent_controls "nothing held"

"$APP" --service moveHarbrill "$HOME/src/report.txt" "$HOME/src/big.bin" > /dev/null || fail "the files were refused"
$A find $PID "2 selected" 5 || { shot not-held; fail "the count line does not read its text"; }
$A find $PID "Choose a folder above" 2 || fail "the status line does not read its text"
read -r x y <<< "$($A center $PID Big 2)"
xdotool mousemove "$x" "$y"
$A find $PID 'click copies them to "Big", on another drive' 5 || { shot no-volume-hint; fail "no copy look over a tile on another volume"; }
no_silent_controls "files held"
shot copy-look-over-another-volume

xdotool click 1
question=$($A match $PID '^File "report\.txt" exists in "Big"\. What do you want to do\?$' 10) \
    || { shot no-question; fail "the conflict question is not in the accessibility tree"; }
no_silent_controls "at the conflict"
shot conflict-question
log "read: $question"
$A press $PID "Keep Both"
# The row names the item being copied (or, where the row keeps it, the operation's first item).
bar=$($A match $PID '^Copying "(big\.bin|report\.txt)" to "Big"$' 15 "progress bar") \
    || { shot no-progress-name; $A tree $PID > "$RUN/tree.log"; fail "no progress bar named by the item and its destination"; }
no_silent_controls "while copying"
shot copying
log "read: $bar"

wait_for 60 cmp -s "$HOME/src/big.bin" "$HOME/Big/big.bin" || { shot not-copied; fail "big.bin was not copied"; }
[ "$(cat "$HOME/Big/report.txt")" = kept ] || fail "the existing report was replaced"
[ "$(cat "$HOME/Big/report Copy.txt")" = "the new report" ] || fail "Keep Both kept no copy: $(ls "$HOME/Big")"
[ -f "$HOME/src/big.bin" ] && [ -f "$HOME/src/report.txt" ] || fail "a copy to another volume took the sources"
shot copied-to-another-volume
log "the status lines, the copy look, the conflict question and the progress row were read through the tree"
