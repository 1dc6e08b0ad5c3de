#!/usr/bin/env python3
"""Reads a BDN subtitle description with xml.etree and the PNG headers of its
pictures; prints one line per item for the test to compare:
  format VIDEOFORMAT FRAMERATE DROPFRAME
  events N FIRST LAST
  event IN OUT FORCED WIDTH HEIGHT X Y PNGWIDTH PNGHEIGHT BITDEPTH COLOURTYPE FILE"""
import os
import struct
import sys
import xml.etree.ElementTree as ET

path = sys.argv[1]
root = ET.parse(path).getroot()
assert root.tag == "BDN", root.tag
assert root.get("Version") == "0.93"
desc = root.find("Description")
fmt = desc.find("Format")
print("format", fmt.get("VideoFormat"), fmt.get("FrameRate"), fmt.get("DropFrame"))
ev = desc.find("Events")
print("events", ev.get("NumberofEvents"), ev.get("FirstEventInTC"), ev.get("LastEventOutTC"))
print("title", desc.find("Name").get("Title"))
for e in root.find("Events").findall("Event"):
    g = e.find("Graphic")
    png = os.path.join(os.path.dirname(path), g.text)
    with open(png, "rb") as f:
        head = f.read(33)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", png
    assert head[12:16] == b"IHDR", png
    w, h, depth, colour = struct.unpack(">IIBB", head[16:26])
    print("event", e.get("InTC"), e.get("OutTC"), e.get("Forced"), g.get("Width"), g.get("Height"),
          g.get("X"), g.get("Y"), w, h, depth, colour, g.text)
