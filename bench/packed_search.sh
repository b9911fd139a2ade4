#!/usr/bin/env bash
# Text search inside a tar.gz and a 7z of /usr/include (one thread): quorvel-search against
# `ugrep -z -F` on the same tar.gz (ugrep cannot read 7z: its figure stands alone), and
# `gzip -dc` (decompression alone, the floor). The commands run in turns (alternate.py).
# Usage: bench/packed_search.sh [SOURCE_DIR]        (RUNS=7 by default)
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${QUORVEL_SEARCH:-$top/build/cli/quorvel-search}"
source_dir="${1:-/usr/include}"
runs="${RUNS:-7}"
[ -x "$bin" ] || { echo "build quorvel-search first (scripts/setup.sh)" >&2; exit 1; }
for tool in ugrep 7zz tar gzip; do
    command -v "$tool" > /dev/null || { echo "$tool is missing (scripts/packages.txt)" >&2; exit 1; }
done
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/tgz" "$tmp/7z"
tar -czf "$tmp/tgz/src.tar.gz" -C "$(dirname "$source_dir")" "$(basename "$source_dir")" 2> /dev/null
(cd "$(dirname "$source_dir")" && 7zz a -bd -bso0 "$tmp/7z/src.7z" "$(basename "$source_dir")" > /dev/null)
ls -l "$tmp/tgz/src.tar.gz" "$tmp/7z/src.7z" | awk '{print $5, $9}'
for text in GNU_SOURCE no_such_text_anywhere; do
    # The same hits: ours as "archive/entry:line", ugrep's as "archive{entry}:line".
    "$bin" -j 1 -d "$tmp/tgz" -t "$text" 2> /dev/null | cut -d: -f1-2 | sed 's|^.*/src.tar.gz/||' | sort > "$tmp/q" || true
    ugrep -z -F -n "$text" "$tmp/tgz/src.tar.gz" 2> /dev/null | sed 's|^[^{]*{\([^}]*\)}:\([0-9]*\):.*|\1:\2|' | sort > "$tmp/u" || true
    echo "'$text': hits quorvel $(wc -l < "$tmp/q"), ugrep $(wc -l < "$tmp/u"), differing $(comm -3 "$tmp/q" "$tmp/u" | wc -l)"
    "$top/bench/alternate.py" "$runs" \
        "quorvel-tgz=$bin -j 1 -d $tmp/tgz -t $text" "ugrep-tgz=ugrep -z -F $text $tmp/tgz/src.tar.gz" \
        "gzip-d=gzip -dc $tmp/tgz/src.tar.gz" "quorvel-7z=$bin -j 1 -d $tmp/7z -t $text" \
        --ratio quorvel-tgz/ugrep-tgz:1.0 --ratio quorvel-tgz/gzip-d
done
echo "peak memory (KB): tar.gz $(/usr/bin/time -f %M "$bin" -j 1 -d "$tmp/tgz" -t GNU_SOURCE 2>&1 > /dev/null | tail -1)," \
     "7z $(/usr/bin/time -f %M "$bin" -j 1 -d "$tmp/7z" -t GNU_SOURCE 2>&1 > /dev/null | tail -1)"
