#!/usr/bin/env python3
"""Checks the release archives against the files they are packed from: each holds
every file of its distribution at its top level, byte for byte, with the help files
(KELVARA.HLP and KELVARA.CHM) of its language and a README.TXT in Windows form (CRLF,
ASCII or code page 932); SHA256SUMS names every archive with its hash.

usage: check_archives.py <archives dir> <version> <Japanese .hlp> <Japanese .chm> <arch>=<dist dir>...
"""
import hashlib
import os
import sys
import zipfile

archives, version, help_ja, chm_ja = sys.argv[1:5]
dists = dict(arg.split('=', 1) for arg in sys.argv[5:])
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def read(path):
    with open(path, 'rb') as f:
        return f.read()


expected_sums = []
for arch, dist in sorted(dists.items()):
    english = {name: os.path.join(dist, name) for name in ('KELVARA.HLP', 'KELVARA.CHM')}
    japanese = {'KELVARA.HLP': help_ja, 'KELVARA.CHM': chm_ja}
    for suffix, help_files, encoding in (('', english, 'ascii'), ('-ja', japanese, 'cp932')):
        name = 'Kelvara-%s-%s%s.zip' % (version, arch, suffix)
        path = os.path.join(archives, name)
        expected_sums.append('%s  %s' % (hashlib.sha256(read(path)).hexdigest(), name))
        with zipfile.ZipFile(path) as archive:
            files = {info.filename: archive.read(info) for info in archive.infolist()}
        check(set(files) == set(os.listdir(dist)) | {'README.TXT'}, '%s holds %s' % (name, sorted(files)))
        for file, data in files.items():
            source = help_files.get(file, os.path.join(dist, file))
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
