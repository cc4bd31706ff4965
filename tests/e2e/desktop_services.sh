#!/bin/bash
# The desktop services of the main window, as a person meets them: after set-up, a Desktop of 21 items
# brings the "Desktop cluttered" notification (captured by a test notification server on the session
# bus); the settings menu brings up the about box; its "Start at Login" writes the autostart entry, whose
# command, run as a desktop session would at the next login after quitting, starts Harbrill with its
# window hidden, and run again leaves the running Harbrill alone; switched off, the entry is gone.
# usage: desktop_services.sh HARBRILL ARTIFACTS_DIR
set -euo pipefail
APP=$(realpath "$1")
HELPER=$(dirname "$APP")/harbrill-helper
source "$(dirname "$0")/lib/desktop.sh"
e2e_begin desktop_services "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" "$APP" "$HELPER"
A="$PY $E2E_TOOLS/atspi.py"
S="$PY $E2E_TOOLS/sni_client.py"
desktop_start sni
ENTRY=$XDG_CONFIG_HOME/autostart/com.mirelda.HarbrillHelper.desktop

# The settings button opens its menu on a click, as a person does it; "Start at Login" is its first item.
open_settings() {
    local x y
    read -r x y < <($A center "$PID" Settings 5) || fail "no settings button"
    xdotool mousemove "$x" "$y" click 1
    wait_for 5 popup_window "$PID" "" || { shot no-settings-menu; fail "the settings menu did not open"; }
}
close_settings() {
    xdotool key Escape
    wait_for 5 eval '! popup_window "$PID" ""' || fail "the settings menu stayed open"
}
toggle_start_at_login() {
    open_settings
    xdotool key Down Return
    wait_for 5 eval '! popup_window "$PID" ""' || fail "the settings menu stayed open after choosing an item"
}

"$PY" "$E2E_TOOLS/notification_server.py" > "$RUN/notifications.log" 2>&1 & track $! notification-server
wait_for 10 grep -q READY "$RUN/notifications.log" || fail "the test notification server did not start"
mkdir -p "$HOME/Desktop"
for i in $(seq 1 20); do echo "$i" > "$HOME/Desktop/note $i.txt"; done
echo hidden > "$HOME/Desktop/.hidden"

# Also for the harbrill that the login helper starts.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
"$APP" > "$RUN/harbrill.log" 2>&1 & PID=$!
track $PID harbrill
# Set-up with the home-folder grant: the Desktop becomes readable and the main window is loaded, which
# checks the Desktop at once (never checked before).
complete_setup_granting_home $PID
wait_for 10 grep -q '"call": "Notify"' "$RUN/notifications.log" || { shot no-notification; fail "no notification"; }
"$PY" - "$RUN/notifications.log" <<'PYEOF' || fail "the notification is not the Desktop reminder: $(cat "$RUN/notifications.log")"
import json, sys
calls = [json.loads(l) for l in open(sys.argv[1]) if l.startswith("{")]
notes = [c for c in calls if c["call"] == "Notify"]
assert len(notes) == 1, notes
n = notes[0]
assert n["app"] == "Harbrill" and n["icon"] == "com.mirelda.Harbrill", n
assert n["summary"] == "Desktop cluttered", n
assert n["body"] == "Use Harbrill to quickly clean up and organize your computer.", n
assert n["actions"] == ["default", "Close"], n
PYEOF
sleep 0.3
shot desktop-reminder-posted
log "a Desktop of 21 items: $(grep '"Notify"' "$RUN/notifications.log")"

# "About Harbrill" from the settings menu brings the about box up beside the main window.
open_settings
xdotool key Down Down Return
wait_for 5 eval '[ "$(mapped_windows $PID | wc -l)" -ge 2 ]' || { shot no-about-box; fail "About Harbrill showed no about box"; }
sleep 0.3
shot about-box
ABOUT=$(xdotool search --all --onlyvisible --pid $PID --name '^About Harbrill$' | head -1)
[ -n "$ABOUT" ] || fail "no window named About Harbrill"
xdotool windowactivate --sync "$ABOUT" key alt+F4
wait_for 5 eval '[ "$(mapped_windows $PID | wc -l)" -le 1 ]' || { shot about-box-stayed; fail "the about box did not close"; }
has_mapped_window $PID || fail "closing the about box hid the main window"

# Start at Login from the settings menu.
[ ! -e "$ENTRY" ] || fail "an autostart entry before it was asked for"
open_settings
sleep 0.3
shot settings-menu
close_settings
toggle_start_at_login
wait_for 5 test -f "$ENTRY" || { shot no-entry; fail "Start at Login wrote no autostart entry"; }
grep -qxF "Exec=\"$HELPER\"" "$ENTRY" || fail "the entry does not run the helper beside harbrill: $(cat "$ENTRY")"
open_settings
sleep 0.3
shot start-at-login-on
close_settings
log "autostart entry: $(grep ^Exec= "$ENTRY")"

# The next login: Harbrill has quit; the session runs the entry's command.
$S menu-click "Quit Harbrill"
wait_for 10 gone $PID || fail "Quit Harbrill did not end the program"
log "quit; the session runs the entry's command"
run_autostart_entry "$ENTRY" || fail "the entry's command failed"
wait_for 10 eval '[ -n "$(program_pids "$APP")" ]' || fail "the login helper did not start harbrill"
PID=$(program_pids "$APP" | head -1)
track "$PID" harbrill-at-login
log "harbrill started by the helper: pid $PID"
wait_for 10 eval '[ "$(grep -c REGISTERED "$RUN/watcher.log")" -ge 2 ]' || fail "the started harbrill shows no tray item"
! wait_for 2 has_mapped_window "$PID" || { shot window-at-login; fail "the window came up at login"; }
shot started-at-login-hidden
log "started at login by the helper: pid $PID, window hidden"

# A second login run while it runs: nothing comes forward, no second program.
run_autostart_entry "$ENTRY" || fail "the entry's command failed while harbrill runs"
! wait_for 2 has_mapped_window "$PID" || { shot raised-by-helper; fail "the helper brought the running window forward"; }
[ "$(program_pids "$APP" | wc -l)" -eq 1 ] || fail "a second harbrill runs: $(program_pids "$APP")"
log "run again while harbrill runs: left alone"

# Switched off from the menu: the entry goes.
$S activate 0 0
wait_for 5 has_mapped_window "$PID" || fail "activating the item did not show the window"
toggle_start_at_login
wait_for 5 eval '[ ! -e "$ENTRY" ]' || { shot entry-stayed; fail "switching Start at Login off left the entry"; }
open_settings
sleep 0.3
shot start-at-login-off
close_settings
log "Start at Login off: the entry is gone"

$S menu-click "Quit Harbrill"
wait_for 10 gone "$PID" || fail "Quit Harbrill did not end the program"
