#!/usr/bin/env python3
"""Taps Space in the X display and reads the movie frame on the screen just
before and just after each key-down, and the X server's time around it.

The test movie shows its frame number as ten black or white columns (bit k
of the number in column k, 32 movie pixels wide). Reading the screen and
the server's time and pressing the key go over one connection to the X
server, in order, so the readings bracket the moment the server stamps the
key event with. The server's time is read from the stamp of a property
change on a window of the probe's own.

usage: key_probe.py AREA_X AREA_Y AREA_W MOVIE_W TAP_SECONDS...
  AREA_*: where the movie is shown on the screen; MOVIE_W: its width in the
  movie; TAP_SECONDS: pauses before each tap. The key is held for 0.12 s, or
  for $KEY_HOLD seconds. Prints one line per tap: the frames on the screen
  before and after the key-down and before and after the key-up, then the
  server's times (milliseconds) before and after the key-down and before and
  after the key-up. Without TAP_SECONDS: prints the frame on the screen now.
"""
import os
import ctypes
import sys
import time

x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XGetImage.restype = ctypes.POINTER(XImage)
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                          ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XKeysymToKeycode.restype = ctypes.c_ubyte
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
x11.XCreateSimpleWindow.restype = ctypes.c_ulong
x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                    ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                                ctypes.c_int, ctypes.c_char_p, ctypes.c_int]
x11.XWindowEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long, ctypes.c_void_p]

ZPIXMAP = 2
ALL_PLANES = (1 << 64) - 1
XK_SPACE = 0x20
BITS = 10
PROPERTY_CHANGE_MASK = 1 << 22
XA_STRING = 31
PROP_MODE_REPLACE = 0


def main():
    ax, ay, aw, movie_w = (int(v) for v in sys.argv[1:5])
    pauses = [float(v) for v in sys.argv[5:]]
    hold = float(os.environ.get("KEY_HOLD", "0.12"))
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("no X display")
    root = x11.XDefaultRootWindow(display)
    space = x11.XKeysymToKeycode(display, XK_SPACE)
    scale = aw / movie_w
    row = ay + 40  # above where the subtitles are laid over the picture

    # A window of our own, never shown: a change of its property comes back
    # as an event stamped with the server's time.
    clock_window = x11.XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0)
    x11.XSelectInput(display, clock_window, PROPERTY_CHANGE_MASK)
    clock_atom = x11.XInternAtom(display, b"KALVERO_KEY_PROBE", 0)

    def server_time():
        x11.XChangeProperty(display, clock_window, clock_atom, XA_STRING, 8, PROP_MODE_REPLACE, b"", 0)
        event = (ctypes.c_long * 24)()
        x11.XWindowEvent(display, clock_window, PROPERTY_CHANGE_MASK, event)
        # XPropertyEvent: type, serial, send_event, display, window, atom, time
        return event[6] & 0xFFFFFFFF

    def frame_on_screen():
        img = x11.XGetImage(display, root, ax, row, aw, 1, ALL_PLANES, ZPIXMAP)
        if not img:
            sys.exit("could not read the screen")
        im = img.contents
        if im.bits_per_pixel != 32:
            sys.exit("unexpected screen format: %d bits per pixel" % im.bits_per_pixel)
        n = 0
        for bit in range(BITS):
            x = int((32 * bit + 16) * scale)
            green = im.data[x * 4 + 1]
            if green > 128:
                n |= 1 << bit
        return n

    if not pauses:
        print(frame_on_screen())
        return
    for pause in pauses:
        time.sleep(pause)
        down_from = server_time()
        before = frame_on_screen()
        xtst.XTestFakeKeyEvent(display, space, 1, 0)
        after = frame_on_screen()  # a round trip: the key-down came first
        down_to = server_time()
        time.sleep(hold)
        up_from = server_time()
        before_up = frame_on_screen()
        xtst.XTestFakeKeyEvent(display, space, 0, 0)
        after_up = frame_on_screen()
        up_to = server_time()
        print(before, after, before_up, after_up, down_from, down_to, up_from, up_to, flush=True)


if __name__ == "__main__":
    main()
