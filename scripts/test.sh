#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then runs the unit tests once more on a Debug
# build with AddressSanitizer and UndefinedBehaviorSanitizer (build-sanitize/), where a use of freed or
# half-destroyed memory, which a release build may survive by luck, aborts the test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# An include across the layers fails here, before anything is built.
scripts/check-layers.py --quiet
# A file that departs from .clang-format fails here too.
scripts/check-format.sh
HARBRILL_WERROR=ON scripts/build.sh
(cd build && ctest --output-on-failure --parallel "$(nproc)" --timeout 600)

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHARBRILL_SANITIZE=ON -DHARBRILL_BENCH=OFF >/dev/null
cmake --build build-sanitize --parallel "$(nproc)"
# Leaks are not looked for: Qt, fontconfig and GStreamer keep what they allocate until the process ends.
# Left out: the crash reporter's test, whose child fails on purpose, and the test that leaves the
# process without descriptors, which the sanitizers' own checks need.
cd build-sanitize
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --output-on-failure --parallel "$(nproc)" --timeout 600 --label-exclude 'e2e|package' \
  --exclude-regex 'IssueReporterCrashTest.*/segv|IdleConnectionsAndDescriptorExhaustionDoNotEndTheListener'
