#!/usr/bin/env python3
"""Writes hostile and damaged archives into the folder named on the command line."""
import os
import struct
import sys
import zipfile
import zlib

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def path(name):
    return os.path.join(out, name)


# Names that climb out of the base folder, and one harmless entry.
with zipfile.ZipFile(path("climb.zip"), "w") as z:
    for name in ["../evil1.txt", "/tmp/vt-evil-abs.txt", "C:evil3.txt", "..\\evil4.txt", "a/../../evil5.txt",
                 "ok/inside.txt"]:
        z.writestr(zipfile.ZipInfo(name), b"x")

# An entry that is a symbolic link, and a file under a folder that is a link on disk.
with zipfile.ZipFile(path("links.zip"), "w") as z:
    info = zipfile.ZipInfo("link")
    info.create_system = 3
    info.external_attr = 0o120777 << 16
    z.writestr(info, b"/etc")
    z.writestr("linked/file.txt", b"through the link")

# A bomb: the directory declares 1000 bytes, the data inflates to 10 MB.
data = b"\0" * (10 << 20)
with zipfile.ZipFile(path("bomb.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("big.bin", data)
raw = bytearray(open(path("bomb.zip"), "rb").read())
cd = raw.rfind(b"PK\x01\x02")
struct.pack_into("<I", raw, cd + 24, 1000)
struct.pack_into("<I", raw, 22, 1000)
open(path("bomb.zip"), "wb").write(raw)

# Two directory entries that share their data.
with zipfile.ZipFile(path("overlap.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("one.txt", b"shared data " * 100)
raw = bytearray(open(path("overlap.zip"), "rb").read())
cd = raw.rfind(b"PK\x01\x02")
end = raw.rfind(b"PK\x05\x06")
entry = bytes(raw[cd:end]).replace(b"one.txt", b"two.txt")
raw = raw[:end] + entry + raw[end:]
end = raw.rfind(b"PK\x05\x06")
count, size = struct.unpack_from("<HH", raw, end + 8)[0], struct.unpack_from("<I", raw, end + 12)[0]
struct.pack_into("<HHI", raw, end + 8, count + 1, count + 1, size + len(entry))
open(path("overlap.zip"), "wb").write(raw)

# Damaged data, and an archive cut short.
with zipfile.ZipFile(path("good.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("text.txt", b"some text that compresses " * 2000)
raw = bytearray(open(path("good.zip"), "rb").read())
damaged = bytearray(raw)
for i in range(60, 200):
    damaged[i] ^= 0x5A
open(path("damaged.zip"), "wb").write(damaged)
open(path("truncated.zip"), "wb").write(raw[: len(raw) // 2])
open(path("garbage.zip"), "wb").write(b"PK\x05\x06" + os.urandom(2000))

# A name that nests folders until the path is too long, behind a harmless entry in one of them.
with zipfile.ZipFile(path("deep.zip"), "w") as z:
    z.writestr("sub/ok.txt", b"ok")
    z.writestr("sub/" + "d/" * 3000 + "f.txt", b"too deep")
