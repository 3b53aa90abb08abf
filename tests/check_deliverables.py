#!/usr/bin/env python3
"""Checks that every file in build/dist loads on a bare Windows of the family:
32-bit x86 PE, subsystem version 4.0, imports only from the system's own
libraries and only their ANSI forms, and exports exactly the names it must.
For machine x86-64 (build/dist64): PE32+ for x86-64 and subsystem version 5.2,
the lowest that 64-bit Windows loads.

usage: check_deliverables.py <objdump> <dist directory> [i386|x86-64]
"""
import os
import re
import subprocess
import sys

SYSTEM_LIBRARIES = {'kernel32.dll', 'user32.dll', 'gdi32.dll', 'advapi32.dll', 'shell32.dll',
                    'ole32.dll', 'comctl32.dll', 'setupapi.dll', 'imm32.dll'}

EXPORTS = {
    'PINDREL.DLL': {'DllMain', 'DllGetClassObject', 'DllCanUnloadNow', 'Install', 'Uninstall', 'CplGetPage'},
    'QUORBIN.DLL': {'DllMain', 'DllGetClassObject', 'DllCanUnloadNow', 'CplGetPage', 'Open', 'Install',
                    'Uninstall'},
    'KELVARA.CPL': {'CPlApplet', 'DllMain', 'Install', 'Uninstall'},
    'SETUP.EXE': set(),
}

# Names that end in a capital W without being the wide form of an A/W pair.
NOT_WIDE = set()


def parse(objdump, path):
    text = subprocess.run([objdump, '-p', path], capture_output=True, text=True, check=True).stdout
    info = {'imports': {}, 'exports': set()}
    m = re.search(r'file format (\S+)', text)
    info['format'] = m.group(1) if m else ''
    m = re.search(r'MajorSubsystemVersion\s+(\d+)', text)
    n = re.search(r'MinorSubsystemVersion\s+(\d+)', text)
    info['subsystem_version'] = (int(m.group(1)), int(n.group(1))) if m and n else None
    m = re.search(r'^Magic\s+(\w+)', text, re.M)
    info['magic'] = m.group(1) if m else ''
    current = None
    in_exports = False
    for line in text.splitlines():
        dll = re.match(r'\s*DLL Name: (\S+)', line)
        if dll:
            current = dll.group(1).lower()
            info['imports'][current] = []
            continue
        if current is not None:
            entry = re.match(r'\s+[0-9a-f]+\s+(\d+)\s+(\S+)\s*$', line)
            if entry:
                info['imports'][current].append(entry.group(2))
                continue
            if not line.strip():
                current = None
        if line.startswith('[Ordinal/Name Pointer] Table'):
            in_exports = True
            continue
        if in_exports:
            e = re.match(r'\s+\[\s*\d+\]\s+(\S+)', line)
            if e:
                info['exports'].add(e.group(1))
            elif not line.strip():
                in_exports = False
    return info


def check(objdump, path, machine):
    name = os.path.basename(path).upper()
    problems = []
    info = parse(objdump, path)
    want_format, want_magic, want_version = {'i386': ('pei-i386', '010b', (4, 0)),
                                             'x86-64': ('pei-x86-64', '020b', (5, 2))}[machine]
    if info['format'] != want_format or info['magic'] != want_magic:
        problems.append(f'format {info["format"]} (magic {info["magic"]}), not {want_format}')
    if info['subsystem_version'] != want_version:
        problems.append(f'subsystem version {info["subsystem_version"]}, not {want_version[0]}.{want_version[1]}')
    for dll, functions in sorted(info['imports'].items()):
        if dll not in SYSTEM_LIBRARIES:
            problems.append(f'imports {dll}')
        for f in functions:
            if re.search(r'[a-z0-9]W$', f) and f not in NOT_WIDE:
                problems.append(f'imports the wide function {dll}!{f}')
    if name not in EXPORTS:
        problems.append('is not a known deliverable')
    elif info['exports'] != EXPORTS[name]:
        missing = EXPORTS[name] - info['exports']
        extra = info['exports'] - EXPORTS[name]
        problems.append(f'exports differ: missing {sorted(missing)}, extra {sorted(extra)}')
    return problems


def main():
    objdump, dist = sys.argv[1], sys.argv[2]
    machine = sys.argv[3] if len(sys.argv) > 3 else 'i386'
    files = sorted(f for f in os.listdir(dist) if f.upper().endswith(('.DLL', '.CPL', '.EXE')))
    if not files:
        print(f'no deliverables in {dist}')
        return 1
    failed = 0
    for f in files:
        problems = check(objdump, os.path.join(dist, f), machine)
        status = 'ok' if not problems else 'FAILED'
        print(f'{f}: {status}')
        for p in problems:
            print(f'  {p}')
        failed += bool(problems)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
