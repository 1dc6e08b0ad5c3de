#!/usr/bin/env python3
"""Reads an editor's XML timeline the way video editors' importers of this
format do (xml.dom.minidom, elements found by tag name, the first one
taken, as an importer that reads every track's locked state), and prints
what an editor would take from it:

    sequence NAME WIDTH HEIGHT TIMEBASE NTSC DURATION
    track ENABLED LOCKED CLIPS
    clip NAME START END IN OUT PATHURL PICTURE

PICTURE is "found" when the URL, decoded, names an existing file.
"""
import os
import sys
import urllib.parse
import xml.dom.minidom


def text(node, tag):
    found = node.getElementsByTagName(tag)
    if not found:
        sys.exit("no <%s> in <%s>" % (tag, node.tagName))
    return found[0].childNodes[0].nodeValue if found[0].childNodes else ""


def children(node, tag):
    return [c for c in node.childNodes if c.nodeType == c.ELEMENT_NODE and c.tagName == tag]


doc = xml.dom.minidom.parse(sys.argv[1])
root = doc.documentElement
assert root.tagName == "xmeml", root.tagName
assert root.getAttribute("version") == "4", root.getAttribute("version")
assert doc.doctype is not None and doc.doctype.name == "xmeml"
seq = children(root, "sequence")[0]
rate = children(seq, "rate")[0]
chars = seq.getElementsByTagName("format")[0].getElementsByTagName("samplecharacteristics")[0]
print("sequence", text(seq, "name"), text(chars, "width"), text(chars, "height"), text(rate, "timebase"),
      text(rate, "ntsc"), text(seq, "duration"))

tracks = []
for media in doc.getElementsByTagName("media"):
    for video in media.getElementsByTagName("video"):
        tracks += video.getElementsByTagName("track")
assert len(tracks) == 1, len(tracks)
for track in tracks:
    clips = track.getElementsByTagName("clipitem")
    # The track's own state follows its items.
    enabled, locked = children(track, "enabled"), children(track, "locked")
    assert enabled and locked, "a track needs <enabled> and <locked>"
    print("track", enabled[0].childNodes[0].nodeValue, locked[0].childNodes[0].nodeValue, len(clips))
    for clip in clips:
        assert children(clip, "rate")[0].getElementsByTagName("timebase")[0].childNodes[0].nodeValue == \
            text(rate, "timebase")
        assert clip.getElementsByTagName("file")[0].getAttribute("id")
        url = text(clip, "pathurl")
        assert url.startswith("file://localhost/"), url
        path = os.fsdecode(urllib.parse.unquote_to_bytes(url[len("file://localhost"):]))
        print("clip", text(clip, "name"), text(clip, "start"), text(clip, "end"), text(clip, "in"),
              text(clip, "out"), url, "found" if os.path.isfile(path) else "missing")
