#!/usr/bin/env python3
"""Writes a smallest Windows executable-format file whose version resource holds the given file
version, for the demo disc's version checks.

    scripts/make-version-file.py OUT MAJOR.MINOR.RELEASE.BUILD
"""
import struct
import sys


def make(version):
    major, minor, release, build = version
    pe, rsrc_raw, rsrc_rva = 0x80, 0x200, 0x3000
    b = bytearray(rsrc_raw + 0x200)
    b[0:2] = b"MZ"
    struct.pack_into("<I", b, 0x3C, pe)
    b[pe:pe + 4] = b"PE\0\0"
    coff = pe + 4
    struct.pack_into("<HHIIIHH", b, coff, 0x14C, 1, 0, 0, 0, 224, 0x102)
    opt = coff + 20
    struct.pack_into("<H", b, opt, 0x10B)
    struct.pack_into("<I", b, opt + 92, 16)  # number of data directories
    dirs = opt + 96
    block = rsrc_raw + 0x58
    block_length = 40 + 52
    rsrc_size = (block - rsrc_raw) + block_length
    struct.pack_into("<II", b, dirs + 2 * 8, rsrc_rva, rsrc_size)
    section = opt + 224
    b[section:section + 5] = b".rsrc"
    struct.pack_into("<IIII", b, section + 8, rsrc_size, rsrc_rva, 0x200, rsrc_raw)
    # Resource tree: type 16 (version) -> id 1 -> language 0x409 -> data entry.
    struct.pack_into("<H", b, rsrc_raw + 14, 1)
    struct.pack_into("<II", b, rsrc_raw + 16, 16, 0x80000000 | 0x18)
    struct.pack_into("<H", b, rsrc_raw + 0x18 + 14, 1)
    struct.pack_into("<II", b, rsrc_raw + 0x18 + 16, 1, 0x80000000 | 0x30)
    struct.pack_into("<H", b, rsrc_raw + 0x30 + 14, 1)
    struct.pack_into("<II", b, rsrc_raw + 0x30 + 16, 0x409, 0x48)
    struct.pack_into("<II", b, rsrc_raw + 0x48, rsrc_rva + (block - rsrc_raw), block_length)
    struct.pack_into("<HHH", b, block, block_length, 52, 0)
    key = "VS_VERSION_INFO".encode("utf-16-le")
    b[block + 6:block + 6 + len(key)] = key
    fixed = block + 40
    struct.pack_into("<IIII", b, fixed, 0xFEEF04BD, 0x00010000, (major << 16) | minor, (release << 16) | build)
    return bytes(b)


if __name__ == "__main__":
    out, text = sys.argv[1], sys.argv[2]
    numbers = [int(x) for x in text.split(".")]
    with open(out, "wb") as f:
        f.write(make(numbers))
