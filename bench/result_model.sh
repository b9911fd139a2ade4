#!/usr/bin/env bash
# The result table at 1M name hits: the program's window (compact model) against a table over a
# QStandardItemModel fed the plain way (five items per row, 0 ms timer always running), measured
# in the same run on the same generated tree; then the stop latency of the window.
# Usage: bench/result_model.sh [-j N] [DIRS] [FILES_PER_DIR]   (default 1000 x 1000 = 1M hits)
# The search runs with N threads (default: every core) in both tables; the window is also
# measured with one search thread.
# Env: QUORVEL_RESULTS_BENCH (the bench program), QUORVEL_BENCH_DATA (where the generated tree,
# a 2 GB text file and a zip with a 1 GB entry are kept between runs; remove it when done).
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
while getopts j: option; do
    case "$option" in j) jobs="$OPTARG" ;; *) exit 2 ;; esac
done
shift $((OPTIND - 1))
bin="${QUORVEL_RESULTS_BENCH:-$top/build/bench/quorvel-results-bench}"
data="${QUORVEL_BENCH_DATA:-${TMPDIR:-/tmp}/quorvel-bench-data}"
dirs="${1:-1000}"
per="${2:-1000}"
expected=$((dirs * per))
[ -x "$bin" ] || { echo "build quorvel-results-bench first (cmake --build build --target quorvel-results-bench)" >&2; exit 1; }
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
# The window's per-user folders (temporary extraction files) go under the data folder.
export XDG_DATA_HOME="$data/xdg/data" XDG_CONFIG_HOME="$data/xdg/config" XDG_CACHE_HOME="$data/xdg/cache"
mkdir -p "$data"

tree="$data/tree-${dirs}x${per}"
if [ ! -f "$tree/.complete" ]; then
  echo "generating $expected empty files in $tree ..."
  rm -rf "$tree"
  python3 - "$tree" "$dirs" "$per" <<'PY'
import os, sys
root, dirs, per = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for d in range(dirs):
    folder = os.path.join(root, "d%04d" % d)
    os.makedirs(folder)
    for f in range(per):
        os.close(os.open(os.path.join(folder, "file-%07d.dat" % (d * per + f)), os.O_CREAT | os.O_WRONLY, 0o644))
PY
  touch "$tree/.complete"
fi

line='the quick brown fox jumps over the lazy dog, 0123456789 and more plain text'
if [ ! -f "$data/bigfile/.complete" ]; then
  echo "writing a 2 GB text file ..."
  mkdir -p "$data/bigfile"
  yes "$line" | head -c 2147483648 > "$data/bigfile/big.txt" || true
  touch "$data/bigfile/.complete"
fi
if [ ! -f "$data/bigzip/.complete" ]; then
  echo "writing a zip with a 1 GB entry ..."
  rm -rf "$data/bigzip" "$data/zipwork"
  mkdir -p "$data/bigzip" "$data/zipwork"
  yes "$line" | head -c 1073741824 > "$data/zipwork/entry.txt" || true
  (cd "$data/zipwork" && zip -q -1 "$data/bigzip/big.zip" entry.txt)
  rm -rf "$data/zipwork"
  touch "$data/bigzip/.complete"
fi

# Warm the caches, so both runs read the tree from memory.
find "$tree" > /dev/null
cat "$data/bigfile/big.txt" > /dev/null

echo "== $expected name hits: compact model (the program) vs QStandardItemModel, same run, $jobs search thread(s)"
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
"$bin" stream compact "$tree" "$expected" "$jobs" | tee -a "$out"
"$bin" stream compact "$tree" "$expected" 1 | sed 's/^compact/compact-j1/' | tee -a "$out"
# Sorting a QStandardItemModel of this size takes long; the run is cut off after 10 minutes.
timeout 600 "$bin" stream standard "$tree" "$expected" "$jobs" | tee -a "$out" || true
python3 - "$out" <<'PY'
import sys
runs = {}
for line in open(sys.argv[1]):
    kind, *pairs = line.split()
    runs[kind] = {k: float(v) for k, v in (p.split("=") for p in pairs)}
c = {**runs["compact"], **runs.get("compact-sort", {})}
s = {**runs.get("standard", {}), **runs.get("standard-sort", {})}
rows = [("shown after the last batch (ms)", "after_last_batch_ms"),
        ("shown after the search started (ms)", "shown_ms"),
        ("processor time of the GUI thread (ms)", "gui_cpu_ms"),
        ("longest gap between display ticks (ms)", "longest_tick_gap_ms"),
        ("longest event-loop stall (ms)", "longest_stall_ms"),
        ("peak RSS of the whole program (MB)", "peak_rss_mb"),
        ("memory added by the rows (MB)", "rows_rss_mb"),
        ("sort by name, one header click (ms)", "sort_by_name_ms")]
print(f"{'':42}{'compact':>10}{'QStandardItemModel':>20}{'ratio':>8}")
for title, key in rows:
    theirs = s.get(key)
    if theirs is None:
        print(f"{title:42}{c[key]:>10.0f}{'(not finished)':>20}")
        continue
    ratio = c[key] / theirs if theirs else float("nan")
    print(f"{title:42}{c[key]:>10.0f}{theirs:>20.0f}{ratio:>8.2f}")
ok = lambda b: "met" if b else "MISSED"
one = runs.get("compact-j1", {})
if one:
    print(f"{'shown after the last batch, 1 search thread (ms)':42}{one['after_last_batch_ms']:>10.0f}")
print(f"goal shown within 1.5 s of the last batch: {ok(c['after_last_batch_ms'] <= 1500)}")
print(f"goal whole program <= 250 MB: {ok(c['peak_rss_mb'] <= 250)}")
print(f"goal no stall over 100 ms: {ok(c['longest_stall_ms'] <= 100 and c['longest_tick_gap_ms'] <= 100)}")
PY

echo "== stop latency (stop by button or Return until the window has handled the finish; goal <= 100 ms)"
"$bin" stop "$data/bigfile" "*" "zq-absent" "inside-a-2GB-file"
"$bin" stop "$data/bigzip" "*" "zq-absent" "inside-a-1GB-zip-entry"
"$bin" stop "$tree" "*.dat" "" "1M-hit-name-search"
