#!/usr/bin/env python3
"""Processor time of the program's sound path against aplay, per second of
audio, both playing the same tone to the same paced ALSA device.

ALSA's default device is the file plugin piping into rilvane-paced-capture
at SPEED times real time (a private HOME holds the configuration), so that
both players are paced like a sound card. Each pair runs rilvane-sound-bench
(the DirectSound library and the window's half-buffer handoff) and aplay one
after the other, in alternating order. For each, once WARMUP seconds of
sound have reached the capture, the player's own threads' run times are
read (benchlib.CpuStretch), and again SECONDS of sound later. The capture
process is never counted. Printed: every pair, then the median and the
range of the player's cost per audio second, of the feeder thread
(dsound-feeder) alone, of aplay, and of the ratios.

  feeder_vs_aplay.py --bin BUILD/bin [--pairs 5] [--seconds 8] [--warmup 2] [--speed 1]
"""

import argparse
import array
import math
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from benchlib import (CD_BYTES_PER_SECOND, CpuStretch, median, paced_capture_config, settle,  # noqa: E402
                      size_of, spread, wait_for_bytes)

STAGING_BYTES = 117600
FEEDER = "dsound-feeder"


def tone(seconds):
    """The tone rilvane-sound-bench plays, in whole staging buffers."""
    frames = math.ceil(seconds * CD_BYTES_PER_SECOND / STAGING_BYTES) * STAGING_BYTES // 4
    samples = array.array("h")
    for frame in range(frames):
        t = frame / 44100.0
        samples.append(int(16384 * math.sin(2 * math.pi * 440 * t)))
        samples.append(int(16384 * math.sin(2 * math.pi * 660 * t)))
    if sys.byteorder != "little":
        samples.byteswap()
    return samples.tobytes()


def measure(name, argv, work, args):
    """Runs one player into a fresh paced capture; returns (player's CPU
    seconds, feeder thread's CPU seconds, audio seconds) over the measured
    stretch."""
    home = work / name
    shutil.rmtree(home, ignore_errors=True)
    home.mkdir()
    capture = home / "capture.raw"
    (home / ".asoundrc").write_text(paced_capture_config(args.paced_capture, CD_BYTES_PER_SECOND * args.speed,
                                                         capture))
    env = dict(os.environ, HOME=str(home), XDG_CONFIG_HOME=str(home))
    env.pop("ALSA_CONFIG_PATH", None)
    settle()
    growing = Path(str(capture) + ".part")
    player = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL)
    try:
        alive = lambda: player.poll() is None  # noqa: E731
        timeout = 60 + 2 * (args.warmup + args.seconds) / args.speed
        first = int(args.warmup * CD_BYTES_PER_SECOND)
        last = first + int(args.seconds * CD_BYTES_PER_SECOND)
        if not wait_for_bytes(growing, first, alive, timeout):
            raise RuntimeError(f"{name}: the warm-up sound never reached the capture")
        at0 = size_of(growing)
        stretch = CpuStretch(player.pid)
        if not wait_for_bytes(growing, last, alive, timeout):
            raise RuntimeError(f"{name}: the measured sound never reached the capture")
        stretch.finish()
        at1 = size_of(growing)
        if stretch.ended:
            print(f"  ({name}: threads {stretch.ended} ended during the measurement; their time is missing)")
        status = player.wait(timeout=timeout)
        if status != 0:
            raise RuntimeError(f"{name} ended with status {status}")
    finally:
        if player.poll() is None:
            player.kill()
            player.wait()
    return stretch.total, stretch.by_name.get(FEEDER, 0.0), (at1 - at0) / CD_BYTES_PER_SECOND


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin", required=True, help="the build's bin folder")
    parser.add_argument("--pairs", type=int, default=5)
    parser.add_argument("--seconds", type=float, default=8, help="seconds of audio measured per run")
    parser.add_argument("--warmup", type=float, default=2, help="seconds of audio before measuring")
    parser.add_argument("--speed", type=int, default=1, help="device speed, times real time")
    args = parser.parse_args()
    if shutil.which("aplay") is None:
        print("SKIP: aplay is missing (alsa-utils)")
        return 77
    bin_dir = Path(args.bin).resolve()
    bench = str(bin_dir / "rilvane-sound-bench")
    args.paced_capture = str(bin_dir / "rilvane-paced-capture")

    work = Path(tempfile.mkdtemp(prefix="rilvane-sound-bench-"))
    try:
        length = args.warmup + args.seconds + 1  # the tail keeps the measured stretch away from the end
        raw = work / "tone.raw"
        raw.write_bytes(tone(length))
        players = {
            "rilvane": [bench, str(length)],
            "aplay": ["aplay", "-q", "-D", "default", "-t", "raw", "-f", "cd", str(raw)],
        }
        rows = []
        print(f"{args.pairs} pairs, {args.seconds:g} s of audio measured after {args.warmup:g} s, device at "
              f"{args.speed}x; ms of CPU per audio second, the player's own threads only")
        for pair in range(args.pairs):
            order = ["rilvane", "aplay"] if pair % 2 == 0 else ["aplay", "rilvane"]
            got = {name: measure(name, players[name], work, args) for name in order}
            (cpu, feeder, audio), (acpu, _, aaudio) = got["rilvane"], got["aplay"]
            row = (cpu * 1000 / audio, feeder * 1000 / audio, acpu * 1000 / aaudio)
            rows.append(row)
            print(f"  pair {pair + 1}: rilvane-sound-bench {row[0]:.3f}, of it {FEEDER} {row[1]:.3f}; "
                  f"aplay {row[2]:.3f}")
        program, feeder, aplay = ([r[i] for r in rows] for i in range(3))
        print(f"rilvane-sound-bench (whole process): {spread(program)} ms per audio second")
        print(f"{FEEDER} thread alone:               {spread(feeder)} ms per audio second")
        print(f"aplay (whole process):               {spread(aplay)} ms per audio second")
        print(f"ratio feeder/aplay:  {spread([r[1] / r[2] for r in rows])}")
        print(f"ratio process/aplay: {spread([r[0] / r[2] for r in rows])}")
        if median(aplay) <= 0:
            print("aplay used no measurable processor time")
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
