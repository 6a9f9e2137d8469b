#!/usr/bin/env python3
"""Checks that the include graph follows the library graph.

Reads the libraries, programs and test binaries with their source lists and
links from src/, tools/ and tests/CMakeLists.txt (add_halvex_library,
add_halvex_tool, add_halvex_test, the test support library), then every
#include "folder/File.h" in their sources.
Fails when
  - a file in src/ belongs to no target (or to two),
  - a target includes a header of a library it does not link, directly or
    through the libraries it links,
  - the libraries link in a circle.
With --graph it prints the library graph and, per target, the libraries
its files include.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LINK = re.compile(r'target_link_libraries\((\S+)\s+(?:PUBLIC|PRIVATE|INTERFACE)?([^()]*)\)')
CALL = re.compile(r'add_halvex_(library|tool|test)\(([^()]*(?:\([^()]*\)[^()]*)*)\)', re.S)
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
GENERATED = {'HalvexVersion.h': 'halvex_version'}


def parse_call(kind, body, folder):
    words = re.sub(r'#[^\n]*', '', body).split()
    name = words[0]
    lists = {'SOURCES': [], 'LINKS': []}
    key = None
    for w in words[1:]:
        if w in lists:
            key = w
        elif w in ('LABEL', 'WINDOW'):
            key = None if w == 'WINDOW' else 'LABEL'
        elif key == 'LABEL':
            key = None
        elif key:
            lists[key].append(w)
    if kind == 'library':
        target, base = 'halvex_' + name, os.path.join('src', name)
    elif kind == 'test':
        target, base = name, folder
        lists['LINKS'].append('halvex_test_support')
    else:
        target, base = name, os.path.join(folder, name)
    files = [os.path.normpath(os.path.join(base, f)) for f in lists['SOURCES']]
    links = [l for l in lists['LINKS'] if l.startswith('halvex_')]
    return target, files, links


def read_targets():
    targets = {}
    for folder in ('src', 'tools', 'tests'):
        text = re.sub(r'#[^\n]*', '', open(os.path.join(ROOT, folder, 'CMakeLists.txt')).read())
        for m in CALL.finditer(text):
            if '${' in m.group(2).split()[0]:
                continue  # the helper's own definition
            target, files, links = parse_call(m.group(1), m.group(2), folder)
            targets[target] = (files, links)
        if folder == 'tests':
            m = re.search(r'add_library\(halvex_test_support STATIC([^()]*)\)', text)
            targets['halvex_test_support'] = ([os.path.join('tests', f) for f in m.group(1).split()], [])
        for m in LINK.finditer(text):
            if m.group(1) in targets:
                targets[m.group(1)][1].extend(w for w in m.group(2).split() if w.startswith('halvex_'))
    # The desktop program: app/main.cpp, linked with the window library.
    targets['halvex3'] = ([os.path.join('src', 'app', 'main.cpp')], ['halvex_gui'])
    return targets


def closure(graph, start):
    seen, todo = set(), list(graph.get(start, []))
    while todo:
        t = todo.pop()
        if t not in seen:
            seen.add(t)
            todo.extend(graph.get(t, []))
    return seen


def main():
    targets = read_targets()
    owner, errors = {}, []
    for target, (files, _) in targets.items():
        for f in files:
            if f in owner:
                errors.append(f'{f} is in both {owner[f]} and {target}')
            owner[f] = target
    for dirpath, _, names in os.walk(os.path.join(ROOT, 'src')):
        for n in names:
            if n.endswith(('.cpp', '.h')):
                rel = os.path.relpath(os.path.join(dirpath, n), ROOT)
                if rel not in owner:
                    errors.append(f'{rel} belongs to no target')

    graph = {t: links for t, (_, links) in targets.items()}
    for t in graph:
        if t in closure(graph, t):
            errors.append(f'{t} links itself through {sorted(closure(graph, t))}')

    used = {t: set() for t in targets}
    for target, (files, links) in targets.items():
        reach = closure(graph, target)
        for f in files:
            path = os.path.join(ROOT, f)
            if not os.path.exists(path):
                errors.append(f'{f} is listed for {target} but does not exist')
                continue
            for inc in INCLUDE.findall(open(path, encoding='latin-1').read()):
                if inc in GENERATED:
                    lib = GENERATED[inc]
                else:
                    lib = None
                    for base in (os.path.dirname(f), 'src', 'tests'):
                        lib = lib or owner.get(os.path.normpath(os.path.join(base, inc)))
                if lib is None:
                    errors.append(f'{f}: "{inc}" is in no target')
                    continue
                if lib == target:
                    continue
                used[target].add(lib)
                if lib not in reach:
                    errors.append(f'{f} ({target}) includes "{inc}" of {lib}, which it does not link')

    if '--graph' in sys.argv:
        for t in sorted(targets):
            print(f'{t}: links {" ".join(graph[t]) or "-"}; includes {" ".join(sorted(used[t])) or "-"}')
    for e in errors:
        print('check-includes: ' + e, file=sys.stderr)
    if errors:
        return 1
    print(f'check-includes: {len(owner)} files in {len(targets)} targets; every include within the link graph, no circle')
    return 0


if __name__ == '__main__':
    sys.exit(main())
