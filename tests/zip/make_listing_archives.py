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

# A name stored by an NTFS host in code page 1251, without the UTF-8 flag.
with zipfile.ZipFile(path("ntfs.zip"), "w") as z:
    info = zipfile.ZipInfo("XXXXXX.txt")
    info.create_system = 11
    z.writestr(info, b"ntfs")
raw = open(path("ntfs.zip"), "rb").read().replace(b"XXXXXX.txt", "привет.txt".encode("cp1251"))
open(path("ntfs.zip"), "wb").write(raw)

# Names of a Unix host in code page 1251, without the UTF-8 flag, as Info-ZIP writes them in a
# Windows-1251 locale: "А№1.txt" begins C0 B9, and "1н«Ё.txt" holds ED AB A8, which would be a
# surrogate.
with zipfile.ZipFile(path("unix1251.zip"), "w") as z:
    for stand_in, text in (("XXXXXXX", b"one"), ("YYYYYYYY", b"two")):
        info = zipfile.ZipInfo(stand_in)
        info.create_system = 3
        info.create_version = 30
        info.external_attr = 0o100644 << 16
        z.writestr(info, text)
raw = open(path("unix1251.zip"), "rb").read()
raw = raw.replace(b"XXXXXXX", "А№1.txt".encode("cp1251")).replace(b"YYYYYYYY", "1н«Ё.txt".encode("cp1251"))
open(path("unix1251.zip"), "wb").write(raw)

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

# An entry declared beyond 4 GB (its data is not there: only the listing reads it): the header's
# sizes saturated, the true ones in the Zip64 extra field.
name = b"big.bin"
local = struct.pack("<IHHHIIIIHH", 0x04034B50, 45, 0, 0, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF, len(name), 20)
local += name + struct.pack("<HHQQ", 1, 16, 5000000000, 4999999999)
extra = struct.pack("<HHQQ", 1, 16, 5000000000, 4999999999)
central = struct.pack("<IHHHHIIIIHHHHHII", 0x02014B50, 0x031E, 45, 0, 0, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF,
                      len(name), len(extra), 0, 0, 0, 0, 0) + name + extra
end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local), 0)
open(path("big.zip"), "wb").write(local + central + end)
