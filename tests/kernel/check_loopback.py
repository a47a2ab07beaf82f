#!/usr/bin/env python3
"""Checks a raw capture of numbered frames (see loopback_play.cpp): the
frames arrive in the order they were played, and most of them arrive.

Under emulation the program's refill can come late now and then; the device
then plays the part of its looping buffer that is still there (frames of one
lap earlier) before the stream goes on. Such a step back of at most one lap
(29400 frames) is allowed a few times; anything else out of order (frames
swapped, repeated out of place, or jumping back further) is a fault.

    check_loopback.py CAPTURE FRAMES_PLAYED
"""
import struct
import sys

LAP = 29400

data = open(sys.argv[1], "rb").read()
played = int(sys.argv[2])
numbers = [lo | (hi << 16) for lo, hi in struct.iter_unpack("<HH", data[: len(data) // 4 * 4])]
numbers = [n for n in numbers if n != 0]  # silence before and after
if not numbers:
    sys.exit("no frames arrived")
steps = [(a, b) for a, b in zip(numbers, numbers[1:]) if b != a + 1]
back = [(a, b) for a, b in steps if b <= a]
bad = [(a, b) for a, b in back if a - b >= LAP + 1]
if bad or len(back) > played // LAP:
    sys.exit(f"{len(back)} steps back, {len(bad)} beyond one lap: " +
             ", ".join(f"{a} then {b}" for a, b in (bad or back)[:5]))
if max(numbers) > played or max(numbers) < played // 2:
    sys.exit(f"frames up to {max(numbers)} of {played} arrived")
print(f"{len(numbers)} frames captured for {played} played; {len(steps)} discontinuities, "
      f"{len(back)} of them a replay of the buffer's last lap")
