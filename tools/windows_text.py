#!/usr/bin/env python3
"""Writes a UTF-8 text file as a Windows text file: CRLF line ends, in the given
encoding (ascii, cp932), with @VERSION@ replaced by the version. Fails on a
character the encoding cannot spell.

usage: windows_text.py <source> <destination> <encoding> <version>
"""
import os
import sys

source, destination, encoding, version = sys.argv[1:5]
with open(source, encoding='utf-8') as f:
    text = f.read()
data = text.replace('@VERSION@', version).replace('\r\n', '\n').replace('\n', '\r\n').encode(encoding)
os.makedirs(os.path.dirname(destination), exist_ok=True)
with open(destination, 'wb') as f:
    f.write(data)
