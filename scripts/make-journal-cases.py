#!/usr/bin/env python3
"""Writes the damaged journals of tests/data/cases/recovery.cases into
tests/data/cases/files/: each is a record of dead run 999999 over p(2x2).bmp,
its new file .tessarel-999999-1 and its older one kept as .tessarel-999999-2,
spoilt in one way that a reader must refuse while the checksum holds."""
import os

FILES = os.path.join(os.path.dirname(__file__), "..", "tests", "data", "cases", "files")


def fnv1a32(data):
    h = 2166136261
    for b in data:
        h = ((h ^ b) * 16777619) & 0xFFFFFFFF
    return h


def record(body, length=None, after=b""):
    length = len(body) if length is None else length
    return b"P %d %x\n" % (length, fnv1a32(body)) + body + after


def entry(how="L", identity="0", target="p(2x2).bmp", fresh=".tessarel-999999-1",
          backup=".tessarel-999999-2", end="\n"):
    fields = [f"{len(name)}:{name}" for name in (target, fresh, backup)]
    return f"{how} {identity} {' '.join(fields)}{end}".encode()


JOURNALS = {
    "unknown-kind": record(entry(how="Q")),
    "target-outside": record(entry(target="../p(2x2).bmp")),
    "kept-without-backup": record(entry(backup="")),
    "length-past-record": record(entry(), length=len(entry()) + 1),
    "entry-cut-after-kind": record(entry() + b"L"),
    "identity-not-a-number": record(entry().replace(b"L 0 ", b"L 0x", 1)),
    "name-to-record-end": record(entry(end=""), after=b"\n"),
}

for name, data in JOURNALS.items():
    with open(os.path.join(FILES, f"journal-{name}.journal"), "wb") as out:
        out.write(data)
