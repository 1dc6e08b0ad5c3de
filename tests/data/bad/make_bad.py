#!/usr/bin/env python3
"""Writes the small bad-input files of tests/data/bad/<kind>/ (committed).

Large ones (oversized files, huge lists) are made by the tests themselves.
tests/reliability/BadInputTest.cpp names the message each file must give.
"""
import os
import random
import struct
import subprocess
import zlib

here = os.path.dirname(os.path.abspath(__file__))
rng = random.Random(20170306)


def put(kind, name, data):
    os.makedirs(os.path.join(here, kind), exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(here, kind, name), "wb") as f:
        f.write(data)


def common(kind, ext, good):
    """The five kinds every reader gets: truncated, zero-size, 0x00-filled,
    random bytes, and a good file behind a wrong signature."""
    put(kind, "truncated" + ext, good[: len(good) * 2 // 5])
    put(kind, "zero_size" + ext, b"")
    put(kind, "zeros" + ext, b"\0" * 4096)
    put(kind, "random" + ext, bytes(rng.getrandbits(8) for _ in range(2048)))


HEADER = ("##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
          "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
          "##-Number of lines/pages: 4 / 2\r\n##-Word count: 3\r\n##-User Timed Session: 0\r\n##-;\r\n")
PROJECT = HEADER + ("A0000||00:00:01:00>00:00:02:12|25+37|430\r\nB0000|Hello|00:00:01:00>00:00:02:12|25+37|430\r\n")
common("project", ".KVL8", PROJECT.encode())
put("project", "wrong_magic.KVL8", PROJECT.replace("KVL8 Project", "KVL9 Project", 1))
put("project", "zero_width.KVL8", PROJECT.replace("Width: 720", "Width: 0"))
put("project", "no_terminator.KVL8", PROJECT.replace("##-;\r\n", "##-\r\n"))
put("project", "huge_numbers.KVL8", PROJECT.replace("Width: 720", "Width: 99999999999999999999")
    .replace("Profile: 1", "Profile: 99999999999").replace("|430", "|-99999999999999"))

SRT = "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n\r\n2\r\n00:00:03,000 --> 00:00:04,000\r\nGood\r\nbye\r\n\r\n"
common("srt", ".srt", SRT.encode())
put("srt", "wrong_magic.srt", SRT.replace("1\r\n", "0\r\n", 1))
put("srt", "utf16_odd_length.srt", b"\xff\xfe" + SRT.encode("utf-16-le")[:-1])
put("srt", "huge_times.srt", "1\n99999999999:99999999999:99999999999,99999999999 --> -1:-1:-1,-1\nx\n")

INI = ("[Global]\r\nStartupProfile = 1\r\nPreset = 0\r\n[Profiles]\r\nProfile = ----- SD -----\r\n"
       "Profile = 720|576|PAL|430|16|25\r\n[Presets]\r\nPreset = Default|0,0,0|1|0|254|0|0,0,160|0|-1|46|1|1|20\r\n")
common("settings", ".ini", INI.encode())
put("settings", "wrong_magic.ini", "\x89PNG\r\n\x1a\n" + INI)
put("settings", "no_presets_section.ini", INI[: INI.index("[Presets]")])
put("settings", "bad_fps.ini", INI.replace("|16|25", "|16|inf") + "Profile = 720|480|NTSC|356|16|1e39\r\n")
put("settings", "huge_profile.ini", INI.replace("Profile = 720|576|PAL|430|16|25", "Profile = 30000|30000|Huge|430|16|25"))


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def png(w, h, rows=None, bit_depth=8, color=6):
    ihdr = struct.pack(">IIBBBBB", w, h, bit_depth, color, 0, 0, 0)
    raw = rows if rows is not None else b"".join(b"\0" + b"\0" * (w * 4) for _ in range(h))
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


good_png = png(16, 8)
common("fontsheet", ".png", good_png)
put("fontsheet", "wrong_magic.png", b"\x89PNX" + good_png[4:])
put("fontsheet", "one_row.png", png(30, 1))
put("fontsheet", "huge_dimensions.png", png(30000, 30000, rows=b""))


def convert(args, fmt):
    out = subprocess.run(["convert", "-size", "20x10", "gradient:red-blue"] + args + [fmt + ":-"],
                         check=True, stdout=subprocess.PIPE)
    return out.stdout


def huge_bmp():
    return (b"BM" + struct.pack("<IHHI", 54, 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, 30000, 30000, 1, 24, 0, 0, 2835, 2835, 0, 0))


def huge_tga():
    return struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, 30000, 30000, 24, 0)


def huge_jpeg(good):
    # The first SOF0 marker holds height and width.
    at = good.index(b"\xff\xc0")
    return good[: at + 5] + struct.pack(">HH", 30000, 30000) + good[at + 9:]


def huge_tiff():
    entries = [(256, 3, 1, 30000), (257, 3, 1, 30000), (258, 3, 1, 8), (259, 3, 1, 1), (262, 3, 1, 1),
               (273, 4, 1, 8), (277, 3, 1, 1), (278, 3, 1, 30000), (279, 4, 1, 900000000)]
    ifd = struct.pack("<H", len(entries))
    for tag, typ, count, value in entries:
        ifd += struct.pack("<HHI", tag, typ, count) + (struct.pack("<HH", value, 0) if typ == 3 else struct.pack("<I", value))
    ifd += struct.pack("<I", 0)
    return b"II*\0" + struct.pack("<I", 8) + ifd


pictures = {
    ".png": (good_png, b"\x89PNX", png(30000, 30000, rows=b"")),
    ".jpg": (convert([], "JPEG"), b"\xff\xd9\xff", None),
    ".tif": (convert(["-compress", "None"], "TIFF"), b"II*\x01", huge_tiff()),
    ".bmp": (convert(["-type", "TrueColor"], "BMP3"), b"BN", huge_bmp()),
    ".tga": (convert(["-compress", "RLE"], "TGA"), b"\0\0\x2a", huge_tga()),
}
pictures[".jpg"] = (pictures[".jpg"][0], pictures[".jpg"][1], huge_jpeg(pictures[".jpg"][0]))
for ext, (good, magic, huge) in pictures.items():
    kind = "picture"
    base = ext[1:]
    put(kind, base + "_truncated" + ext, good[: len(good) * 2 // 5])
    put(kind, base + "_zero_size" + ext, b"")
    put(kind, base + "_zeros" + ext, b"\0" * 4096)
    put(kind, base + "_random" + ext, bytes(rng.getrandbits(8) for _ in range(2048)))
    put(kind, base + "_wrong_magic" + ext, magic + good[len(magic):])
    put(kind, base + "_huge_dimensions" + ext, huge)
