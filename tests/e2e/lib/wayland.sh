# A Wayland session on the private desktop of lib/desktop.sh: weston with its x11 back end on the test's
# Xvfb (which gives it a seat and keyboard; its headless back end has none, and Qt 6.4's Wayland plugin
# then crashes painting a text field), and a test-owned desktop portal with global shortcuts on the
# private session bus (tools/portal.py). Programs run as Wayland clients through wayland_run.
#
#   source lib/desktop.sh; source lib/wayland.sh
#   desktop_start sni
#   wayland_start                    # weston on $DISPLAY, its socket in $XDG_RUNTIME_DIR
#   portal_start [--refuse]          # $PORTAL_PID, its calls in $RUN/portal.log
#   "${WAYLAND_CLIENT[@]}" CMD... &   # CMD as a client of weston in a Wayland session ($! is its pid)
#   portal_press [TOKEN]             # the bound shortcut pressed on the desktop

E2E_WAYLAND_TOOLS=(weston weston-flower)
WAYLAND_SOCKET=wayland-e2e

wayland_start() {
    weston --backend=x11-backend.so --use-pixman --width=1280 --height=800 --socket="$WAYLAND_SOCKET" \
        --idle-time=0 --no-config > "$RUN/weston.log" 2>&1 & track $! weston
    wait_for 10 test -S "$XDG_RUNTIME_DIR/$WAYLAND_SOCKET" || fail "weston did not start: $(tail -5 "$RUN/weston.log")"
    # Its desktop shell draws the panel and background once it is up.
    wait_for 10 grep -q "launching '.*weston-desktop-shell'" "$RUN/weston.log" || fail "weston's desktop shell did not start"
    sleep 0.5
    log "weston on $DISPLAY, socket $WAYLAND_SOCKET"
}

# Runs a command as a Wayland client of weston, in a session that says it is Wayland, with the platform
# left to the program (the X11 platform the X tests force is not passed on). env execs the command, so
# the pid of a background run is the command's.
WAYLAND_CLIENT=(env -u QT_QPA_PLATFORM WAYLAND_DISPLAY="$WAYLAND_SOCKET" XDG_SESSION_TYPE=wayland)

portal_start() {
    "$PY" "$E2E_TOOLS/portal.py" "$@" > "$RUN/portal.log" 2>&1 & PORTAL_PID=$!
    track $PORTAL_PID portal
    wait_for 10 grep -q READY "$RUN/portal.log" || fail "the test portal did not start"
}

portal_stop() {
    kill "$PORTAL_PID" 2>/dev/null || true
    wait_for 5 gone "$PORTAL_PID" || fail "the test portal did not stop"
}

# portal_press [TOKEN]: the shortcut bound last is pressed on the desktop; Activated carries TOKEN as its
# activation token when one is given. Fails when nothing is bound.
portal_press() {
    local reply
    reply=$(dbus-send --session --print-reply=literal --dest=org.freedesktop.portal.Desktop \
        /org/freedesktop/portal/desktop org.harbrill.Test.Press string:"${1:-}") || return 1
    [[ $reply == *true* ]]
}

# portal_calls KIND: the portal's calls of one kind so far, one JSON object a line.
portal_calls() { grep "\"call\": \"$1\"" "$RUN/portal.log" || true; }
