#!/usr/bin/env bash
# Text of documents: (1) a folder of ~200 PDFs searched by quorvel-search and by
# `pdfgrep -r -n -F` (the page hits must be the same), (2) the XML throughput of one large
# .docx and one large .xlsx (MB of document XML per second, one document, one thread),
# (3) a folder of 1,000 small .docx searched, against `unzip -p` merely decompressing them.
# Usage: bench/document_search.sh [-j N]     (RUNS=5 runs each; medians and the worst printed)
# (1) and (3) run on one thread each and on N each (default: every core); the references have
# no threads of their own and run N at a time over parts of the folder (xargs -P N).
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
while getopts j: option; do
    case "$option" in j) jobs="$OPTARG" ;; *) exit 2 ;; esac
done
shift $((OPTIND - 1))
bin="${QUORVEL_SEARCH:-$top/build/cli/quorvel-search}"
runs="${RUNS:-5}"
py=/usr/bin/python3
[ -x "$bin" ] || { echo "build quorvel-search first (scripts/setup.sh)" >&2; exit 1; }
for tool in pdfgrep pango-view unzip; do
    command -v "$tool" > /dev/null || { echo "$tool is missing (scripts/packages.txt)" >&2; exit 1; }
done
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/pdf" "$tmp/xml" "$tmp/small"

# Median and worst wall time of RUNS runs of a command, and the median CPU time (user +
# system), in seconds: "median worst cpu". On a busy machine the CPU time is the steadier.
timed() {
    "$py" - "$runs" "$@" <<'PY'
import resource, statistics, subprocess, sys, time
runs, cmd = int(sys.argv[1]), sys.argv[2:]
times, cpu = [], []
def used():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime
for _ in range(runs):
    start, start_cpu = time.perf_counter(), used()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    times.append(time.perf_counter() - start)
    cpu.append(used() - start_cpu)
print("%.4f %.4f %.4f" % (statistics.median(times), max(times), statistics.median(cpu)))
PY
}
ratio() { "$py" -c "import sys; print('%.2f' % (float(sys.argv[1]) / float(sys.argv[2])))" "$1" "$2"; }
# quorvel-search over FOLDER for TEXT against the reference SCRIPT (run with FOLDER and the
# number of processes), on one thread each and on N each: "against NAME FOLDER TEXT SCRIPT".
against() {
    local name="$1" folder="$2" text="$3" script="$4" j qm qw qc rm rw rc
    for j in 1 "$jobs"; do
        read -r qm qw qc < <(timed "$bin" -j "$j" -d "$folder" -t "$text")
        read -r rm rw rc < <(timed bash "$script" "$folder" "$j")
        echo "$j thread(s): quorvel-search median ${qm}s (worst ${qw}s), $name median ${rm}s (worst ${rw}s)"
        echo "$j thread(s): ratio quorvel/${name%% *}: $(ratio "$qm" "$rm") (worst $(ratio "$qw" "$rw"), CPU $(ratio "$qc" "$rc"))"
    done
}

echo "== 1. PDFs: quorvel-search vs pdfgrep -r -n -F"
"$py" - "$tmp/pdf" <<'PY'
import os, random, subprocess, sys
out = sys.argv[1]
rnd = random.Random(7)
words = "contract party 合同 甲方 乙方 金额 日本語 契約 한국어 계약 clause term price".split()
def line():
    return " ".join(rnd.choice(words) for _ in range(rnd.randint(3, 9)))
# Half hand-written multi-page Latin PDFs, half CJK single pages typeset by pango-view.
for n in range(100):
    pages = [[l.encode("ascii", "ignore").decode().strip() or "filler" for l in (line() for _ in range(30))] for _ in range(rnd.randint(1, 6))]
    objs = ["<< /Type /Catalog /Pages 2 0 R >>", None, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
    kids = []
    for lines in pages:
        body = "BT /F1 10 Tf 14 TL 50 760 Td " + " ".join("(%s) '" % l for l in lines) + " ET"
        kids.append(len(objs) + 1)
        objs.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> /Contents %d 0 R >>" % (len(objs) + 2))
        objs.append("<< /Length %d >>\nstream\n%s\nendstream" % (len(body), body))
    objs[1] = "<< /Type /Pages /Kids [%s] /Count %d >>" % (" ".join("%d 0 R" % k for k in kids), len(kids))
    pdf, offsets = b"%PDF-1.4\n", []
    for i, o in enumerate(objs):
        offsets.append(len(pdf)); pdf += ("%d 0 obj\n%s\nendobj\n" % (i + 1, o)).encode()
    xref = len(pdf)
    pdf += ("xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1) + "".join("%010d 00000 n \n" % o for o in offsets)
            + "trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)).encode()
    open(os.path.join(out, "latin%03d.pdf" % n), "wb").write(pdf)
for n in range(100):
    text = os.path.join(out, "t.txt")
    open(text, "w").write("\n".join(line() for _ in range(40)) + "\n")
    subprocess.run(["pango-view", "-q", "--font=WenQuanYi Micro Hei 10", "-o", os.path.join(out, "cjk%03d.pdf" % n), text], check=True)
    os.remove(text)
PY
echo "PDFs: $(ls "$tmp/pdf" | wc -l), $(du -sh "$tmp/pdf" | cut -f1)"
for text in 合同 contract; do
    "$bin" -d "$tmp/pdf" -t "$text" > "$tmp/q" 2> /dev/null || true
    pdfgrep -r -n -F "$text" "$tmp/pdf" > "$tmp/p" 2> /dev/null || true
    "$py" - "$tmp/q" "$tmp/p" "$text" <<'PY'
import collections, sys
def hits(path):
    found = collections.Counter()
    for raw in open(path, encoding="utf-8", errors="replace"):
        name, page, text = raw.rstrip("\n").split(":", 2)
        found[(name, int(page), text.strip()[:60])] += 1
    return found
q, p = hits(sys.argv[1]), hits(sys.argv[2])
print("'%s': page hits quorvel %d, pdfgrep %d, differing %d" % (sys.argv[3], sum(q.values()), sum(p.values()), sum(((q - p) + (p - q)).values())))
if q != p:
    sys.exit("the page hits differ")
PY
done
cat > "$tmp/pdfgrepall.sh" <<'EOF'
# pdfgrep over the PDFs of folder $1, $2 processes at a time.
find "$1" -name '*.pdf' -print0 | xargs -0 -P "$2" -n 25 pdfgrep -n -F 合同
EOF
against pdfgrep "$tmp/pdf" 合同 "$tmp/pdfgrepall.sh"

echo "== 2. XML throughput of one document"
"$py" "$top/tests/documents/makedocuments.py" "$tmp/xml" big 100
"$py" - "$tmp/xml/big.xlsx" <<'PY'
import random, sys, zipfile
rnd = random.Random(3)
words = ["合同 %d" % i for i in range(5000)] + ["契約 %d" % i for i in range(5000)]
ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("xl/workbook.xml", '<workbook %s><sheets><sheet name="数据" sheetId="1" r:id="rId1"/></sheets></workbook>' % ns)
    z.writestr("xl/_rels/workbook.xml.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="%sworksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="%ssharedStrings" Target="sharedStrings.xml"/></Relationships>' % (rel, rel))
    z.writestr("xl/sharedStrings.xml", '<sst %s>%s</sst>' % (ns, "".join("<si><t>%s</t></si>" % w for w in words)))
    with z.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as f:
        f.write(('<worksheet %s><sheetData>' % ns).encode())
        for r in range(1, 1_000_001):
            f.write(('<row r="%d"><c r="A%d" t="s"><v>%d</v></c><c r="B%d"><v>%d.5</v></c><c r="C%d" t="s"><v>%d</v></c></row>'
                     % (r, r, rnd.randrange(10000), r, r, r, rnd.randrange(10000))).encode())
        f.write(b"</sheetData></worksheet>")
PY
for doc in big.docx big.xlsx; do
    mb=$("$py" -c "import sys, zipfile; print('%.1f' % (sum(i.file_size for i in zipfile.ZipFile(sys.argv[1]).infolist() if i.filename.endswith('.xml')) / 1048576))" "$tmp/xml/$doc")
    read -r m w c < <(timed "$bin" -d "$tmp/xml" -n "$doc" -e -t "no such text anywhere")
    echo "$doc: ${mb} MB of XML, median ${m}s (worst ${w}s): $(ratio "$mb" "$m") MB/s (worst $(ratio "$mb" "$w"), per CPU second $(ratio "$mb" "$c"))"
done

echo "== 3. 1,000 small .docx: search vs unzip -p"
"$py" - "$tmp/small" <<'PY'
import docx, io, os, random, sys, zipfile
out = sys.argv[1]
template = io.BytesIO()
docx.Document().save(template)
parts = {i.filename: zipfile.ZipFile(template).read(i.filename) for i in zipfile.ZipFile(template).infolist()}
head, tail = parts["word/document.xml"].decode().split("<w:body>", 1)
rnd = random.Random(5)
words = "contract party 合同 甲方 乙方 金额 日本語 契約 한국어 계약 clause term price".split()
for n in range(1000):
    body = "".join('<w:p><w:pPr><w:pStyle w:val="Normal"/></w:pPr><w:r><w:rPr><w:lang w:eastAsia="zh-CN"/></w:rPr><w:t xml:space="preserve">%s</w:t></w:r></w:p>'
                   % " ".join(rnd.choice(words) for _ in range(12)) for _ in range(rnd.randint(20, 200)))
    with zipfile.ZipFile(os.path.join(out, "doc%04d.docx" % n), "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, head + "<w:body>" + body + tail if name == "word/document.xml" else data)
PY
echo "documents: $(ls "$tmp/small" | wc -l), $(du -sh "$tmp/small" | cut -f1)"
cat > "$tmp/unzipall.sh" <<'EOF'
# unzip -p of every .docx of folder $1, $2 processes at a time.
find "$1" -name '*.docx' -print0 | xargs -0 -P "$2" -n 50 sh -c 'for f; do unzip -p "$f"; done' unzip > /dev/null
EOF
against "unzip -p" "$tmp/small" 甲方 "$tmp/unzipall.sh"
