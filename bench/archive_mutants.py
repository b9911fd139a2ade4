#!/usr/bin/env python3
"""Damaged archives against quorvel-search (not part of CI).

Takes seed files (archives of every kind the program reads, documents of every kind, text
files), makes damaged copies of them (bytes flipped, cut short, bytes inserted), and runs
quorvel-search, preferably the address-sanitizer build, over each with a time limit. Counts
crashes (a sanitizer report or an exit other than 0/1), hangs, output lines that are not hits,
temporary files left behind, and per kind the runs that found hits and the diagnostics.

Usage: bench/archive_mutants.py [--count N] [--jobs J] [--timeout S] [--bin PATH] [--keep DIR]
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
THIRD_PARTY = os.path.join(TOP, '..', 'shared', 'fixtures', 'third_party')


def run(cwd, *args, stdout=None):
    return subprocess.run(args, cwd=cwd, stdout=stdout or subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def make_seeds(folder):
    """Archives made with Debian's tools from a small CJK tree, plus third-party ones."""
    src = os.path.join(folder, 'src')
    os.makedirs(os.path.join(src, 'docs'))
    with open(os.path.join(src, 'docs', 'note.txt'), 'w', encoding='utf-8') as f:
        f.write('hello 世界 needle\n' * 40)
    with open(os.path.join(src, '中文名.txt'), 'w', encoding='utf-8') as f:
        f.write('第一行\n你好 needle 中文\n' * 40)
    seeds = os.path.join(folder, 'seeds')
    os.makedirs(seeds)
    names = ['docs/note.txt', '中文名.txt']
    run(src, 'zip', '-q', os.path.join(seeds, 'a.zip'), *names)
    run(src, 'tar', '-czf', os.path.join(seeds, 'a.tar.gz'), *names)
    run(src, 'tar', '-cJf', os.path.join(seeds, 'a.tar.xz'), *names)
    run(src, '7zz', 'a', '-bd', os.path.join(seeds, 'a.7z'), *names)
    run(src, 'tar', '-cjf', os.path.join(seeds, 'a.tar.bz2'), *names)
    run(src, 'tar', '--zstd', '-cf', os.path.join(seeds, 'a.tar.zst'), *names)
    run(src, 'tar', '-cf', os.path.join(seeds, 'a.tar'), *names)
    run(src, 'xorriso', '-as', 'mkisofs', '-quiet', '-J', '-R', '-o', os.path.join(seeds, 'a.iso'), '.')
    run(src, 'gcab', '-c', os.path.join(seeds, 'a.cab'), *names)
    run(src, 'sh', '-c', "printf 'docs\\ndocs/note.txt\\n中文名.txt\\n' | cpio -o -H newc > " + os.path.join(seeds, 'a.cpio'))
    with open(os.path.join(seeds, 'a.lzh'), 'wb') as f:
        f.write(lha_stored([(n.encode(), open(os.path.join(src, n), 'rb').read()) for n in names]))
    run(src, 'gzip', '-c', 'docs/note.txt', stdout=open(os.path.join(seeds, 'note.txt.gz'), 'wb'))
    for tool, suffix in (('bzip2', 'bz2'), ('xz', 'xz'), ('zstd', 'zst')):
        run(src, tool, '-c', 'docs/note.txt', stdout=open(os.path.join(seeds, 'note.txt.' + suffix), 'wb'))
    shutil.copy(os.path.join(src, 'docs', 'note.txt'), os.path.join(seeds, 'plain.txt'))
    shutil.copy(os.path.join(src, '中文名.txt'), os.path.join(seeds, 'cjk.txt'))
    # A ZIP inside a tar.gz: the nested path.
    run(seeds, 'tar', '-czf', os.path.join(seeds, 'nest.tar.gz'), 'a.zip', 'a.7z')
    for sub, pattern in (('libarchive', '.rar'), ('libarchive', '.zip')):
        base = os.path.join(THIRD_PARTY, sub)
        if os.path.isdir(base):
            for name in sorted(os.listdir(base)):
                if name.endswith(pattern) and 'multivolume' not in name and 'multiarchive' not in name:
                    shutil.copy(os.path.join(base, name), seeds)
    # Documents of every kind, made by the test generator with Debian's python3 modules.
    run(seeds, '/usr/bin/python3', os.path.join(TOP, 'tests', 'documents', 'makedocuments.py'), seeds)
    # Archives and documents inside a RAR (stored), read as inside a ZIP.
    inner = [n for n in ('a.zip', 'a.7z', 'contract.docx', 'pages.pdf') if os.path.exists(os.path.join(seeds, n))]
    run(seeds, 'zip', '-q', '-0', os.path.join(seeds, 'nest.zip'), *inner)
    return [os.path.join(seeds, n) for n in sorted(os.listdir(seeds))]


def lha_stored(entries):
    """An LHA archive of stored ("-lh0-") entries with level 0 headers."""
    out = b''
    for name, data in entries:
        crc = 0
        for byte in data:
            crc ^= byte
            for _ in range(8):
                crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
        size = len(data).to_bytes(4, 'little')
        header = b'-lh0-' + size + size + (0x5A210000).to_bytes(4, 'little') + b'\x20\x00' \
            + bytes([len(name)]) + name + crc.to_bytes(2, 'little')
        out += bytes([len(header), sum(header) & 255]) + header + data
    return out + b'\0'


DOCUMENTS = {'docx', 'xlsx', 'pptx', 'odt', 'ods', 'odp', 'epub', 'pdf'}


def kind_of(path):
    name = os.path.basename(path).lower()
    for suffix in ('.tar.gz', '.tar.xz', '.tar.bz2', '.tar.zst'):
        if name.endswith(suffix):
            return suffix[1:]
    return os.path.splitext(name)[1][1:] or name


def mutate(data, rng):
    data = bytearray(data)
    kind = rng.randrange(3)
    if kind == 0 or len(data) < 2:
        for _ in range(rng.randint(1, 8)):
            if data:
                data[rng.randrange(len(data))] = rng.randrange(256)
    elif kind == 1:
        del data[rng.randrange(1, len(data)):]
    else:
        at = rng.randrange(len(data) + 1)
        data[at:at] = bytes(rng.randrange(256) for _ in range(rng.randint(1, 64)))
    return bytes(data)


def check(index, seed, data, args, work):
    folder = os.path.join(work, 'm%05d' % index)
    tmp = os.path.join(folder, 'tmp')
    case = os.path.join(folder, 'case')
    os.makedirs(tmp)
    os.makedirs(case)
    path = os.path.join(case, os.path.basename(seed))
    with open(path, 'wb') as f:
        f.write(data)
    # A damaged size can make a library ask for an impossible block; outside the sanitizer the
    # allocator answers with none and the library reports the archive damaged, so here too.
    env = dict(os.environ, TMPDIR=tmp, ASAN_OPTIONS='detect_leaks=0:abort_on_error=1:allocator_may_return_null=1',
               UBSAN_OPTIONS='print_stacktrace=1:halt_on_error=1')
    result = {'crash': 0, 'hang': 0, 'stray': 0, 'left': 0, 'hits': 0, 'diagnosed': 0, 'quiet': 0, 'many': 0}
    # A text each seed holds: the archives' and text files' own, or the documents'.
    found_text = {'pages.pdf': 'page'}.get(os.path.basename(seed), 'needle' if kind_of(seed) not in DOCUMENTS else '合同')
    for text in ('', found_text):
        cmd = [args.bin, '-d', case, '-n', '*'] + (['-t', text] if text else [])
        try:
            done = subprocess.run(cmd, env=env, capture_output=True, timeout=args.timeout)
        except subprocess.TimeoutExpired:
            result['hang'] += 1
            continue
        if done.returncode not in (0, 1) or b'Sanitizer' in done.stderr or b'runtime error' in done.stderr:
            result['crash'] += 1
            if args.keep:
                shutil.copy(path, os.path.join(args.keep, 'crash-%05d-%s' % (index, os.path.basename(seed))))
        prefix = (case + '/').encode()
        result['stray'] += sum(1 for line in done.stdout.split(b'\n') if line and not line.startswith(prefix))
        # Diagnostics: the lines on the error output that name the file (a RAR's lists more).
        said = sum(1 for line in done.stderr.split(b'\n') if line.strip())
        found = any(line.startswith(prefix) for line in done.stdout.split(b'\n'))
        result['hits'] += found
        result['diagnosed'] += said > 0
        result['quiet'] += not said and not found
        result['many'] += said > 1
    left = sum(len(files) for _, _, files in os.walk(tmp))
    result['left'] = left
    shutil.rmtree(folder, ignore_errors=True)
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--count', type=int, default=5000)
    parser.add_argument('--jobs', type=int, default=2)
    parser.add_argument('--timeout', type=float, default=20)
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--bin', default=os.path.join(TOP, 'build-asan', 'cli', 'quorvel-search'))
    parser.add_argument('--keep', help='folder to copy crashing inputs to')
    args = parser.parse_args()
    if not os.access(args.bin, os.X_OK):
        sys.exit('no quorvel-search at ' + args.bin + ' (build it with -DQUORVEL_SANITIZE=address)')
    if args.keep:
        os.makedirs(args.keep, exist_ok=True)
    rng = random.Random(args.seed)
    with tempfile.TemporaryDirectory() as work:
        seeds = make_seeds(work)
        contents = {s: open(s, 'rb').read() for s in seeds}
        print('seeds:', ', '.join(os.path.basename(s) for s in seeds), flush=True)
        cases = []
        for i in range(args.count):
            seed = seeds[i % len(seeds)]
            cases.append((i, seed, mutate(contents[seed], rng)))
        totals = {'crash': 0, 'hang': 0, 'stray': 0, 'left': 0}
        kinds = {}
        with ThreadPoolExecutor(args.jobs) as pool:
            for n, result in enumerate(pool.map(lambda c: check(*c, args, work), cases), 1):
                for key in totals:
                    totals[key] += result[key]
                kind = kinds.setdefault(kind_of(cases[n - 1][1]), dict.fromkeys(
                    ('files', 'runs with hits', 'runs diagnosed', 'runs with neither', 'runs with >1 diagnostic line'), 0))
                kind['files'] += 1
                kind['runs with hits'] += result['hits']
                kind['runs diagnosed'] += result['diagnosed']
                kind['runs with neither'] += result['quiet']
                kind['runs with >1 diagnostic line'] += result['many']
                if n % 500 == 0:
                    print(n, 'mutants:', totals, flush=True)
    for kind, counts in sorted(kinds.items()):
        print('  %-8s %s' % (kind, ', '.join('%s %d' % item for item in counts.items())))
    print('mutants: %d, runs: %d, crashes: %d, hangs: %d, output lines not hits: %d, temporary files left: %d'
          % (args.count, 2 * args.count, totals['crash'], totals['hang'], totals['stray'], totals['left']))
    return 1 if totals['crash'] or totals['hang'] or totals['stray'] or totals['left'] else 0


if __name__ == '__main__':
    sys.exit(main())
