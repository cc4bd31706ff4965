#!/usr/bin/env bash
# Installs what is missing, builds, and makes the Debian package build/harbrill_VERSION-1_ARCH.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cpack --config build/CPackConfig.cmake -B build
