# Harbrill itself on the private desktop of desktop.sh, as a person sets it up and reads it.
#
#   source lib/harbrill.sh                # after lib/desktop.sh; needs APP and SOURCE_DIR (the source tree),
#                                         # and APP_RUN where the program starts otherwise (a Wayland client)
#   set_up_harbrill_with_tile FOLDER      # first launch with the home folder granted, the file-manager
#                                         # script installed, FOLDER a tile; sets PID. Hot key: Super+1
#   expect_held NAME...                   # the status area holds exactly these files
#   expect_nothing_held                   # the status area asks for a selection
#   click_tile NAME                       # a real click on the tile NAME

set_up_harbrill_with_tile() {
    local folder=$1 script="$XDG_DATA_HOME/harbrill/Application Scripts/RodudoDedari.scpt"
    mkdir -p "$folder" "$XDG_CONFIG_HOME/harbrill"
    # The hot key of every profile so far; a new profile's default is not what this test is about.
    printf '{"HotKey": {"type": "dict", "value": {"KeyCode": {"type": "int", "value": 18}, "ModifierFlags": {"type": "int", "value": 1048576}}}}\n' \
        > "$XDG_CONFIG_HOME/harbrill/com.mirelda.Harbrill.json"
    local run=("${APP_RUN[@]}")
    [ ${#run[@]} -gt 0 ] || run=("$APP")
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "${run[@]}" > "$RUN/harbrill.log" 2>&1 & PID=$!
    track $PID harbrill
    complete_setup_granting_home $PID
    $A press $PID "Install Script"
    wait_for 5 test -x "$script" || { shot script-not-installed; fail "the file-manager script was not installed"; }
    "$APP" --service addToLocation "$folder" > "$RUN/add.out" 2>&1 || fail "addToLocation refused: $(cat "$RUN/add.out")"
    $A find $PID "$(basename "$folder")" 10 || { shot no-tile; fail "no tile for $folder"; }
    shot harbrill-set-up
    log "harbrill set up: home granted, script installed, tile $(basename "$folder")"
}

# The names of the files the status area holds, sorted, one a line (its list of selected files).
held_names() {
    $A press $PID "Show Selected Files" || return 1
    $A find $PID "Selected Files" 5 >/dev/null || return 1
    local names
    names=$($A children $PID "Selected Files" | sort -u)
    xdotool key Escape
    # The list is a popup: a window the window manager does not manage (as the X11 tray icon is).
    wait_for 5 eval '! popup_window $PID "$(tray_window $PID 2>/dev/null || true)"' || return 1
    printf '%s\n' "$names"
}

expect_held() {
    local want got
    want=$(printf '%s\n' "$@" | sort)
    $A find $PID "Show Selected Files" 5 || { shot nothing-held; fail "nothing held; expected: $*"; }
    got=$(held_names) || { shot no-source-list; fail "the list of selected files did not open"; }
    [ "$got" = "$want" ] || { shot wrong-files-held; fail "held: $(echo $got); expected: $*"; }
    log "held: $(echo $got)"
}

expect_nothing_held() {
    # The reader's answer comes within its time limit; give it that, then look.
    sleep 1.5
    ! $A find $PID "Show Selected Files" 0 2>/dev/null || { shot something-held; fail "files are held: $(held_names | tr '\n' ' ')"; }
    $A find $PID "Recent Files" 2 || { shot no-select-files-pane; fail "the status area does not ask for a selection"; }
}

click_tile() {
    local x y
    read -r x y < <($A center $PID "$1" 5) || fail "no tile $1"
    xdotool mousemove "$x" "$y" click 1
}
