#!/usr/bin/env python3
"""Independent IFF ILBM reader for the export tests.

Usage: ilbm_check.py FILE.iff OUT.ppm

Walks the IFF chunks (with their pad bytes), checks the FORM size against
the file size, reads BMHD, CMAP and BODY (uncompressed or ByteRun1), turns
the interleaved bitplanes into palette colours and writes a binary PPM.
Exits with 1 and a message on stderr when the file is not a readable ILBM.
"""
import struct
import sys


def fail(msg):
    sys.stderr.write("ilbm_check: " + msg + "\n")
    sys.exit(1)


def unpack_byterun1(data, size):
    out = bytearray()
    i = 0
    while len(out) < size:
        if i >= len(data):
            fail("ByteRun1 data ends early")
        n = struct.unpack("b", data[i:i + 1])[0]
        i += 1
        if n >= 0:
            out += data[i:i + n + 1]
            i += n + 1
        elif n != -128:
            out += data[i:i + 1] * (1 - n)
            i += 1
    return bytes(out[:size])


def main():
    if len(sys.argv) != 3:
        fail("usage: ilbm_check.py FILE.iff OUT.ppm")
    raw = open(sys.argv[1], "rb").read()
    if len(raw) < 12 or raw[0:4] != b"FORM" or raw[8:12] != b"ILBM":
        fail("not a FORM ILBM file")
    form_size = struct.unpack(">I", raw[4:8])[0]
    if form_size + 8 != len(raw):
        fail("FORM size %d does not match file size %d" % (form_size, len(raw)))

    chunks = {}
    pos = 12
    while pos < len(raw):
        if pos + 8 > len(raw):
            fail("truncated chunk header")
        cid = raw[pos:pos + 4].decode("latin-1")
        size = struct.unpack(">I", raw[pos + 4:pos + 8])[0]
        body = raw[pos + 8:pos + 8 + size]
        if len(body) != size:
            fail("chunk %s runs past the end" % cid)
        chunks[cid] = body
        pos += 8 + size + (size & 1)
    for need in ("BMHD", "CMAP", "BODY"):
        if need not in chunks:
            fail("missing " + need)

    w, h, _x, _y, planes, masking, compression, _pad, _transp, _xa, _ya, _pw, _ph = struct.unpack(
        ">HHhhBBBBHBBhh", chunks["BMHD"][:20])
    if masking != 0:
        fail("masking not expected")
    cmap = chunks["CMAP"]
    colours = [tuple(cmap[i:i + 3]) for i in range(0, len(cmap) - 2, 3)]
    row_bytes = ((w + 15) // 16) * 2
    need = row_bytes * planes * h
    data = chunks["BODY"]
    if compression == 1:
        data = unpack_byterun1(data, need)
    elif compression != 0:
        fail("unknown compression")
    if len(data) < need:
        fail("BODY has %d bytes, needs %d" % (len(data), need))

    out = bytearray(b"P6\n%d %d\n255\n" % (w, h))
    for y in range(h):
        base = y * planes * row_bytes
        for x in range(w):
            byte = x >> 3
            bit = 7 - (x & 7)
            index = 0
            for p in range(planes):
                if (data[base + p * row_bytes + byte] >> bit) & 1:
                    index |= 1 << p
            if index >= len(colours):
                fail("pixel index %d outside the colour map" % index)
            out += bytes(colours[index])
    with open(sys.argv[2], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
