# Real file managers from Debian on the private desktop of desktop.sh: start one in a folder, find its
# items on screen and select them with real clicks, as a person does.
#
#   source lib/file_managers.sh           (after lib/desktop.sh)
#   fm_start NAME FOLDER                  # nautilus thunar dolphin nemo caja pcmanfm pcmanfm-qt; sets FM_PID, FM_WINDOW
#   fm_select NAME...                     # click the first, Ctrl-click the others
#   fm_click_empty                        # a click on the view's empty space (clears the selection)
#   fm_focus                              # the file manager's window forward, with the focus

FM_NAMES=(nautilus thunar dolphin nemo caja pcmanfm pcmanfm-qt)

fm_command() {  # prints the command that opens FOLDER in a new window of file manager NAME
    case $1 in
    nautilus) echo "nautilus --new-window";;
    thunar) echo "thunar";;
    dolphin) echo "dolphin --new-window";;
    nemo) echo "nemo";;
    caja) echo "caja --no-desktop";;
    pcmanfm) echo "pcmanfm";;
    pcmanfm-qt) echo "pcmanfm-qt";;
    *) return 1;;
    esac
}

# The newest viewable window of a process that the window manager manages.
fm_window_of() {
    local w last=
    for w in $(xdotool search --all --onlyvisible --pid "$1" 2>/dev/null); do
        xprop -id "$w" WM_STATE 2>/dev/null | grep -q 'not found' && continue
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_NORMAL || continue
        last=$w
    done
    [ -n "$last" ] && echo "$last"
}

fm_start() {
    FM=$1
    local folder=$2 command
    command=$(fm_command "$FM") || fail "unknown file manager $FM"
    e2e_require "${command%% *}"
    # Outside an LXQt session PCManFM-Qt falls back to Oxygen, which Debian's desktops do not ship: give
    # it the icon theme a desktop would (items without icons take clicks on their names only).
    if [ "$FM" = pcmanfm-qt ] && [ ! -e "$XDG_CONFIG_HOME/pcmanfm-qt/default/settings.conf" ]; then
        mkdir -p "$XDG_CONFIG_HOME/pcmanfm-qt/default"
        printf '[System]\nFallbackIconThemeName=breeze\n' > "$XDG_CONFIG_HOME/pcmanfm-qt/default/settings.conf"
    fi
    # Qt programs read the accessibility switch at start; GTK ones register on their own.
    dbus-send --session --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
        string:org.a11y.Status string:IsEnabled variant:boolean:true 2>/dev/null || true
    (cd "$folder" && exec env -u QT_LINUX_ACCESSIBILITY_ALWAYS_ON -u NO_AT_BRIDGE $command "$folder" > "$RUN/$FM.log" 2>&1) &
    FM_PID=$!
    track $FM_PID "$FM"
    wait_for 20 eval 'FM_WINDOW=$(fm_window_of $FM_PID)' || { shot "$FM-no-window"; fail "$FM showed no window"; }
    # Its items are on the accessibility bus once the folder is read.
    wait_for 20 "$PY" "$E2E_TOOLS/file_manager_items.py" "$FM_PID" "$FM" centers || {
        shot "$FM-no-items"; fail "$FM shows no items"; }
    fm_focus
    log "$FM up: pid $FM_PID, window $FM_WINDOW"
}

fm_focus() {
    xdotool windowactivate --sync "$FM_WINDOW" 2>/dev/null || true
    wait_for 5 eval '[ "$(xdotool getactivewindow 2>/dev/null)" = "$FM_WINDOW" ]' || fail "$FM's window did not take the focus"
}

# Prints "x y" of the item NAME on screen.
fm_item_center() {
    "$PY" "$E2E_TOOLS/file_manager_items.py" "$FM_PID" "$FM" center "$1"
}

fm_select() {
    local first=1 name x y
    for name in "$@"; do
        read -r x y < <(fm_item_center "$name") || fail "$FM shows no item $name"
        log "click $name at $x,$y"
        if [ $first = 1 ]; then
            xdotool mousemove "$x" "$y" click 1
            first=0
        else
            xdotool mousemove "$x" "$y" keydown ctrl click 1 keyup ctrl
        fi
        sleep 0.3
    done
}

fm_click_empty() {
    local x y
    read -r x y < <("$PY" "$E2E_TOOLS/file_manager_items.py" "$FM_PID" "$FM" empty) || fail "$FM: no empty place in its view"
    xdotool mousemove "$x" "$y" click 1
    sleep 0.3
}
