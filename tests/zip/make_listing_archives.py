#!/usr/bin/env python3
"""Writes archives for the directory reader into the folder named on the command line."""
import os
import struct
import sys
import zipfile

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def path(name):
    return os.path.join(out, name)


# A name stored by an MS-DOS host in code page 866, without the UTF-8 flag.
with zipfile.ZipFile(path("dos.zip"), "w") as z:
    info = zipfile.ZipInfo("XXXX.txt")
    info.create_system = 0
    z.writestr(info, b"dos")
raw = open(path("dos.zip"), "rb").read().replace(b"XXXX.txt", "тест.txt".encode("cp866"))
open(path("dos.zip"), "wb").write(raw)

# A comment of ten characters; then padded with zeros to a multiple of 512, and with other bytes.
with zipfile.ZipFile(path("comment.zip"), "w") as z:
    z.writestr("a.txt", b"a")
    z.comment = b"0123456789"
raw = open(path("comment.zip"), "rb").read()
open(path("padded.zip"), "wb").write(raw + b"\0" * (512 - len(raw) % 512))
open(path("trailing.zip"), "wb").write(raw + b"x" * 100)
# A stub in front of an archive (offsets as written for the archive alone).
open(path("stub.zip"), "wb").write(b"MZ" + b"s" * 998 + raw)

# More entries than the end record's 16-bit count holds: a Zip64 end record.
with zipfile.ZipFile(path("many.zip"), "w") as z:
    for i in range(65540):
        z.writestr("f%05d" % i, b"")
