#!/usr/bin/env bash
# Name search over a real tree: quorvel-search against fd, same run, on one thread each and on
# N threads each (default: every core).
# Usage: bench/name_search.sh [-j N] [TREE] [PATTERN]     (default: /usr config)
# Prints the hit counts, explains their difference, the peak memory, and the ratios
# quorvel/fd of the median and worst wall times.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
while getopts j: option; do
    case "$option" in j) jobs="$OPTARG" ;; *) exit 2 ;; esac
done
shift $((OPTIND - 1))
tree="${1:-/usr}"
pattern="${2:-config}"
bin="${QUORVEL_SEARCH:-$top/build/cli/quorvel-search}"
fd="$(command -v fdfind || command -v fd)"
[ -x "$bin" ] || { echo "build quorvel-search first (scripts/setup.sh)" >&2; exit 1; }

ours=(-d "$tree" -n "$pattern" -i)
theirs=(-L --no-ignore -i "$pattern" "$tree")

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
"$bin" "${ours[@]}" | sort > "$tmp/q" || true
"$fd" "${theirs[@]}" | sed 's#/$##' | sort > "$tmp/f"
echo "hits: quorvel $(wc -l < "$tmp/q"), fd $(wc -l < "$tmp/f")"
# quorvel enters links to directories and never reports links; fd does the opposite.
python3 - "$tmp/q" "$tmp/f" <<'PY'
import os, sys
q = set(open(sys.argv[1]).read().split('\n')) - {''}
f = set(open(sys.argv[2]).read().split('\n')) - {''}
def above(p, test):
    """Whether a folder above p (or the archive p lies in) passes test."""
    d = os.path.dirname(p)
    while d not in ('/', ''):
        if test(d):
            return True
        d = os.path.dirname(d)
    return False
through_link = lambda p: above(p, os.path.islink)
in_archive = lambda p: above(p, os.path.isfile)
only_q = q - f
only_f = f - q
via_links = {p for p in only_q if through_link(p)}
inside = {p for p in only_q - via_links if in_archive(p)}
links = {p for p in only_f if os.path.islink(p)}
# A directory reached both directly and through a link is searched once, under the first path.
reached = {os.path.realpath(p) for p in q - inside}
elsewhere = {p for p in only_f - links if os.path.realpath(p) in reached}
print(f"only quorvel: {len(only_q)} ({len(via_links)} below links to directories, {len(inside)} inside archives)")
print(f"only fd: {len(only_f)} ({len(links)} are links themselves, {len(elsewhere)} found by quorvel under another path)")
rest = (only_q - via_links - inside) | (only_f - links - elsewhere)
print("unexplained differences: %d" % len(rest))
for p in sorted(rest)[:10]:
    print("  ", p)
PY

for j in 1 "$jobs"; do
    peak_kb=$( { /usr/bin/time -f '%M' "$bin" -j "$j" "${ours[@]}" > /dev/null; } 2>&1 | tail -n1 )
    echo "peak memory quorvel -j$j: $((peak_kb / 1024)) MB (goal: at most $((30 + 10 * j)) MB)"
done

# fd does not look inside archives: "plain" is quorvel without that (--no-archives).
echo "wall times, taking turns:"
python3 "$top/bench/alternate.py" "${RUNS:-11}" \
    "quorvel -j1=$bin -j1 ${ours[*]}" "plain -j1=$bin -j1 --no-archives ${ours[*]}" "fd -j1=$fd -j1 ${theirs[*]}" \
    "quorvel -j$jobs=$bin -j$jobs ${ours[*]}" "plain -j$jobs=$bin -j$jobs --no-archives ${ours[*]}" \
    "fd -j$jobs=$fd -j$jobs ${theirs[*]}" \
    --ratio "quorvel -j1/fd -j1:at most 1.0" --ratio "quorvel -j$jobs/fd -j$jobs:at most 1.0" \
    --ratio "plain -j1/fd -j1:at most 1.0" --ratio "plain -j$jobs/fd -j$jobs:at most 1.0"
