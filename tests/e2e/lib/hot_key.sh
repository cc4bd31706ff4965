# What the hot-key scenarios share, on top of lib/desktop.sh. Uses $PID (the running Harbrill).
#   source lib/desktop.sh; source lib/hot_key.sh

# stored_hot_key: prints KEYCODE FLAGS of the "HotKey" record in the standard defaults.
stored_hot_key() {
    $PY - "$XDG_CONFIG_HOME/harbrill/com.mirelda.Harbrill.json" <<'PY'
import json, sys
record = json.load(open(sys.argv[1])).get("HotKey", {}).get("value", {})
print(record.get("KeyCode", {}).get("value"), record.get("ModifierFlags", {}).get("value"))
PY
}

# popup_shown: the recorder's popover is on screen (a utility window of the program, which the window
# manager does not manage).
popup_shown() {
    local w
    for w in $(xdotool search --all --onlyvisible --pid "$PID" 2>/dev/null); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_UTILITY && return 0
    done
    return 1
}

# hide_by_clicking_elsewhere: another program's window (xmessage, started once) takes the focus, so the
# program hides itself.
XM=
hide_by_clicking_elsewhere() {
    if [ -z "$XM" ]; then
        xmessage -geometry 300x80+40+40 "another program" > /dev/null 2>&1 & XM=$!
        track $XM xmessage
    fi
    # Its window may still be on its way to the screen (the window manager reparents it).
    local geometry=
    wait_for 5 eval 'geometry=$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --class Xmessage | head -1)" 2> /dev/null)' ||
        fail "the other program's window did not come up"
    eval "$geometry"
    xdotool mousemove $((X + 20)) $((Y + 10)) click 1
    wait_for 5 eval '! has_mapped_window $PID' || { shot not-hidden; fail "the window stayed up after clicking elsewhere"; }
}
