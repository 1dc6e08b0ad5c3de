#!/usr/bin/env python3
"""Reads an editor's XML timeline with a real XML parser and prints what an
editor would take from it:

    sequence NAME WIDTH HEIGHT TIMEBASE NTSC DURATION
    clip NAME START END IN OUT PATHURL
"""
import sys
import xml.etree.ElementTree as ET

root = ET.parse(sys.argv[1]).getroot()
assert root.tag == "xmeml", root.tag
assert root.get("version") == "4", root.get("version")
seq = root.find("sequence")
rate = seq.find("rate")
chars = seq.find("media/video/format/samplecharacteristics")
print("sequence", seq.findtext("name"), chars.findtext("width"), chars.findtext("height"),
      rate.findtext("timebase"), rate.findtext("ntsc"), seq.findtext("duration"))
tracks = seq.findall("media/video/track")
assert len(tracks) == 1, len(tracks)
for clip in tracks[0].findall("clipitem"):
    clip_rate = clip.find("rate")
    assert clip_rate.findtext("timebase") == rate.findtext("timebase")
    print("clip", clip.findtext("name"), clip.findtext("start"), clip.findtext("end"), clip.findtext("in"),
          clip.findtext("out"), clip.findtext("file/pathurl"))
