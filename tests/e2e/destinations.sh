#!/bin/bash
# Managing destinations on a private desktop. A drive (a loop-mounted image, so root) that the program may
# not read shows the drive hint; granting the start-up volume from its popover makes the drive a tile and
# lets folders added from the file manager's action become tiles; a tile dragged over another with the real
# pointer takes its place, and the new order is on disk the moment it is dropped (the program is killed
# with SIGKILL right after the drop); after a restart the drive and a folder on it go from the grid when the
# drive is unmounted, stay in the stored list, and come back in their places when it is mounted again,
# without a restart.
# usage: destinations.sh HARBRILL ARTIFACTS_DIR
set -euo pipefail
APP=$(realpath "$1")
source "$(dirname "$0")/lib/desktop.sh"
e2e_begin destinations "$2"
e2e_require "${E2E_BASE_TOOLS[@]}" "$APP" mkfs.ext4 mount umount truncate
e2e_require_root "mount a loop device"
A="$PY $E2E_TOOLS/atspi.py"
desktop_start sni
write_setup_complete_profile
SUITE="$XDG_CONFIG_HOME/harbrill/R4KX7PZ2QD.com.mirelda.Harbrill.Locations.json"

# The stored order of the tiles' folder names, pseudo tile left out.
stored_order() {
    "$PY" - "$SUITE" <<'EOF'
import json, os, sys
def plain(value):
    # Typed JSON: every value carries its type.
    if isinstance(value, dict) and "type" in value and "value" in value:
        return plain(value["value"])
    if isinstance(value, list):
        return [plain(v) for v in value]
    if isinstance(value, dict):
        return {k: plain(v) for k, v in value.items()}
    return value
data = plain(json.load(open(sys.argv[1])))
print(" ".join(os.path.basename(e.get("Path", "")) for e in data.get("SharedData", []) if e.get("Path")))
EOF
}

# Starts the program and waits for its tray item, so a second start finds it running.
start_harbrill() {
    local items
    items=$(grep -c REGISTERED "$RUN/watcher.log" || true)
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$APP" >> "$RUN/harbrill.log" 2>&1 & PID=$!
    track $PID harbrill
    wait_for 10 eval '[ "$(grep -c REGISTERED "$RUN/watcher.log")" -gt "$items" ]' || fail "no tray item registered"
}

IMG=$RUN/stick.img
DRIVE=$RUN/media/HBSTICK
mkdir -p "$DRIVE" "$HOME/Alpha" "$HOME/Beta" "$HOME/Gamma"
truncate -s 8M "$IMG"; mkfs.ext4 -q -F -L HBSTICK "$IMG"
mount -o loop "$IMG" "$DRIVE"
# Unmounted on the way out; the common clean-up still sees the script's status.
cleanup_mount() { umount "$DRIVE" 2>/dev/null || umount -l "$DRIVE" 2>/dev/null || true; }
trap 'rc=$?; cleanup_mount; if [ $rc -eq 0 ]; then e2e_cleanup; else (exit $rc) || e2e_cleanup; fi' EXIT

start_harbrill
"$APP" > /dev/null 2>&1 || fail "a second start failed"
wait_for 5 has_mapped_window $PID || { shot no-window; fail "the window did not come forward"; }

# Without access the drive shows only the hint; the start-up volume is granted from its popover.
$A find $PID Drives 5 || { shot no-drive-hint; fail "an unreadable drive did not show the drive hint"; }
$A absent $PID HBSTICK 1 || fail "a drive without access became a tile"
shot drive-hint
# The popover stands right of the drive button; its button is clicked where it stands, as a person would.
read -r dx dy <<< "$($A center $PID Drives 2)"
$A press $PID Drives
sleep 0.5
shot volume-popover
xdotool mousemove $((dx + 33 + 80)) "$dy" click 1
$A find $PID Choose 5 || { shot no-panel; fail "the volume panel did not open"; }
shot volume-panel
$A press $PID Choose
$A find $PID HBSTICK 10 || { shot no-drive-tile; fail "the granted drive is not a tile: $(stored_order)"; }
$A absent $PID Drives 2 || fail "the drive hint stayed after the grant"
shot drive-tile
log "volume granted; the drive is a tile"

# Folders from the file manager's action: covered by the volume's grant.
"$APP" --service addToLocation "$HOME/Alpha" "$HOME/Beta" "$HOME/Gamma" || fail "the folders were refused"
for name in Alpha Beta Gamma; do $A find $PID "$name" 5 || { shot missing-$name; fail "no tile $name"; }; done
order=$(stored_order)
[ "$order" = "Gamma Beta Alpha HBSTICK" ] || fail "stored after adding: $order"
shot tiles
log "tiles: $order"

# Alpha dragged over Gamma with the real pointer, in small steps, then dropped; killed at once.
read -r fx fy <<< "$($A center $PID Alpha 2)"
read -r tx ty <<< "$($A center $PID Gamma 2)"
xdotool mousemove "$fx" "$fy"; sleep 0.3
xdotool mousedown 1
for i in $(seq 1 20); do
    xdotool mousemove $((fx + (tx - fx) * i / 20)) $((fy + (ty - fy) * i / 20)); sleep 0.05
done
sleep 0.3
shot gap-under-the-pointer
xdotool mouseup 1
# Written at the drop, while the program runs on (a loaded machine may take a moment to handle the drop).
wait_for 5 eval '[ "$(stored_order)" = "Alpha Gamma Beta HBSTICK" ]' || true
kill -9 $PID
wait $PID 2>/dev/null || true
order=$(stored_order)
[ "$order" = "Alpha Gamma Beta HBSTICK" ] || fail "stored after the drop and SIGKILL: $order"
log "reordered by a real drag, on disk after SIGKILL: $order"

# The next start shows the stored order; drives come and go while it runs.
start_harbrill
"$APP" > /dev/null 2>&1 || fail "a second start failed"
wait_for 5 has_mapped_window $PID || fail "the window did not come up after the restart"
$A find $PID Alpha 5 || fail "no tile Alpha after the restart"
mkdir -p "$DRIVE/OnStick"
"$APP" --service addToLocation "$DRIVE/OnStick" || fail "the folder on the drive was refused"
$A find $PID OnStick 5 || { shot no-OnStick; fail "no tile OnStick"; }
order=$(stored_order)
[ "$order" = "OnStick Alpha Gamma Beta HBSTICK" ] || fail "stored after adding the drive's folder: $order"
shot after-restart
umount "$DRIVE"
$A absent $PID HBSTICK 5 || { shot drive-still-shown; fail "the unmounted drive stayed a tile"; }
$A absent $PID OnStick 5 || { shot folder-still-shown; fail "the folder of the unmounted drive stayed a tile"; }
$A find $PID Alpha 2 || fail "the other tiles went with the drive"
shot drive-gone
order=$(stored_order)
[ "$order" = "OnStick Alpha Gamma Beta HBSTICK" ] || fail "the drive's destinations were not kept while it is away: $order"
mount -o loop "$IMG" "$DRIVE"
$A find $PID HBSTICK 5 || { shot drive-not-back; fail "a drive mounted while running did not appear"; }
$A find $PID OnStick 5 || { shot folder-not-back; fail "the folder on the drive did not come back with it"; }
shot drive-back
order=$(stored_order)
[ "$order" = "OnStick Alpha Gamma Beta HBSTICK" ] || fail "stored after the drive came back: $order"
log "the drive and its folder went when it was unmounted, stayed stored, and came back in their places when mounted"
