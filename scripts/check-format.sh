#!/usr/bin/env bash
# Fails when a C++ source or header differs from what clang-format makes of it under .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run --Werror
