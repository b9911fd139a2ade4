#!/usr/bin/env bash
# Installs what is missing, builds quorvel and runs every test: the normal build, then the
# address+undefined-behaviour sanitizer build, then the thread sanitizer build over the tests
# that run the search worker.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

"$top/scripts/setup.sh" "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
python3 "$top/scripts/check-include-cycles.py"
ctest --test-dir "$top/build" --output-on-failure -j"$jobs"
# The Windows-only files compile with mingw-w64, so they stay honest.
bash "$top/scripts/check-windows-seams.sh" "$top/build"

if [ "${QUORVEL_SKIP_SANITIZERS:-0}" != 1 ]; then
  "$top/scripts/setup.sh" "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=address
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$top/build-asan" --output-on-failure -j"$jobs"

  "$top/scripts/setup.sh" "$top/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=thread
  TSAN_OPTIONS="halt_on_error=1 ignore_noninstrumented_modules=1 suppressions=$top/tests/tsan.supp" \
    ctest --test-dir "$top/build-tsan" --output-on-failure -j"$jobs" -L threaded
fi
