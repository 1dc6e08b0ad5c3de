#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz harnesses into corpus/<harness>/.

Run once after changing it; the files are committed. Pictures are made with
ImageMagick's `convert`.
"""
import os
import shutil
import struct
import subprocess
import zlib

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.join(here, "corpus")


def put(harness, name, data):
    d = os.path.join(root, harness)
    os.makedirs(d, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


HEADER = ("##-KVL8 Project: v1.0 - 06 Mar 2017 \r\n##-Resolution Width: 720\r\n##-Resolution Height: 576\r\n"
          "##-Profile: 1\r\n##-Preset: 0\r\n##-Date Written: 09 Mar 2017 @ 14:05:09\r\n"
          "##-Number of lines/pages: 4 / 2\r\n##-Word count: 3\r\n##-User Timed Session: 0\r\n##-;\r\n")

# Project files
put("project", "two_sets.KVL8", HEADER +
    "A0000||00:00:01:00>00:00:02:12|25+37|430\r\nB0000|Hello|00:00:01:00>00:00:02:12|25+37|430\r\n"
    "A0002|Good|00:00:03:00>00:00:04:00|13+25|400\r\nB0002|bye|00:00:03:00>00:00:04:00|13+25|400\r\n")
put("project", "empty_y_lf.KVL8", HEADER.replace("\r\n", "\n") + "A0000|x|||\nB0000|y|||\n")
put("project", "cr_only.KVL8", HEADER.replace("\r\n", "\r") + "A0000|\xe9t\xe9|00:00:00:00>99:59:59:29||\r")
put("project", "header_only.KVL8", HEADER)
put("project", "odd_rows.KVL8", HEADER + "A0000|a|01:02:03:04>01:02:03|1+2|5|6|7\r\nX|||||\r\nB|\r\n")
put("project", "bad_magic.KVL8", HEADER.replace("Project", "project", 1))
put("project", "big_numbers.KVL8", HEADER.replace("720", "99999999999").replace("Profile: 1", "Profile: -2147483648")
    + "A0000|t|-1:-1:-1:-1>2147483647:2147483647:2147483647:2147483647|x|99999999999\r\nB0000|u|:::>:::||-5\r\n")

# SubRip files
SRT = "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n\r\n2\r\n00:00:03,000 --> 00:00:04,000\r\nGood\r\nbye\r\n\r\n"
put("srt", "two_cues.srt", SRT)
put("srt", "utf8_bom.srt", b"\xef\xbb\xbf" + "1\n00:00:05.999 --> 00:00:06.000\n<i>Gr\u00fc\u00df</i> {\\an8}\n\n".encode("utf-8"))
put("srt", "utf16le.srt", b"\xff\xfe" + SRT.encode("utf-16-le"))
put("srt", "utf16be.srt", b"\xfe\xff" + "1\n00:00:01,5 --> 00:00:02,25 X1:10 X2:20\n\u20ac \ud83d\ude00\n".encode("utf-16-be", "surrogatepass"))
put("srt", "three_lines_gap.srt", "1\n00:00:01,000 --> 00:00:02,000\na\nb\n2\n\n3\n00:00:01,000 --> 00:00:02,000\nc|d\n\n")
put("srt", "malformed_times.srt", "1\r00:00:01 --> \r\rx\r2\r-->-->\r<font color=\"red\">y</font>\r\r3\r99:99:99,9999999 --> 1,2,3\rz\r")

# Settings files
with open(os.path.join(here, "..", "..", "data", "Kalvero.ini"), "rb") as f:
    put("settings", "shipped.ini", f.read())
put("settings", "small.ini", "[Global]\r\nStartupProfile = 1\r\nPreset = 0\r\n[Profiles]\r\nProfile = ----- SD -----\r\n"
    "Profile = 720|576|PAL|430|32|25\r\nProfile = 720|480|NTSC|356|28|29.97\r\n[Presets]\r\n"
    "Preset = Default|0,0,0|1|0|254|0|0,0,160|0|-1|46|1|1|20\r\n")
put("settings", "no_presets.ini", "[Global]\nStartupProfile=0\n[Profiles]\nProfile=1|1|x|0|1|1e30\n")
put("settings", "odd_values.ini", "[ presets ]\nPreset = a|999,-5,x|1\n[Profiles]\nProfile = -1|0|n|0|0|inf\n"
    "Profile = 1|1|n|0|0|nan\nProfile = 1|1|n|0|0|-25\n[Presets]")

# Font sheets: a real sheet, and raw pictures (width - 1, height - 1, RGBA).
shutil.copy(os.path.join(here, "..", "data", "fonts", "includes", "FontBitmap_16_0000.png"),
            os.path.join(root, "fontsheet", "FontBitmap_16_0000.png"))


def raw(w, h, pixels):
    data = bytearray(w * h * 4)
    for (x, y), (r, g, b) in pixels.items():
        i = (y * w + x) * 4
        data[i:i + 4] = bytes([r, g, b, 255])
    return bytes([w - 1, h - 1]) + bytes(data)


def triple(v):
    return (v & 255, (v >> 8) & 255, (v >> 16) & 255)


# 12 x 6 sheet: cell height 4, glyphs for ' ' and '!'.
px = {(0, 4): triple(3)}
for n, (left, top, width) in enumerate([(0, 0, 3), (3, 0, 2), (5, 1, 4)]):
    for k, v in enumerate((left, top, width)):
        px[(n * 3 + k, 5)] = triple(v)
put("fontsheet", "raw_small.bin", raw(12, 6, px))
put("fontsheet", "raw_outside.bin", raw(9, 3, {(0, 1): triple(0xffffff), (0, 2): triple(5), (1, 2): triple(0x800000),
                                               (2, 2): triple(7), (3, 2): triple(1), (5, 2): triple(0xffffff)}))

# Pictures


def convert(args, out_name, harnesses):
    tmp = os.path.join(root, "_tmp_" + out_name)
    subprocess.run(["convert"] + args + [tmp], check=True)
    with open(tmp, "rb") as f:
        data = f.read()
    os.remove(tmp)
    for h in harnesses:
        put(h, out_name, data)


base = ["-size", "7x5", "gradient:red-blue"]
convert(base + ["-alpha", "set", "-channel", "A", "-evaluate", "set", "50%", "+channel"], "rgba.png", ["image"])
convert(base + ["-colors", "4", "-type", "Palette"], "palette.png", ["image"])
convert(base + ["-colorspace", "Gray", "-depth", "16"], "grey16.png", ["image"])
convert(base + ["-interlace", "PNG"], "interlaced.png", ["image"])
convert(base + ["-quality", "80"], "rgb.jpg", ["image"])
convert(base + ["-colorspace", "Gray"], "grey.jpg", ["image"])
convert(base + ["-interlace", "JPEG"], "progressive.jpg", ["image"])
convert(base + ["-colorspace", "CMYK"], "cmyk.jpg", ["image"])
convert(base + ["-compress", "None"], "rgb.tif", ["image"])
convert(base + ["-compress", "LZW", "-alpha", "set"], "lzw_alpha.tif", ["image"])
convert(base + ["-colors", "4", "-type", "Palette", "-compress", "None"], "palette.tif", ["image"])
for name, args in [("rgb24.bmp", ["-type", "TrueColor", "BMP3:"]),
                   ("rgba32.bmp", ["-alpha", "set", "-type", "TrueColorAlpha", "BMP:"]),
                   ("pal8.bmp", ["-colors", "16", "-type", "Palette", "BMP3:"]),
                   ("mono1.bmp", ["-monochrome", "BMP3:"]),
                   ("rgb565.bmp", ["-define", "bmp:subtype=RGB565", "BMP:"])]:
    fmt = args[-1]
    tmp = os.path.join(root, "_tmp_" + name)
    subprocess.run(["convert"] + base + args[:-1] + [fmt + tmp], check=True)
    with open(tmp, "rb") as f:
        data = f.read()
    os.remove(tmp)
    put("bmp", name, data)
    put("image", name, data)
for name, args in [("rgb.tga", ["-compress", "None"]), ("rle.tga", ["-compress", "RLE"]),
                   ("rgba_rle.tga", ["-alpha", "set", "-compress", "RLE"]),
                   ("mapped.tga", ["-colors", "4", "-type", "Palette", "-compress", "None"]),
                   ("grey.tga", ["-colorspace", "Gray", "-compress", "None"])]:
    tmp = os.path.join(root, "_tmp_" + name)
    subprocess.run(["convert"] + base + args + ["TGA:" + tmp], check=True)
    with open(tmp, "rb") as f:
        data = f.read()
    os.remove(tmp)
    put("tga", name, data)
    put("image", name, data)

# Command lines: one argument a line.
for i, args in enumerate([
        ["info", "a.KVL8"],
        ["recalc", "a.KVL8", "-o", "out.KVL8"],
        ["import-srt", "b.srt", "-o", "out.KVL8", "--profile", "2", "--preset", "1"],
        ["render", "a.KVL8", "--set", "2", "--target", "color", "-o", "out.png"],
        ["render", "--profile", "1", "--preset", "0", "--line-a", "Hi", "--line-b", "there", "--mode", "all",
         "--border", "3", "--center", "--target", "preview", "--background", "c.png", "-o", "out.png"],
        ["export", "png", "a.KVL8"],
        ["export", "iff", "a.KVL8", "--scala", "2"],
        ["capture", "a.KVL8", "--row", "1"],
        ["render", "--y", "-5", "--blend", "999999999999", "-o"],
        ["--help"],
        ["nonsense", "--x"],
]):
    put("cli", "args%02d.txt" % i, "\n".join(args))
