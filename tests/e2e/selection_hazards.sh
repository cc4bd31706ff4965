#!/bin/bash
# The file manager's selection when names and file managers misbehave (in a real file manager from
# Debian, the third argument): every name a person can make (spaces, quotes, a new line, leading dashes,
# non-ASCII) reaches the destination byte for byte, and a name that is not UTF-8 is left where it is, said
# so in the log; none is shortened, merged with another or taken for an option. A file manager that hangs
# is not asked and holds nothing back (the window comes up at once, and the clipboard stays as it was
# when it wakes up); one that quits during the request leaves nothing pending.
# usage: selection_hazards.sh HARBRILL ARTIFACTS_DIR FILE_MANAGER
set -euo pipefail
APP=$(realpath "$1")
SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
FM_NAME=$3
source "$(dirname "$0")/lib/desktop.sh"
source "$(dirname "$0")/lib/file_managers.sh"
e2e_begin "selection-hazards-$FM_NAME" "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" trayer xclip "$APP" "$(dirname "$APP")/harbrill-selection"
A="$PY $E2E_TOOLS/atspi.py"
desktop_start xembed
source "$(dirname "$0")/lib/harbrill.sh"

WORK=$HOME/Work
DEST=$HOME/Dest
mkdir -p "$WORK"
names=("a file with spaces.txt" "quote's \"double\" \`tick\`.txt" $'new\nline.txt' "-rf --help.txt" "--" \
       "été ünï 日本.txt" "#hash;semi&amp|pipe.txt")
for n in "${names[@]}"; do printf '%s' "$n" > "$WORK/$n"; done
NOT_UTF8=$'caf\xe9.txt'
printf 'latin-1' > "$WORK/$NOT_UTF8"
set_up_harbrill_with_tile "$DEST"

export FM_FOLDER=$WORK
fm_start "$FM_NAME" "$WORK"
read -r x y < <(fm_item_center "a file with spaces.txt") || fail "$FM_NAME does not show the files"
xdotool mousemove "$x" "$y" click 1 key ctrl+a
sleep 0.5
shot all-selected
xdotool key super+1
wait_for 5 has_mapped_window $PID || fail "the hot key did not bring the window forward"
$A find $PID "Show Selected Files" 5 || { shot nothing-held; fail "nothing held"; }
shot hostile-names-held
# GTK file managers hand the name that is not UTF-8 over byte for byte, and Harbrill says it cannot
# handle it; Qt ones hand over a name with a replacement character, which names no file: Harbrill
# leaves it out with its alert about items it may not read.
case $FM_NAME in
dolphin|pcmanfm-qt)
    $A find $PID OK 5 || { shot no-alert; fail "no alert about the item left out"; }
    shot left-out-alert
    $A press $PID OK
    $A absent $PID OK 5 || fail "the alert stayed";;
esac
click_tile Dest
wait_for 10 eval '[ "$(ls -A "$DEST" | wc -l)" -ge ${#names[@]} ]' || { shot not-moved; fail "the files did not arrive: $(ls -A "$DEST")"; }
sleep 1
"$PY" - "$DEST" "$WORK" "${names[@]}" <<'PYEOF' || { shot wrong-names; fail "the names did not arrive whole"; }
import os, sys
dest, work, names = os.fsencode(sys.argv[1]), os.fsencode(sys.argv[2]), [os.fsencode(n) for n in sys.argv[3:]]
arrived = sorted(os.listdir(dest))
assert arrived == sorted(names), "arrived %r" % arrived
for n in names:
    assert open(os.path.join(dest, n), "rb").read() == n, n
assert os.listdir(work) == [b"caf\xe9.txt"], os.listdir(work)
PYEOF
case $FM_NAME in
dolphin|pcmanfm-qt) ;;
*) grep -q "not UTF-8" "$RUN/harbrill.log" || fail "the log does not say which name could not be handled";;
esac
shot hostile-names-moved
log "every name arrived byte for byte; the name that is not UTF-8 stayed"

# A file manager that hangs: not asked, nothing held, the window up at once; when it wakes up the
# clipboard is still the person's.
printf 'mine' | xclip -selection clipboard -i
fm_focus
kill -STOP $FM_PID
xdotool key super+1
wait_for 3 has_mapped_window $PID || { kill -CONT $FM_PID; shot hang-held-the-window; fail "a hanging file manager held the window back"; }
expect_nothing_held
kill -CONT $FM_PID
sleep 1
[ "$(xclip -selection clipboard -o)" = mine ] || fail "the clipboard changed when the file manager woke up"
shot hanging-file-manager
log "a hanging file manager: not asked, nothing held, the clipboard as it was"

# A file manager that quits while it is asked: the window comes up, nothing stays pending, and the next
# request from a file manager is answered.
fm_focus
echo again > "$WORK/again.txt"
wait_for 10 fm_item_center again.txt || fail "$FM_NAME does not show again.txt"
fm_select again.txt
xdotool key super+1 && kill -9 $FM_PID
wait_for 5 has_mapped_window $PID || fail "the window did not come up after the file manager quit"
sleep 1.5
alive $PID || fail "harbrill ended"
shot file-manager-quit
fm_start "$FM_NAME" "$WORK"
fm_select again.txt
xdotool key super+1
wait_for 5 has_mapped_window $PID || fail "the hot key did not bring the window forward"
expect_held again.txt
shot next-request-answered
log "a file manager that quit mid-request left nothing pending; the next request was answered"
