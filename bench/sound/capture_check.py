#!/usr/bin/env python3
"""Long paced captures through the program's sound path, checked bit for bit.

rilvane-sound-bench plays MINUTES of numbered frames (frame f holds f + 1)
through the DirectSound library and the half-buffer handoff into ALSA's file
plugin piping into rilvane-paced-capture at SPEED times real time. The
capture must be silence (the zeroed sound buffer) and then every frame in
order: nothing missing, nothing twice. For each speed it prints whether the
capture was exact, and where it was not, the first place and what was found
there (a frame number from earlier means a half of the sound buffer played
again before the handoff had refilled it).

  capture_check.py --bin BUILD/bin [--minutes 10] [--speeds 16,64,128] [--runs 1]
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from benchlib import CD_BYTES_PER_SECOND, paced_capture_config  # noqa: E402


def check(sound):
    """(exact, description) of a capture of numbered frames."""
    sound = sound[:len(sound) - len(sound) % 4]
    frames = len(sound) // 4
    values = struct.unpack(f"<{frames}I", sound)
    at = 0
    while at < frames and values[at] == 0:
        at += 1
    silence = at
    expected = 1
    while at < frames and values[at] == expected:
        at += 1
        expected += 1
    if at == frames:
        return True, f"{silence} frames of silence, then frames 1..{expected - 1} in order"
    return False, (f"{silence} frames of silence, frames 1..{expected - 1} in order, then at capture frame {at} "
                   f"frame {values[at]} where {expected} was due")


def run_once(bin_dir, speed, minutes, work):
    home = work / f"x{speed}"
    shutil.rmtree(home, ignore_errors=True)
    home.mkdir()
    capture = home / "capture.raw"
    (home / ".asoundrc").write_text(paced_capture_config(str(bin_dir / "rilvane-paced-capture"),
                                                         CD_BYTES_PER_SECOND * speed, capture))
    env = dict(os.environ, HOME=str(home), XDG_CONFIG_HOME=str(home))
    env.pop("ALSA_CONFIG_PATH", None)
    started = time.monotonic()
    done = subprocess.run([str(bin_dir / "rilvane-sound-bench"), str(minutes * 60), "--numbered"], env=env,
                          timeout=120 + 2 * minutes * 60 / speed)
    wall = time.monotonic() - started
    if done.returncode != 0:
        return False, f"the player ended with status {done.returncode}", wall
    for _ in range(600):
        if capture.exists():
            break
        time.sleep(0.1)
    exact, text = check(capture.read_bytes())
    return exact, text, wall


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin", required=True)
    parser.add_argument("--minutes", type=float, default=10)
    parser.add_argument("--speeds", default="16,64,128")
    parser.add_argument("--runs", type=int, default=1)
    args = parser.parse_args()
    bin_dir = Path(args.bin).resolve()
    work = Path(tempfile.mkdtemp(prefix="rilvane-capture-check-"))
    failures = 0
    try:
        for speed in (int(s) for s in args.speeds.split(",")):
            for run in range(args.runs):
                exact, text, wall = run_once(bin_dir, speed, args.minutes, work)
                print(f"{speed:4d}x run {run + 1}: {'exact' if exact else 'FAULT'} in {wall:.1f} s: {text}")
                failures += not exact
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"{failures} of {args.runs * len(args.speeds.split(','))} captures faulty")
    return 0


if __name__ == "__main__":
    sys.exit(main())
