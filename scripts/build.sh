#!/usr/bin/env bash
# Configures and builds Harbrill into build/ (Release with debug information); HARBRILL_WERROR=ON makes
# every compiler warning an error, as the tests' build does.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHARBRILL_WERROR="${HARBRILL_WERROR:-OFF}" >/dev/null
cmake --build build --parallel "$(nproc)"
