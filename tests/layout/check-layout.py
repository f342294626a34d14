#!/usr/bin/env python3
"""The architecture as the tree shows it: no include cycle between folders of production code, no Qt or
window code below the frame, no vector intrinsics in the thirteen procedure files, no production file over
500 lines. Prints each breach and exits 1 when there is one."""
import os
import re
import sys

ROOT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', '..')
PRODUCTION = ['engine', 'analysis', 'plot', 'frame', 'windows', 'app', 'cli']
QT_FREE = ['engine', 'analysis']  # with every folder below them
PROCEDURE_FOLDERS = ['analysis/randomization', 'analysis/bootstrap']
INTRINSICS = re.compile(r'\b(_mm\d*_\w+|__m(128|256|512)\w*)\b|<immintrin\.h>|<[a-z]mmintrin\.h>')
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]', re.M)
LIMIT = 500


def sources():
    for top in PRODUCTION:
        for folder, _, files in os.walk(os.path.join(ROOT, top)):
            for name in files:
                if name.endswith(('.h', '.cpp')):
                    path = os.path.join(folder, name)
                    yield os.path.relpath(path, ROOT), open(path, encoding='utf-8').read()


def folder_of(path):
    return os.path.dirname(path)


def cycles(edges):
    """Every folder that can reach itself through includes of other folders."""
    found = []
    for start in sorted(edges):
        seen, stack = set(), list(edges[start])
        while stack:
            f = stack.pop()
            if f == start:
                found.append(start)
                break
            if f not in seen:
                seen.add(f)
                stack.extend(edges.get(f, ()))
    return found


def main():
    breaches = []
    edges = {}
    files = dict(sources())
    for path, text in files.items():
        here = folder_of(path)
        lines = text.count('\n')
        if lines > LIMIT:
            breaches.append(f'{path}: {lines} lines (at most {LIMIT})')
        for target in INCLUDE.findall(text):
            there = folder_of(target)
            if target in files and there != here:
                edges.setdefault(here, set()).add(there)
            if any(here == q or here.startswith(q + '/') for q in QT_FREE):
                if target.startswith('Q') or target.startswith('qt') or there in ('frame', 'windows', 'plot', 'app'):
                    breaches.append(f'{path}: includes {target} below the Qt line')
        if folder_of(path) in PROCEDURE_FOLDERS and INTRINSICS.search(text):
            breaches.append(f'{path}: vector intrinsics in a procedure file (they belong in analysis/lanes/)')
    for folder in cycles(edges):
        breaches.append(f'{folder}: in an include cycle between folders')
    for b in breaches:
        print(b)
    print(f'{len(files)} files in {len(PRODUCTION)} folders checked: {len(breaches)} breaches')
    return 1 if breaches else 0


if __name__ == '__main__':
    sys.exit(main())
