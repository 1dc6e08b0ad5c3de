#!/usr/bin/env python3
"""Checks the times a timing run saved against the moments of the keys.

The program, started with KALVERO_TIMING_LOG, logs the X stamp of every
Space key event ("key down stamp_ms=... at_us=...") and every setting of
the movie clock ("clock at_us=... pos_us=... speed=... paused=...");
key_probe.py brackets each of its key events with the X server's time and
reads the screen around it. For each key event this checks that:
  - the program saw it with its own X stamp (one inside the probe's bracket)
    and timed it at that stamp, not when it got round to handling it;
  - the saved frame is the movie clock's frame at that stamp (within one
    frame), less the reaction offset: the clock as its own log sets it,
    not how fast the screen followed;
  - the screen showed about that frame around the key: never more than 3
    frames after it, and behind it by at most a second (a loaded machine
    shows pictures late; the lag is reported).

usage: timing_check.py LOG PROBE OFFSET_MS MODE SAVED...
  MODE "taps": a step at every key-down, one saved frame per probe line;
  MODE "holds:SPEED": ON at the key-down and OFF at the key-up, two saved
  frames per probe line, the clock running at SPEED.
Exits 1 with a message on the first fault.
"""
import math
import sys

RATE = 25
SCREEN_FRAMES = 3  # how far the screen may be off the saved time
SCREEN_LAG = 25    # how far it may fall behind on a loaded machine (a second)


def fail(text):
    print("FAIL: " + text, file=sys.stderr)
    sys.exit(1)


def fields(line):
    return dict(part.split("=", 1) for part in line.split()[1:] if "=" in part)


def main():
    log_path, probe_path, offset_ms, mode = sys.argv[1:5]
    saved = [int(v) for v in sys.argv[5:]]
    offset_ms = int(offset_ms)
    keys = {"down": [], "up": []}
    polled_ups = []
    clock = []  # (at_us, pos_us, speed, paused)
    with open(log_path) as f:
        for line in f:
            words = line.split()
            if len(words) >= 3 and words[0] == "key" and words[2] == "polled":
                # A release seen by reading the key's state before its event came.
                v = fields(line[4:])
                polled_ups.append(int(v["at_us"]))
            elif len(words) >= 2 and words[0] == "key":
                v = fields(line[4:])
                keys[words[1]].append((int(v["stamp_ms"]), int(v["at_us"])))
            elif words and words[0] == "clock":
                v = fields(line)
                clock.append((int(v["at_us"]), int(v["pos_us"]), float(v["speed"]), v["paused"] == "1"))
    probes = [list(map(int, l.split())) for l in open(probe_path) if l.strip()]

    def clock_at(us):
        """The clock's position and speed at a moment, from its last setting before."""
        settings = [c for c in clock if c[0] <= us]
        if not settings:
            fail("no clock setting logged before %d us" % us)
        at, pos, speed, paused = max(settings, key=lambda c: c[0])
        return (pos if paused else pos + (us - at) * speed), speed, paused

    def check(name, kind, bracket, screen, want):
        lo, hi = bracket
        found = [k for k in keys[kind] if lo <= k[0] <= hi]
        how = "stamped"
        if not found and kind == "up":
            # The window reads the key's state too: a release it saw that way
            # first is timed when it saw it, within a second of the key-up.
            found = [(at // 1000, at) for at in polled_ups if lo * 1000 <= at <= hi * 1000 + 1000000]
            how = "seen by polling at"
        if len(found) != 1:
            fail("%s: %d key-%s events stamped within %d..%d ms (logged: %s)"
                 % (name, len(found), kind, lo, hi, keys[kind][-8:]))
        stamp, at_us = found[0]
        if abs(at_us - stamp * 1000) > 25000:
            fail("%s: timed at %d us, the key's stamp is %d ms" % (name, at_us, stamp))
        pos, speed, paused = clock_at(at_us if how != "stamped" else stamp * 1000)
        corrected = max(0, pos - (0 if paused else offset_ms * 1000))
        expected = math.floor(corrected * RATE / 1e6 + 1e-6)
        before, after = screen
        shift = 0 if paused else offset_ms * RATE // 1000
        print("%s: key-%s %s %d ms, clock at %.3f s (speed %g): frame %d less %d; saved %d; screen %d..%d"
              % (name, kind, how, stamp, pos / 1e6, speed, expected + shift, shift, want, before, after))
        if abs(want - expected) > 1:
            fail("%s saved at frame %d, the clock was at frame %d at the key's stamp (offset %d ms)"
                 % (name, want, expected, offset_ms))
        if not (0 <= after - before <= 10):
            fail("%s: unreadable screen (%d, then %d)" % (name, before, after))
        # The screen may fall behind the clock on a loaded machine (shown
        # late, never early): a saved time before what the screen already
        # showed is a fault at 3 frames, one after it only when the screen
        # lags by more than a second.
        if want < before - shift - SCREEN_FRAMES:
            fail("%s saved at frame %d, before the screen's %d..%d (offset %d frames)"
                 % (name, want, before, after, shift))
        if want > after - shift + SCREEN_LAG:
            fail("%s saved at frame %d, the screen showed %d..%d (offset %d frames)"
                 % (name, want, before, after, shift))
        if want > after - shift + SCREEN_FRAMES:
            print("  (the screen lagged %d frames behind the clock)" % (want - (after - shift)))
        return stamp, speed

    if mode == "taps":
        if len(saved) != len(probes):
            fail("%d saved frames for %d taps" % (len(saved), len(probes)))
        for i, p in enumerate(probes):
            check("tap %d" % i, "down", (p[4], p[5]), (p[0], p[1]), saved[i])
    elif mode.startswith("holds:"):
        want_speed = float(mode[6:])
        if len(saved) != 2 * len(probes):
            fail("%d saved frames for %d holds" % (len(saved), len(probes)))
        for i, p in enumerate(probes):
            on, off = saved[2 * i], saved[2 * i + 1]
            down, speed = check("hold %d ON" % i, "down", (p[4], p[5]), (p[0], p[1]), on)
            up, _ = check("hold %d OFF" % i, "up", (p[6], p[7]), (p[2], p[3]), off)
            if abs(speed - want_speed) > 1e-6:
                fail("hold %d: the clock ran at %g, not %g" % (i, speed, want_speed))
            # The time held, in movie frames at that speed.
            held = (up - down) / 1000 * RATE * speed
            if abs((off - on) - held) > 2:
                fail("hold %d: %d frames between ON and OFF, %.1f expected for %d ms held at %g"
                     % (i, off - on, held, up - down, speed))
    else:
        fail("unknown mode " + mode)
    print("%d key events match the clock" % (len(probes) * (1 if mode == "taps" else 2)))


if __name__ == "__main__":
    main()
