#!/bin/sh
# Harbrill's file-manager selection script. Harbrill runs it with the name of the handler to answer as
# its only argument, right after you call Harbrill up with the hot key or the tray icon.
#
# "finderSelection" prints the paths of the items selected in the file-manager window you were in,
# each ended by a NUL byte, and nothing when that window is no file manager's or nothing is selected.
# Harbrill names that window in HARBRILL_FRONT_WINDOW (and its process in HARBRILL_FRONT_PID);
# harbrill-selection, installed beside harbrill, asks the window for its selection. Your clipboard is
# left as it was.
#
# You may replace this file with a script of your own: print one absolute path a line, or paths ended
# by NUL bytes, and exit with status 0.

case "${1:-}" in
finderSelection)
    exec harbrill-selection
    ;;
*)
    echo "RodudoDedari: no handler named '${1:-}'" >&2
    exit 2
    ;;
esac
