#!/usr/bin/env python3
"""usage: check_chm.py <source.txt> <KELVARA.CHM>...: as Free Pascal's chmls reads it,
#IVB and #STRINGS map exactly the source's context numbers, each to a page the file
holds by that name (never an absolute path); ITSF header and #SYSTEM record 4 declare
the source's language (0x0411 for '.language ja', else 0x0409)."""
import os, re, struct, subprocess, sys, tempfile

failures = []
folder = (workspace := tempfile.TemporaryDirectory()).name


def read(chm, name):
    out = os.path.join(folder, name.strip('/#'))
    subprocess.run(['chmls', 'extract', chm, name, out], capture_output=True)
    return open(out, 'rb').read() if os.path.exists(out) else b''


for source, chm in zip(sys.argv[1::2], sys.argv[2::2]):
    text = open(source, encoding='utf-8').read()
    numbers = sorted(int(n) for rest in re.findall(r'^\.topic +\S+(.*)$', text, re.M) for n in rest.split() if n.isdigit())
    lcid = 0x0411 if re.search(r'^\.language +ja\b', text, re.M) else 0x0409
    stored = subprocess.run(['chmls', '-n', 'list', chm], capture_output=True, check=True).stdout.decode('latin-1').split()
    ivb, strings, system = read(chm, '/#IVB'), read(chm, '/#STRINGS'), read(chm, '/#SYSTEM')
    mapped = []
    for number, offset in struct.iter_unpack('<II', ivb[4:4 + (len(ivb) - 4) // 8 * 8]):
        target = strings[offset:strings.find(b'\0', offset)].decode('latin-1')
        mapped.append(number)
        if re.match(r'[/\\]|[A-Za-z]:', target) or '/' + target not in stored:
            failures.append('%s: %d maps to %r, not a page in the file' % (chm, number, target))
    at, declared = 4, None
    while at + 8 <= len(system):
        code, length = struct.unpack_from('<HH', system, at)
        declared, at = struct.unpack_from('<I', system, at + 4)[0] if code == 4 else declared, at + 4 + length
    if not numbers or sorted(mapped) != numbers:
        failures.append('%s maps %s, not %s' % (chm, sorted(mapped), numbers))
    if open(chm, 'rb').read(0x18)[0x14:] != struct.pack('<I', lcid) or declared != lcid:
        failures.append('%s: declares LCID %s, not %#06x' % (chm, declared, lcid))
print('\n'.join('FAIL ' + failure for failure in failures) or 'checked: %s' % ' '.join(sys.argv[2::2]))
sys.exit(1 if failures or len(sys.argv) < 3 else 0)
