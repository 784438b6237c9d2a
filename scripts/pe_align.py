#!/usr/bin/env python3
"""Pads a PE file to a multiple of 8 bytes and sets its checksum.

    pe_align.py FILE...

Authenticode signing pads a file so to append its signature, and removing
the signature leaves that padding with a fresh checksum. A file that is
padded and summed already comes back byte for byte from a signed copy
(osslsigncode remove-signature), so a signed release can be compared with
an unsigned rebuild."""
import struct
import sys


def align(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    data += bytes(-len(data) % 8)
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"pe_align: {path} is not a PE file")
    field = pe + 24 + 64  # the optional header's CheckSum
    struct.pack_into("<I", data, field, 0)
    total = 0
    for (word,) in struct.iter_unpack("<H", data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    struct.pack_into("<I", data, field, (total & 0xFFFF) + len(data))
    with open(path, "wb") as f:
        f.write(data)


for name in sys.argv[1:]:
    align(name)
