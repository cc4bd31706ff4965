#!/bin/bash
# Reading the file manager's selection: a real file manager from Debian shows a folder of FILES files,
# all selected; each round runs the bundled file-manager script as Harbrill runs it (handler argument,
# the window in its environment) and times it to its answer, beside the plain way a person would hand
# the list over (Ctrl+C, then xclip reading the list, the clipboard left changed). Rounds alternate which
# side goes first; both sides are checked to give every file, and the script to leave the clipboard as
# it was. Medians and spread in milliseconds.
# usage: bench/bench_selection.sh BUILD_DIR/app/harbrill [ROUNDS] [FILES] [FILE_MANAGER...]
set -euo pipefail
APP=$(realpath "$1")
ROUNDS=${2:-15}
FILES=${3:-1000}
shift $(( $# < 3 ? $# : 3 ))
MANAGERS=("${@:-nautilus thunar dolphin}")
read -ra MANAGERS <<< "${MANAGERS[*]}"
HERE=$(cd "$(dirname "$0")" && pwd)
SCRIPT=$HERE/../resources/RodudoDedari.scpt
source "$HERE/../tests/e2e/lib/desktop.sh"
source "$HERE/../tests/e2e/lib/file_managers.sh"
e2e_begin bench_selection "$(dirname "$APP")/bench-selection-logs"
e2e_require "${E2E_BASE_TOOLS[@]}" xclip "$(dirname "$APP")/harbrill-selection"
desktop_start none
export PATH=$(dirname "$APP"):$PATH

ms_of() { local start=$1; echo $(( ($(date +%s%N) - start) / 1000 )); }  # microseconds since start

script_round() {  # prints microseconds; checks every file and the clipboard
    printf 'mine %s' "$RANDOM" | xclip -selection clipboard -i
    local before start count out
    before=$(xclip -selection clipboard -o)
    start=$(date +%s%N)
    out=$(HARBRILL_FRONT_WINDOW=$FM_WINDOW HARBRILL_FRONT_PID=$FM_PID sh "$SCRIPT" finderSelection | tr '\0' '\n')
    local took; took=$(ms_of "$start")
    count=$(grep -c . <<<"$out")
    [ "$count" = "$FILES" ] || fail "the script gave $count of $FILES paths"
    [ "$(xclip -selection clipboard -o)" = "$before" ] || fail "the script left the clipboard changed"
    echo "$took"
}

plain_round() {
    local start count
    start=$(date +%s%N)
    xdotool key ctrl+c
    # The file manager takes the clipboard when it has handled the key.
    until count=$(xclip -selection clipboard -o -t text/uri-list 2>/dev/null | grep -c '^file:'); [ "$count" = "$FILES" ]; do :; done
    ms_of "$start"
}

report() {  # NAME VALUES...: median and spread in milliseconds
    "$PY" - "$@" <<'PYEOF'
import statistics, sys
name, values = sys.argv[1], sorted(int(v) / 1000 for v in sys.argv[2:])
print("%-34s median %7.1f ms   min %7.1f   max %7.1f   (%d rounds)" % (name, statistics.median(values), values[0], values[-1], len(values)))
PYEOF
}

for fm in "${MANAGERS[@]}"; do
    folder=$RUN/$fm
    mkdir -p "$folder"
    for i in $(seq -w 1 "$FILES"); do : > "$folder/file $i.txt"; done
    export FM_FOLDER=$folder
    fm_start "$fm" "$folder"
    read -r x y < <(fm_item_center "$(ls "$folder" | head -1)")
    xdotool mousemove "$x" "$y" click 1 key ctrl+a
    sleep 1
    script=() plain=()
    for round in $(seq "$ROUNDS"); do
        if (( round % 2 )); then script+=("$(script_round)"); plain+=("$(plain_round)")
        else plain+=("$(plain_round)"); script+=("$(script_round)"); fi
    done
    report "$fm: script, clipboard put back" "${script[@]}"
    report "$fm: Ctrl+C and xclip (clipboard changed)" "${plain[@]}"
    kill "$FM_PID"; wait_for 5 gone "$FM_PID" || true
done
