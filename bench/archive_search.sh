#!/usr/bin/env bash
# Content search inside ZIP archives: quorvel-search against ugrep -z (one thread), same run,
# over a real tree zipped into a few archives; then the peak memory while searching an archive
# with one 1 GB entry and how soon a stop ends its search (and one inside a 1 GB 7z entry);
# then the tree as one .tar.gz (against ugrep -z) and as one .7z.
# Usage: bench/archive_search.sh [-j N] [TREE] [TEXT]     (default: /usr/include uint32_t)
# Prints the matching lines of both (which must be the same), the peak memory figures, and as
# its last line the ratio quorvel/ugrep of the median wall times.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
while getopts j: option; do
    case "$option" in j) jobs="$OPTARG" ;; *) exit 2 ;; esac
done
shift $((OPTIND - 1))
tree="${1:-/usr/include}"
text="${2:-uint32_t}"
bin="${QUORVEL_SEARCH:-$top/build/cli/quorvel-search}"
[ -x "$bin" ] || { echo "build quorvel-search first (scripts/setup.sh)" >&2; exit 1; }
command -v ugrep > /dev/null || { echo "ugrep is missing (scripts/packages.txt)" >&2; exit 1; }

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
# quorvel-search extracts into a private folder under TMPDIR: keep it inside the work folder.
export TMPDIR="$tmp"
mkdir -p "$tmp/zips"

# The tree's top-level entries, dealt round-robin into four archives.
mapfile -t parts < <(cd "$tree" && ls -A)
for i in 0 1 2 3; do
    members=()
    for ((j = i; j < ${#parts[@]}; j += 4)); do members+=("${parts[j]}"); done
    [ ${#members[@]} -gt 0 ] && (cd "$tree" && zip -q -r -X "$tmp/zips/part$i.zip" "${members[@]}")
done
echo "archives: $(ls "$tmp/zips" | wc -l), $(du -sh "$tmp/zips" | cut -f1) zipped from $(du -sh "$tree" 2>/dev/null | cut -f1)"

ours=(-d "$tmp/zips" -n '*' -t "$text")
theirs=(-z -J1 -F -r -n "$text" "$tmp/zips")

"$bin" "${ours[@]}" > "$tmp/q" || true
ugrep "${theirs[@]}" > "$tmp/u" || true
python3 - "$tmp/zips" "$tmp/q" "$tmp/u" <<'PY'
import re, sys
zips, q_out, u_out = sys.argv[1:]
# quorvel: ZIPDIR/partN.zip/entry:line:text      ugrep: ZIPDIR/partN.zip{entry}:line:text
q, u = {}, {}
q_line = re.compile(r'^(.*?\.zip)/(.*?):(\d+):(.*)$')
u_line = re.compile(r'^(.*?\.zip)\{(.*)\}:(\d+):(.*)$')
for raw in open(q_out, 'rb').read().split(b'\n'):
    m = q_line.match(raw.decode('utf-8', 'replace'))
    if m:
        q[(m[1], m[2], int(m[3]))] = m[4]
for raw in open(u_out, 'rb').read().split(b'\n'):
    m = u_line.match(raw.decode('utf-8', 'replace'))
    if m:
        u[(m[1], m[2], int(m[3]))] = m[4].rstrip('\r')[:80]
print(f"matching lines: quorvel {len(q)}, ugrep {len(u)}")
only_q, only_u = q.keys() - u.keys(), u.keys() - q.keys()
texts = [k for k in q.keys() & u.keys() if q[k] != u[k]]
print(f"only quorvel: {len(only_q)}, only ugrep: {len(only_u)}, same line with other text: {len(texts)}")
for k in sorted(only_q | only_u)[:10]:
    print("  ", k)
if only_q or only_u or texts:
    sys.exit("the matching lines differ")
PY

# Peak memory with one entry of 1 GB (ordinary lines, the text on the last one).
mkdir -p "$tmp/big"
(yes 'an ordinary line of the one big entry, nothing to find in it' || true) | head -c 1073741824 > "$tmp/big/big.txt"
printf '\nthe last line holds %s\n' "$text" >> "$tmp/big/big.txt"
(cd "$tmp/big" && zip -q -1 big.zip big.txt && rm big.txt)
big_ours=(-d "$tmp/big" -n '*' -t "$text")
peak() { { /usr/bin/time -f '%M' "$@" > "$tmp/peak.out"; } 2>&1 | tail -n1; }
peak_q=$(peak "$bin" "${big_ours[@]}")
grep -q "big.txt:[0-9]*:the last line holds" "$tmp/peak.out" || echo "warning: the big entry's last line was not found"
peak_u=$(peak ugrep -z -J1 -F -r -n "$text" "$tmp/big")
echo "peak memory, one 1 GB entry: quorvel $((peak_q / 1024)) MB (goal: under 50 MB), ugrep $((peak_u / 1024)) MB"
python3 "$top/bench/stop_latency.py" "the 1 GB ZIP entry" "$bin" "${big_ours[@]}"
if command -v 7zz > /dev/null; then
    mkdir -p "$tmp/big7z"
    head -c 1073741824 /dev/zero > "$tmp/big7z/zeros.bin"
    (cd "$tmp/big7z" && 7zz a -bd -bso0 zeros.7z zeros.bin > /dev/null && rm zeros.bin)
    python3 "$top/bench/stop_latency.py" "a 1 GB 7z entry" "$bin" -d "$tmp/big7z" -n '*' -t "$text"
fi

# The same tree as one .tar.gz (against ugrep -z -F on the same file) and as one .7z (ugrep
# does not read 7z: our figure alone). Medians and worst runs of five.
mkdir -p "$tmp/tgz" "$tmp/7z"
tar -czf "$tmp/tgz/tree.tar.gz" -C "$tree" .
if command -v 7zz > /dev/null; then (cd "$tree" && 7zz a -bd -mmt1 "$tmp/7z/tree.7z" . > /dev/null); fi
tgz_q=$("$bin" -d "$tmp/tgz" -n '*' -t "$text" | wc -l || true)
tgz_u=$(ugrep -z -J1 -F -r -n "$text" "$tmp/tgz" | wc -l || true)
echo "tar.gz matching lines: quorvel $tgz_q, ugrep $tgz_u"
hyperfine -N --output=pipe -w 1 -r 5 --export-json "$tmp/t.json" \
    "$bin -d $tmp/tgz -n * -t $text" "ugrep -z -J1 -F -r -n $text $tmp/tgz" > /dev/null
if [ -f "$tmp/7z/tree.7z" ]; then
    hyperfine -N --output=pipe -w 1 -r 5 --export-json "$tmp/s.json" "$bin -d $tmp/7z -n * -t $text" > /dev/null
fi
python3 - "$tmp/t.json" "$tmp/s.json" <<'PY'
import json, os, sys
def show(label, result):
    print(f"{label}: median {result['median']*1000:.0f} ms, worst {max(result['times'])*1000:.0f} ms")
t = json.load(open(sys.argv[1]))["results"]
show("tar.gz quorvel", t[0])
show("tar.gz ugrep -z -J1 -F", t[1])
if os.path.exists(sys.argv[2]):
    show(".7z quorvel", json.load(open(sys.argv[2]))["results"][0])
PY

# Taking turns, output to a pipe (ugrep stops at the first match when it sees /dev/null):
# one thread each, then N each (default: every core).
for j in 1 "$jobs"; do
    echo "ZIP wall times, $j thread(s) each:"
    python3 "$top/bench/alternate.py" "${RUNS:-7}" \
        "quorvel=$bin -j$j ${ours[*]}" "ugrep=ugrep -z -J$j -F -r -n $text $tmp/zips" \
        --ratio "quorvel/ugrep:at most 0.7"
done
