#!/usr/bin/env python3
"""The disk floor of a picture export: writes the files of SRC_DIR again into
DST_DIR as an export writes them (each to a temporary name, then renamed into
place), with no sync per file and one syncfs at the end ("once"), or with an
fsync of each file before its rename ("each"). The files are read before the
clock starts. Prints the seconds spent writing.

    write_floor.py once|each SRC_DIR DST_DIR
"""
import ctypes
import os
import sys
import time

mode, src, dst = sys.argv[1], sys.argv[2], sys.argv[3]
names = sorted(n for n in os.listdir(src) if os.path.isfile(os.path.join(src, n)))
data = [(n, open(os.path.join(src, n), "rb").read()) for n in names]
os.makedirs(dst, exist_ok=True)
libc = ctypes.CDLL(None, use_errno=True)
t0 = time.perf_counter()
for n, b in data:
    tmp = os.path.join(dst, ".floor-" + n)
    fd = os.open(tmp, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    os.write(fd, b)
    if mode == "each":
        os.fsync(fd)
    os.close(fd)
    os.rename(tmp, os.path.join(dst, n))
fd = os.open(dst, os.O_RDONLY)
if mode == "once" and libc.syncfs(fd) != 0:
    sys.exit("syncfs failed: " + os.strerror(ctypes.get_errno()))
os.fsync(fd)
os.close(fd)
print("%.6f" % (time.perf_counter() - t0))
