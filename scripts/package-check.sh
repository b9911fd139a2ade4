#!/usr/bin/env bash
# Makes the Debian package from a build folder, installs it the way a user would
# (apt-get install ./quorvel_….deb), checks the installed programs, and removes it again.
# Usage: scripts/package-check.sh [BUILD_DIR]   (default: build; built already)
# Runs as root (CI) or with sudo. Refuses when quorvel is installed already, since it ends
# by removing the package.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$top/build}" && pwd)"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

fail() { echo "package-check: $*" >&2; exit 1; }

if dpkg-query -W -f='${Status}' quorvel 2>/dev/null | grep -q 'install ok installed'; then
  fail "the quorvel package is installed already; remove it first (apt-get remove quorvel)"
fi

work="$(mktemp -d)"
chmod 755 "$work"   # apt reads local packages as its own user
installed=0
app_pid=""
cleanup() {
  [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null || true
  if [ "$installed" = 1 ]; then
    $sudo apt-get remove -y -qq quorvel >/dev/null || echo "package-check: removing quorvel failed" >&2
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The package.
(cd "$build" && cpack -G DEB >"$work/cpack.log") || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
arch="$(dpkg --print-architecture)"
deb="$build/packages/quorvel_${version}_${arch}.deb"
[ -f "$deb" ] || fail "no $deb after cpack"
cp "$deb" "$work/"
deb="$work/$(basename "$deb")"
chmod 644 "$deb"
echo "package-check: $(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"

# Installed with its dependencies, as a user would.
installed=1
$sudo apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 \
  || { cat "$work/apt.log" >&2; fail "apt-get install failed"; }
for f in /usr/bin/quorvel /usr/bin/quorvel-search /usr/share/applications/quorvel.desktop \
         /usr/share/metainfo/io.github.quorvel.quorvel.metainfo.xml \
         /usr/share/icons/hicolor/48x48/apps/quorvel.png /usr/share/icons/hicolor/scalable/apps/quorvel.svg; do
  dpkg -S "$f" >/dev/null 2>&1 || fail "$f is not in the package"
done

# The menu entry names a program that the search path finds: the installed one.
exec_line="$(sed -n 's/^Exec=//p' /usr/share/applications/quorvel.desktop)"
menu_program="$(command -v "${exec_line%% *}" || true)"
[ "$menu_program" = /usr/bin/quorvel ] || fail "the menu entry starts '${exec_line%% *}', found at '$menu_program'"

# A content search with the installed command-line tool.
mkdir -p "$work/tree/sub"
printf 'first line\nthe quorvel package check 42\nlast line\n' >"$work/tree/sub/notes.txt"
hits="$(/usr/bin/quorvel-search -d "$work/tree" -t 'package check 42')" || fail "quorvel-search found nothing"
expected="$work/tree/sub/notes.txt:2:the quorvel package check 42"
[ "$hits" = "$expected" ] || fail "quorvel-search printed '$hits', expected '$expected'"
# A PDF: its reader is a module of the package, loaded from beside the installed programs.
if command -v pango-view >/dev/null; then
  pango-view --no-display -q -t 'a page of the package check 43' -o "$work/tree/page.pdf"
  hits="$(/usr/bin/quorvel-search -d "$work/tree" -t 'package check 43')" || fail "quorvel-search found nothing in a PDF"
  [ "$hits" = "$work/tree/page.pdf:1:a page of the package check 43" ] || fail "quorvel-search printed '$hits' for a PDF"
fi

# The window program: its version, then a start from the menu on a folder.
export QT_QPA_PLATFORM=offscreen
[ "$(/usr/bin/quorvel --version)" = "quorvel $version" ] || fail "quorvel --version printed '$(/usr/bin/quorvel --version)'"
# Started as a user with a home of its own (never as root: the program keeps its state beside
# itself where it may write), it stays up and registers its folder entries.
mkdir -p "$work/home"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody:nogroup "$work/home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
env -C "$work/home" HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" \
  XDG_RUNTIME_DIR="$work/home" "${as_user[@]}" "$menu_program" "$work/tree" >"$work/app.log" 2>&1 &
app_pid=$!
for _ in $(seq 50); do
  [ -f "$work/home/data/applications/quorvel.desktop" ] && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.2
done
kill -0 "$app_pid" 2>/dev/null || { cat "$work/app.log" >&2; fail "quorvel ended at start"; }
[ -f "$work/home/data/applications/quorvel.desktop" ] || fail "quorvel did not register its folder entries"
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""

# Removed again; nothing of it stays.
$sudo apt-get remove -y -qq quorvel >/dev/null
installed=0
[ ! -e /usr/bin/quorvel ] || fail "/usr/bin/quorvel is still there after removal"
echo "package-check: $(basename "$deb") installs, runs and removes cleanly"
