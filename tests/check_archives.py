#!/usr/bin/env python3
"""Checks the release archives against the files they are packed from: each holds
every file of its distribution at its top level, byte for byte, with the help file
of its language and a README.TXT in Windows form (CRLF, ASCII or code page 932);
SHA256SUMS names every archive with its hash.

usage: check_archives.py <archives dir> <version> <Japanese help> <arch>=<dist dir>...
"""
import hashlib
import os
import sys
import zipfile

archives, version, help_ja = sys.argv[1:4]
dists = dict(arg.split('=', 1) for arg in sys.argv[4:])
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def read(path):
    with open(path, 'rb') as f:
        return f.read()


expected_sums = []
for arch, dist in sorted(dists.items()):
    for suffix, help_file, encoding in (('', os.path.join(dist, 'KELVARA.HLP'), 'ascii'), ('-ja', help_ja, 'cp932')):
        name = 'Kelvara-%s-%s%s.zip' % (version, arch, suffix)
        path = os.path.join(archives, name)
        expected_sums.append('%s  %s' % (hashlib.sha256(read(path)).hexdigest(), name))
        with zipfile.ZipFile(path) as archive:
            files = {info.filename: archive.read(info) for info in archive.infolist()}
        check(set(files) == set(os.listdir(dist)) | {'README.TXT'}, '%s holds %s' % (name, sorted(files)))
        for file, data in files.items():
            source = help_file if file == 'KELVARA.HLP' else os.path.join(dist, file)
            check(file == 'README.TXT' or data == read(source), '%s: %s differs from %s' % (name, file, source))
        readme = files.get('README.TXT', b'')
        text = readme.decode(encoding, errors='replace')
        check(readme.count(b'\n') == readme.count(b'\r\n') == readme.count(b'\r') > 0, name + ': README.TXT lines')
        check('\ufffd' not in text and version in text, name + ': README.TXT is not %s text of %s' % (encoding, version))
        check(encoding == 'ascii' or any(ord(c) > 0x3000 for c in text), name + ': README.TXT is not Japanese')

sums = read(os.path.join(archives, 'SHA256SUMS')).decode('ascii').splitlines()
check(sums == sorted(expected_sums, key=lambda line: line.split()[1]), 'SHA256SUMS: %s' % sums)
for failure in failures:
    print('FAIL', failure)
sys.exit(1 if failures else 0)
