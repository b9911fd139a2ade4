#!/usr/bin/env python3
"""Damaged archives against quorvel-search (not part of CI).

Takes seed files (archives of every kind the program reads, a document, text files), makes
damaged copies of them (bytes flipped, cut short, bytes inserted), and runs quorvel-search,
preferably the address-sanitizer build, over each with a time limit. Counts crashes (a
sanitizer report or an exit other than 0/1), hangs, output lines that are not hits, and
temporary files left behind.

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
    run(src, 'gzip', '-c', 'docs/note.txt', stdout=open(os.path.join(seeds, 'note.txt.gz'), 'wb'))
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
    # A document, made by python-docx when Debian's python3 has it.
    run(seeds, '/usr/bin/python3', '-c', 'import docx; d = docx.Document(); '
        'd.add_paragraph("report needle 报告"); d.save("report.docx")')
    return [os.path.join(seeds, n) for n in sorted(os.listdir(seeds))]


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
    env = dict(os.environ, TMPDIR=tmp, ASAN_OPTIONS='detect_leaks=0:abort_on_error=1',
               UBSAN_OPTIONS='print_stacktrace=1:halt_on_error=1')
    result = {'crash': 0, 'hang': 0, 'stray': 0, 'left': 0}
    for text in ('', 'needle'):
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
        with ThreadPoolExecutor(args.jobs) as pool:
            for n, result in enumerate(pool.map(lambda c: check(*c, args, work), cases), 1):
                for key in totals:
                    totals[key] += result[key]
                if n % 500 == 0:
                    print(n, 'mutants:', totals, flush=True)
    print('mutants: %d, runs: %d, crashes: %d, hangs: %d, output lines not hits: %d, temporary files left: %d'
          % (args.count, 2 * args.count, totals['crash'], totals['hang'], totals['stray'], totals['left']))
    return 1 if totals['crash'] or totals['hang'] or totals['stray'] or totals['left'] else 0


if __name__ == '__main__':
    sys.exit(main())
