#!/usr/bin/env bash
# Compiles the Windows-only sources with mingw-w64 so that they keep compiling where no
# Windows build runs. Qt's headers are Debian's (built for Linux); they serve for compiling,
# with Q_OS_WIN taken from the Windows compiler, and as system headers, so that their own
# warnings under this compiler do not count. Nothing is linked. The list of files is the one the
# CMake build collects (BUILD_DIR/windows-sources.txt).
# Usage: scripts/check-windows-seams.sh [BUILD_DIR]
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cxx="${MINGW_CXX:-x86_64-w64-mingw32-g++}"
if ! command -v "$cxx" >/dev/null; then
  echo "check-windows-seams: $cxx not found (Debian package g++-mingw-w64-x86-64)" >&2
  exit 1
fi
qt="$(pkg-config --variable=includedir Qt6Core)"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

list="${1:-$top/build}/windows-sources.txt"
if [ ! -s "$list" ]; then
  echo "check-windows-seams: $list is missing or empty; configure the build first" >&2
  exit 1
fi
mapfile -t sources < "$list"
failed=0
for source in "${sources[@]}"; do
  if "$cxx" -std=c++17 -Wall -Wextra -Werror -c "$top/$source" -o "$out/$(basename "$source").o" \
       -I"$top/ui" -I"$top/app" -I"$top/search" \
       -isystem "$qt" -isystem "$qt/QtCore" -isystem "$qt/QtGui" -isystem "$qt/QtWidgets"; then
    echo "compiled for Windows: $source"
  else
    echo "FAILED for Windows: $source" >&2
    failed=1
  fi
done
exit "$failed"
