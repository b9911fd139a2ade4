#!/usr/bin/env bash
# Installs what is missing, builds quorvel and runs every test: the normal build, then the
# address+undefined-behaviour sanitizer build, then the thread sanitizer build over the tests
# that run the search worker. Each stage prints its time, and a summary comes last.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

times=()
# stage NAME COMMAND...: runs the command and notes how long it took, failed or not.
stage() {
  local name="$1" start=$SECONDS status=0
  shift
  "$@" || status=$?
  times+=("$(printf '%-28s %5d s%s' "$name" $((SECONDS - start)) "$([ $status = 0 ] || echo ' FAILED')")")
  echo "== $name: $((SECONDS - start)) s"
  if [ $status != 0 ]; then
    printf '%s\n' "${times[@]}"
    exit $status
  fi
}

stage "plain build" "$top/scripts/setup.sh" "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
stage "include cycles" python3 "$top/scripts/check-include-cycles.py"
stage "plain tests" ctest --test-dir "$top/build" --output-on-failure -j"$jobs"
# The Debian package installs, runs and goes again.
stage "debian package" bash "$top/scripts/package-check.sh" "$top/build"
# The Windows-only files compile with mingw-w64, so they stay honest.
stage "windows seams" bash "$top/scripts/check-windows-seams.sh" "$top/build"

if [ "${QUORVEL_SKIP_SANITIZERS:-0}" != 1 ]; then
  stage "asan+ubsan build" "$top/scripts/setup.sh" "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=address
  stage "asan+ubsan tests" env ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$top/build-asan" --output-on-failure -j"$jobs"

  stage "tsan build" "$top/scripts/setup.sh" "$top/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=thread
  # Some tests start helper processes (the command line, rm) after Qt has started threads of its
  # own; the child only execs, so the sanitizer's fork check is relaxed.
  stage "tsan tests (threaded)" env \
    TSAN_OPTIONS="halt_on_error=1 ignore_noninstrumented_modules=1 die_after_fork=0 suppressions=$top/tests/tsan.supp" \
    ctest --test-dir "$top/build-tsan" --output-on-failure -j"$jobs" -L threaded
fi

echo "== times"
printf '%s\n' "${times[@]}"
