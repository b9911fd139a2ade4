#!/usr/bin/env bash
# Content search: quorvel-search against ripgrep on one thread, same run, over a real tree;
# deep search against plain search; peak memory over the tree and over a 2 GB file without line
# feeds. The hits of plain and deep search are also checked against the reference search of the
# tests, file by file (SKIP_REFERENCE=1 skips that: it decodes the tree once per codec).
# Wall times on one thread each (quorvel -j1 against rg -j1 -L) and on N threads each (default:
# every core).
# Usage: bench/content_search.sh [-j N] [TREE] [TEXT]     (default: /usr/include mutex)
# Needs a Release or RelWithDebInfo build: QUORVEL_BUILD (default: build) holds
# cli/quorvel-search and tests/content/quorvel-content-reference.
# The last lines are the ratios of the median wall times.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
while getopts j: option; do
    case "$option" in j) jobs="$OPTARG" ;; *) exit 2 ;; esac
done
shift $((OPTIND - 1))
tree="${1:-/usr/include}"
text="${2:-mutex}"
build="${QUORVEL_BUILD:-$top/build}"
bin="$build/cli/quorvel-search"
reference="$build/tests/content/quorvel-content-reference"
[ -x "$bin" ] || { echo "build quorvel-search first (in $build)" >&2; exit 1; }
for tool in rg /usr/bin/time python3; do
    command -v "$tool" > /dev/null || { echo "$tool is missing (scripts/packages.txt)" >&2; exit 1; }
done

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

echo "tree: $tree ($(du -sh "$tree" 2>/dev/null | cut -f1); with the directories links lead to: $(du -shL "$tree" 2>/dev/null | cut -f1))"

# Like with like: rg reads neither archives nor documents (Office, PDF) for their text, so
# quorvel-search does not either wherever it is compared with rg.
like="--no-archives --no-documents"

# Matching lines, as file:line. quorvel-search enters links to directories, as the program
# does; plain rg does not, rg -L does. Neither reads hidden files.
lines() { awk -F: '{ print $1 ":" $2 }' | sort; }
for rule in "" "-i"; do
    "$bin" $like -d "$tree" -t "$text" $rule | lines > "$tmp/q$rule" || true
    rg -j1 -n -F -a --no-ignore $rule -- "$text" "$tree" | lines > "$tmp/r$rule" || true
    rg -L -j1 -n -F -a --no-ignore $rule -- "$text" "$tree" | lines > "$tmp/rL$rule" || true
    echo "matching lines${rule:+ (ignoring case)}: quorvel $(wc -l < "$tmp/q$rule"), rg $(wc -l < "$tmp/r$rule"), rg -L $(wc -l < "$tmp/rL$rule")"
    if ! diff -q "$tmp/q$rule" "$tmp/rL$rule" > /dev/null; then
        echo "  differences from rg -L:"
        diff "$tmp/q$rule" "$tmp/rL$rule" | head -10 || true   # diff exits 1 on differences
    fi
done
"$bin" $like -d "$tree" -t "$text" -D | lines > "$tmp/qD" || true
echo "matching lines, deep search: $(wc -l < "$tmp/qD") (plain: $(wc -l < "$tmp/q"))"

if [ "${SKIP_REFERENCE:-0}" != 1 ]; then
    [ -x "$reference" ] || { echo "build quorvel-content-reference first (in $build)" >&2; exit 1; }
    "$bin" -d "$tree" -n '*' | grep -v ':[0-9]*:' > "$tmp/files" || true
    python3 - "$tmp/files" "$tmp/regular" <<'PY'
import os, sys
with open(sys.argv[2], 'w') as out:
    for line in open(sys.argv[1], encoding='utf-8', errors='surrogateescape'):
        path = line.rstrip('\n')
        if os.path.isfile(path) and not path.lower().endswith(('.zip', '.rar')):
            out.write(path + '\n')
PY
    echo "reference check, plain: $("$reference" "$text" < "$tmp/regular")"
    echo "reference check, deep:  $("$reference" "$text" -D < "$tmp/regular")"
fi

# Peak memory (maximum resident set) over the tree, and over one 2 GB line.
peak() { /usr/bin/time -o "$tmp/peak.kb" -f '%M' "$@" > "$tmp/peak.out" 2> /dev/null || true; tail -n1 "$tmp/peak.kb"; }
echo "peak memory over the tree: plain $(($(peak "$bin" -d "$tree" -t "$text") / 1024)) MB," \
     "deep $(($(peak "$bin" -d "$tree" -t "$text" -D) / 1024)) MB (goal: under 50 MB)"
mkdir -p "$tmp/big"
{ head -c 2147483648 /dev/zero | tr '\0' 'a'; printf ' %s' "$text"; } > "$tmp/big/line.txt"
for mode in "" "-D"; do
    start=$(date +%s%N)
    kb=$(peak "$bin" -d "$tmp/big" -t "$text" $mode)
    ms=$((($(date +%s%N) - start) / 1000000))
    found=$(grep -c "line.txt:1:" "$tmp/peak.out" || true)
    echo "peak memory, 2 GB file without line feeds${mode:+ (deep)}: $((kb / 1024)) MB in ${ms} ms, hits $found (goal: under 50 MB, 1 hit)"
done
rgkb=$(peak rg -j1 -n -F -a --no-ignore -- "$text" "$tmp/big")
echo "  rg on the same file: $((rgkb / 1024)) MB"
rm -rf "$tmp/big"

# Wall times: the commands take turns, round after round, so that all of them see the same
# machine (it may be busy with other work).
rg_args="-L -n -F -a --no-ignore"
for j in 1 "$jobs"; do
    echo "wall times, $j thread(s) each:"
    python3 "$top/bench/alternate.py" "${RUNS:-11}" \
        "quorvel=$bin $like -j$j -d $tree -t $text" "rg=rg -j$j $rg_args -- $text $tree" \
        "quorvel -i=$bin $like -j$j -d $tree -t $text -i" "rg -i=rg -j$j $rg_args -i -- $text $tree" \
        "quorvel -D=$bin $like -j$j -d $tree -t $text -D" \
        --ratio "quorvel/rg:at most $([ "$j" = 1 ] && echo 1.2 || echo 1.0)" \
        --ratio "quorvel -i/rg -i:at most $([ "$j" = 1 ] && echo 1.2 || echo 1.0)" --ratio "quorvel -D/quorvel:at most 1.5"
done
echo "wall times, 1 thread against 2:"
python3 "$top/bench/alternate.py" "${RUNS:-11}" \
    "quorvel -j1=$bin $like -j1 -d $tree -t $text" "quorvel -j2=$bin $like -j2 -d $tree -t $text" \
    --ratio "quorvel -j1/quorvel -j2:the speed-up, at least 1.7"
for j in 1 "$jobs"; do
    echo "peak memory -j$j: $(($(peak "$bin" -j "$j" -d "$tree" -t "$text") / 1024)) MB (goal: at most $((30 + 10 * j)) MB)"
done
