#!/usr/bin/env python3
"""Processor time of the whole program per second of audio played, beside
aplay playing the same bytes to the same kind of device, in paired runs.

The real rilvane plays a clean virtual disc on an Xvfb display of its own,
into ALSA's file plugin piping into rilvane-paced-capture at real time, the
way a sound card takes it. aplay plays the same disc bytes to the same
configuration. Both are measured the same way (benchlib.CpuStretch): once
WARMUP seconds of sound have reached the capture, the run times of the
player's own threads are read, and again SECONDS of sound later; the
difference per second of audio is its cost, without start-up or shut-down.
Neither side counts the capture process, and rilvane's side does not count
the X server (its time over the same stretch is shown beside it). The pairs
alternate which player goes first; every pair is printed, then the median
and range of each figure and of the ratio. The feeder thread of the sound
layer (dsound-feeder) is shown on its own as well. Nothing is asserted about
the numbers.
"""

import os
import shutil
import subprocess
import sys
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "e2e"))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from benchlib import CpuStretch, settle, size_of, spread, wait_for_bytes  # noqa: E402
from rilvane_e2e import (CD_BYTES_PER_SECOND, SKIP, START_TIMEOUT, Disc, Failure, arguments,  # noqa: E402
                         capture_config, expect, run, wait_painted)

FEEDER = "dsound-feeder"


def stretch_bounds(args):
    first = int(args.warmup * CD_BYTES_PER_SECOND)
    return first, first + int(args.seconds * CD_BYTES_PER_SECOND)


def measure_program(desktop, disc, args, pair):
    """(CPU seconds of rilvane's threads, of its feeder thread, of Xvfb,
    audio seconds) over the measured stretch."""
    capture = desktop.work / f"program-capture-{pair}.raw"
    desktop.sound_to_capture(CD_BYTES_PER_SECOND, capture)
    settle()
    window = desktop.start_program([disc.entry("E")])
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)
    window.click("PlayBtn")
    desktop.wait_for_log("2 Tracks gefunden...")

    growing = Path(str(capture) + ".part")
    first, last = stretch_bounds(args)
    if not wait_for_bytes(growing, first, desktop.alive, START_TIMEOUT):
        raise Failure("the warm-up sound never reached the capture")
    at0 = size_of(growing)
    program, xvfb = CpuStretch(desktop.program.pid), CpuStretch(desktop.xvfb.pid)
    if not wait_for_bytes(growing, last, desktop.alive, START_TIMEOUT + args.seconds * 2):
        raise Failure("the measured sound never reached the capture")
    program.finish()
    xvfb.finish()
    at1 = size_of(growing)
    if program.ended:
        print(f"  (rilvane: threads {program.ended} ended during the measurement; their time is missing)")

    window.click("StopBtn")
    desktop.wait_for_log("Wiedergabe gestoppt...")
    if pair == 0:
        desktop.screenshot("playback-bench")
    status = window.close()
    expect(status == 0, f"rilvane ended with status {status}")
    return program.total, program.by_name.get(FEEDER, 0.0), xvfb.total, (at1 - at0) / CD_BYTES_PER_SECOND


def measure_aplay(desktop, disc, args, pair):
    """(CPU seconds of aplay's threads, audio seconds) over the measured
    stretch, aplay playing the disc's bytes to the same paced device."""
    config = desktop.work / f"aplay-{pair}"
    (config / "alsa").mkdir(parents=True)
    capture = desktop.work / f"aplay-capture-{pair}.raw"
    (config / "alsa" / "asoundrc").write_text(capture_config(desktop.tools, CD_BYTES_PER_SECOND, capture))
    sectors = int((args.warmup + args.seconds + 1) * 75)
    raw = desktop.work / "aplay.in"
    if not raw.exists():
        raw.write_bytes(disc.sectors(500, sectors))
    env = dict(os.environ, HOME=str(config), XDG_CONFIG_HOME=str(config))
    env.pop("ALSA_CONFIG_PATH", None)
    settle()
    growing = Path(str(capture) + ".part")
    first, last = stretch_bounds(args)
    child = subprocess.Popen(["aplay", "-q", "-D", "default", "-t", "raw", "-f", "cd", str(raw)], env=env)
    try:
        alive = lambda: child.poll() is None  # noqa: E731
        if not wait_for_bytes(growing, first, alive, START_TIMEOUT):
            raise Failure("aplay's warm-up sound never reached the capture")
        at0 = size_of(growing)
        stretch = CpuStretch(child.pid)
        if not wait_for_bytes(growing, last, alive, START_TIMEOUT + args.seconds * 2):
            raise Failure("aplay's measured sound never reached the capture")
        stretch.finish()
        at1 = size_of(growing)
        status = child.wait(timeout=START_TIMEOUT)
        expect(status == 0, f"aplay ended with status {status}")
    finally:
        if child.poll() is None:
            child.kill()
            child.wait()
    return stretch.total, (at1 - at0) / CD_BYTES_PER_SECOND


def body(desktop, args):
    disc = Disc(desktop.tools, desktop.work / "discs", "clean", [4500, 4500], label="BENCH DISC")
    rows = []
    print(f"{args.pairs} pairs, {args.seconds:g} s of audio measured after {args.warmup:g} s at real time; "
          "ms of CPU per audio second, the player's own threads only")
    for pair in range(args.pairs):
        if pair % 2 == 0:
            program = measure_program(desktop, disc, args, pair)
            aplay = measure_aplay(desktop, disc, args, pair)
        else:
            aplay = measure_aplay(desktop, disc, args, pair)
            program = measure_program(desktop, disc, args, pair)
        cpu, feeder, xcpu, audio = program
        acpu, aaudio = aplay
        row = (cpu * 1000 / audio, feeder * 1000 / audio, xcpu * 1000 / audio, acpu * 1000 / aaudio)
        rows.append(row)
        print(f"  pair {pair + 1}: rilvane {row[0]:.3f} (of it {FEEDER} {row[1]:.3f}; Xvfb beside it {row[2]:.3f}), "
              f"aplay {row[3]:.3f}")
    program, feeder, xvfb, aplay = ([r[i] for r in rows] for i in range(4))
    print(f"rilvane (whole process):     {spread(program)} ms per audio second")
    print(f"{FEEDER} thread alone:       {spread(feeder)} ms per audio second")
    print(f"Xvfb meanwhile (not counted): {spread(xvfb)} ms per audio second")
    print(f"aplay (whole process):       {spread(aplay)} ms per audio second")
    if min(aplay) > 0:
        print(f"ratio rilvane/aplay: {spread([r[0] / r[3] for r in rows])}")
        print(f"ratio feeder/aplay:  {spread([r[1] / r[3] for r in rows])}")
    else:
        print("aplay used no measurable processor time")


if __name__ == "__main__":
    if shutil.which("aplay") is None:
        print("SKIP: aplay is missing (alsa-utils)")
        sys.exit(SKIP)
    parser = arguments(__doc__)
    parser.add_argument("--pairs", type=int, default=5, help="paired runs")
    parser.add_argument("--seconds", type=float, default=12, help="seconds of audio measured")
    parser.add_argument("--warmup", type=float, default=2, help="seconds of audio before measuring")
    sys.exit(run("playback-bench", body, parser))
