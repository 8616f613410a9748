#!/usr/bin/env python3
"""normalise-zip.py ZIP: rewrites ZIP so that nothing in it depends on who built it, when, or
on which file system. CPack's zip keeps the builder's user and group ids, the directory
listing's order and three time stamps a file; here every entry is in name order, dated
SOURCE_DATE_EPOCH (UTC), without extra fields, mode 755 (directories and executables) or 644.
"""
import os
import sys
import time
import zipfile

path = sys.argv[1]
stamp = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
staged = path + ".normalising"
with zipfile.ZipFile(path) as source, zipfile.ZipFile(staged, "w") as result:
    for entry in sorted(source.infolist(), key=lambda e: e.filename):
        executable = entry.is_dir() or (entry.external_attr >> 16) & 0o111
        mode = (0o040000 if entry.is_dir() else 0o100000) | (0o755 if executable else 0o644)
        normal = zipfile.ZipInfo(entry.filename, date_time=stamp)
        normal.create_system = 3  # Unix: unzip then reads the mode below
        normal.external_attr = mode << 16 | (0x10 if entry.is_dir() else 0)
        normal.compress_type = zipfile.ZIP_STORED if entry.is_dir() else zipfile.ZIP_DEFLATED
        result.writestr(normal, source.read(entry), compresslevel=9)
os.replace(staged, path)
