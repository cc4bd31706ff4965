#!/bin/bash
# Start-up benchmark of the real program on a private desktop: exec to tray item registered and window on
# screen, and idle memory, as medians over ROUNDS fresh profiles (see bench_startup.py).
# usage: bench/bench_startup.sh BUILD_DIR/app/harbrill [ROUNDS]   (logs of the run beside the executable)
set -euo pipefail
APP=$(realpath "$1")
ROUNDS=${2:-15}
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../tests/e2e/lib/desktop.sh"
e2e_begin bench_startup "$(dirname "$APP")/bench-startup-logs"
e2e_require "${E2E_BASE_TOOLS[@]}" "$APP"
desktop_start none
"$PY" "$HERE/bench_startup.py" "$APP" "$ROUNDS" "$RUN"
