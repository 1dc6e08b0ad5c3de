#!/usr/bin/env python3
"""Reads an EBU subtitle list from the published block layout (a 1024-byte
GSI block, then 128-byte TTI blocks) and checks its structure; prints JSON:
  {"gsi": {field: text}, "subtitles": [{"sn", "tci", "tco", "vp", "jc",
   "rows": [UTF-8 text], "codes": [teletext codes of each row, or the
   open-subtitle style codes 80h-85h], "blocks"}]}
Text is decoded with the C library's ISO 6937 converter (iconv), not a table
of our own. Any fault of the layout stops with a message and exit code 1."""
import subprocess
import sys

GSI_FIELDS = [  # name, offset, size
    ("CPN", 0, 3), ("DFC", 3, 8), ("DSC", 11, 1), ("CCT", 12, 2), ("LC", 14, 2), ("OPT", 16, 32),
    ("OET", 48, 32), ("TPT", 80, 32), ("TET", 112, 32), ("TN", 144, 32), ("TCD", 176, 32),
    ("SLR", 208, 16), ("CD", 224, 6), ("RD", 230, 6), ("RN", 236, 2), ("TNB", 238, 5), ("TNS", 243, 5),
    ("TNG", 248, 3), ("MNC", 251, 2), ("MNR", 253, 2), ("TCS", 255, 1), ("TCP", 256, 8), ("TCF", 264, 8),
    ("TND", 272, 1), ("DSN", 273, 1), ("CO", 274, 3), ("PUB", 277, 32), ("EN", 309, 32), ("ECD", 341, 32),
    ("SPARE", 373, 75), ("UDA", 448, 576),
]


def fail(message):
    print("stl_check: " + message, file=sys.stderr)
    sys.exit(1)


def iso6937(data):
    if not data:
        return ""
    done = subprocess.run(["iconv", "-f", "ISO_6937", "-t", "UTF-8"], input=data, capture_output=True)
    if done.returncode != 0:
        fail("iconv cannot read %r: %s" % (data, done.stderr.decode()))
    return done.stdout.decode("utf-8")


def digits(gsi, name, size):
    value = gsi[name]
    if len(value) != size or not value.isdigit():
        fail("GSI %s is not %d digits: %r" % (name, size, value))
    return int(value)


def timecode(b, rate, what):
    hh, mm, ss, ff = b
    if hh > 23 or mm > 59 or ss > 59 or ff >= rate:
        fail("%s %02d:%02d:%02d:%02d is not a time code at %d frames" % (what, hh, mm, ss, ff, rate))
    return "%02d:%02d:%02d:%02d" % (hh, mm, ss, ff)


def main():
    data = open(sys.argv[1], "rb").read()
    if len(data) < 1024 or (len(data) - 1024) % 128:
        fail("size %d is not 1024 + n * 128" % len(data))
    raw = data[:1024]
    gsi = {name: raw[at:at + size].decode("cp850") for name, at, size in GSI_FIELDS}
    if gsi["CPN"] != "850":
        fail("CPN %r" % gsi["CPN"])
    if gsi["DFC"] not in ("STL25.01", "STL30.01"):
        fail("DFC %r" % gsi["DFC"])
    rate = 25 if gsi["DFC"] == "STL25.01" else 30
    if gsi["DSC"] not in (" ", "0", "1", "2"):
        fail("DSC %r" % gsi["DSC"])
    if gsi["CCT"] != "00":
        fail("CCT %r" % gsi["CCT"])
    int(gsi["LC"], 16)
    for name in ("CD", "RD"):
        digits(gsi, name, 6)
    tnb, tns, tng = digits(gsi, "TNB", 5), digits(gsi, "TNS", 5), digits(gsi, "TNG", 3)
    mnc, mnr = digits(gsi, "MNC", 2), digits(gsi, "MNR", 2)
    if gsi["TCS"] != "1":
        fail("TCS %r" % gsi["TCS"])
    for name in ("TCP", "TCF"):
        v = digits(gsi, name, 8)
        timecode([v // 1000000, v // 10000 % 100, v // 100 % 100, v % 100], rate, name)
    if gsi["TND"] != "1" or gsi["DSN"] != "1":
        fail("TND/DSN %r %r" % (gsi["TND"], gsi["DSN"]))
    blocks = (len(data) - 1024) // 128
    if tnb != blocks:
        fail("TNB %d but %d blocks" % (tnb, blocks))
    teletext = gsi["DSC"] in ("1", "2")

    subtitles = []
    pending = None
    for k in range(blocks):
        b = data[1024 + 128 * k:1024 + 128 * (k + 1)]
        sgn, sn, ebn, cs = b[0], b[1] | b[2] << 8, b[3], b[4]
        if cs != 0 or b[15] != 0:
            fail("block %d: CS %d CF %d" % (k, cs, b[15]))
        if b[14] not in (0, 1, 2, 3):
            fail("block %d: JC %d" % (k, b[14]))
        vp = b[13]
        if teletext and not 1 <= vp <= 23:
            fail("block %d: teletext VP %d" % (k, vp))
        if not teletext and vp > mnr:
            fail("block %d: open VP %d above MNR %d" % (k, vp, mnr))
        tf = b[16:]
        # The used text ends at the first padding byte; none may follow it.
        end = tf.find(b"\x8f")
        if end >= 0 and tf[end:] != b"\x8f" * (112 - end):
            fail("block %d: text after the padding" % k)
        used = tf if end < 0 else tf[:end]
        head = (sgn, sn, timecode(b[5:9], rate, "TCI"), timecode(b[9:13], rate, "TCO"), vp, b[14])
        if pending is not None:
            if head != pending["head"] or ebn != pending["next"] and ebn != 0xFF:
                fail("block %d: extension of subtitle %d does not follow on" % (k, pending["head"][1]))
            pending["text"] += used
            pending["blocks"] += 1
        else:
            pending = {"head": head, "text": used, "blocks": 1}
        if ebn == 0xFF:
            subtitles.append(pending)
            pending = None
        else:
            pending["next"] = ebn + 1
    if pending is not None:
        fail("the last subtitle has no closing block")
    if tns != len(subtitles):
        fail("TNS %d but %d subtitles" % (tns, len(subtitles)))
    if tng != 1:
        fail("TNG %d" % tng)

    for name, _, _ in GSI_FIELDS[:-2]:
        print("gsi %s=%s" % (name, gsi[name]))
    print("spare", "blank" if raw[373:1024] == b" " * 651 else "used")
    for s in subtitles:
        sgn, sn, tci, tco, vp, jc = s["head"]
        rows, codes = [], []
        for part in s["text"].split(b"\x8a"):
            if teletext and not part:
                continue  # the second new line of double height
            text = bytearray()
            row_codes = []
            for c in part:
                if c < 0x20:
                    if not teletext:
                        fail("subtitle %d: teletext code %02x in an open subtitle" % (sn, c))
                    row_codes.append(c)
                elif 0x80 <= c <= 0x85 and not teletext:
                    row_codes.append(c)  # italics, underline, boxing on and off of open subtitles
                elif 0x80 <= c <= 0x9f:
                    fail("subtitle %d: code %02x in the text" % (sn, c))
                else:
                    text.append(c)
            if not teletext and not part:
                fail("subtitle %d: empty row" % sn)
            rows.append(iso6937(bytes(text)))
            codes.append(row_codes)
            if len(rows[-1]) > mnc and not teletext:
                fail("subtitle %d: row longer than MNC %d" % (sn, mnc))
        if len(rows) > mnr:
            fail("subtitle %d: more rows than MNR" % sn)
        if sgn != 0:
            fail("subtitle %d: group %d" % (sn, sgn))
        print("sub", sn, tci, tco, vp, jc, s["blocks"])
        for text, row_codes in zip(rows, codes):
            print("row %s|%s" % ("".join("%02x" % c for c in row_codes) or "-", text))


main()
