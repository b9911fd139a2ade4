#!/usr/bin/env bash
# Name search over a real tree: quorvel-search against fd (one thread each), same run.
# Usage: bench/name_search.sh [TREE] [PATTERN]     (default: /usr config)
# Prints the hit counts, explains their difference, the peak memory, and as its last line
# the ratio quorvel/fd of the median wall times.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
tree="${1:-/usr}"
pattern="${2:-config}"
bin="${QUORVEL_SEARCH:-$top/build/cli/quorvel-search}"
fd="$(command -v fdfind || command -v fd)"
[ -x "$bin" ] || { echo "build quorvel-search first (scripts/setup.sh)" >&2; exit 1; }

ours=(-d "$tree" -n "$pattern" -i)
theirs=(-j1 --no-ignore -i "$pattern" "$tree")

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
def through_link(p):
    d = os.path.dirname(p)
    while d not in ('/', ''):
        if os.path.islink(d):
            return True
        d = os.path.dirname(d)
    return False
only_q = q - f
only_f = f - q
via_links = {p for p in only_q if through_link(p)}
links = {p for p in only_f if os.path.islink(p)}
print(f"only quorvel: {len(only_q)} ({len(via_links)} below links to directories)")
print(f"only fd: {len(only_f)} ({len(links)} are links themselves)")
rest = (only_q - via_links) | (only_f - links)
print("unexplained differences: %d" % len(rest))
for p in sorted(rest)[:10]:
    print("  ", p)
PY

peak_kb=$( { /usr/bin/time -f '%M' "$bin" "${ours[@]}" > /dev/null; } 2>&1 | tail -n1 )
echo "peak memory quorvel: $((peak_kb / 1024)) MB"

hyperfine -N -w 2 -r 15 --export-json "$tmp/h.json" "$bin ${ours[*]}" "$fd ${theirs[*]}" > /dev/null
python3 - "$tmp/h.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
q, f = r[0]["median"], r[1]["median"]
print(f"median wall: quorvel {q*1000:.1f} ms, fd -j1 {f*1000:.1f} ms")
print(f"ratio quorvel/fd: {q/f:.2f}")
PY
