#!/usr/bin/env python3
"""Processor time of the whole program per second of audio played, beside
aplay playing the same bytes to the same kind of device.

The real rilvane plays a clean virtual disc on an Xvfb display of its own,
into ALSA's file plugin piping into rilvane-paced-capture at real time, the
way a sound card takes it. Once WARMUP seconds of sound have gone through,
the program's processor time (user + system, all threads, /proc/PID/stat) is
read, and again SECONDS of sound later, counted by what the capture took; the
difference is its cost per second of audio, without start-up. The X server's
time over the same stretch is shown beside it (the window draws the waveform
of every staging buffer).

aplay plays the same disc bytes to the same configuration, once for WARMUP
seconds and once for WARMUP + SECONDS; the difference of their processor
times (wait4) over SECONDS is its cost per second, also without start-up.
The ratio of the two is printed. Nothing is asserted about the numbers.
"""

import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "e2e"))

from rilvane_e2e import (CD_BYTES_PER_SECOND, SKIP, START_TIMEOUT, Disc, arguments, capture_config,  # noqa: E402
                         expect, poll, run, wait_painted)

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """Processor time of a running process, all its threads: the sum of the
    threads' run times in nanoseconds (/proc/PID/task/*/schedstat) where the
    kernel keeps them, else user + system time in clock ticks
    (/proc/PID/stat). The first misses threads that ended in between; the
    program's threads live as long as the playback."""
    total = 0
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            total += int((task / "schedstat").read_text().split()[0])
        except (FileNotFoundError, ProcessLookupError, IndexError, ValueError):
            total = None
            break
    if total:
        return total / 1e9
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime (fields 14 and 15)


def tick_seconds(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def size_of(path):
    try:
        return path.stat().st_size
    except FileNotFoundError:
        return 0


def measure_program(desktop, disc, args):
    capture = desktop.work / "program-capture.raw"
    desktop.sound_to_capture(CD_BYTES_PER_SECOND, capture)
    window = desktop.start_program([disc.entry("E")])
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)
    window.click("PlayBtn")
    desktop.wait_for_log("2 Tracks gefunden...")

    growing = Path(str(capture) + ".part")
    pid, xvfb = desktop.program.pid, desktop.xvfb.pid
    first = int(args.warmup * CD_BYTES_PER_SECOND)
    last = first + int(args.seconds * CD_BYTES_PER_SECOND)
    poll(lambda: size_of(growing) >= first, START_TIMEOUT, "the warm-up sound", interval=0.01)
    at0, cpu0, x0, wall0 = size_of(growing), cpu_seconds(pid), cpu_seconds(xvfb), time.monotonic()
    ticks0 = tick_seconds(pid)
    poll(lambda: size_of(growing) >= last, START_TIMEOUT + args.seconds * 2, "the measured sound", interval=0.01)
    at1, cpu1, x1, wall1 = size_of(growing), cpu_seconds(pid), cpu_seconds(xvfb), time.monotonic()
    print(f"(rilvane's user + system time over the same stretch, in {1000 / TICKS:.0f} ms steps: "
          f"{(tick_seconds(pid) - ticks0) * 1000:.0f} ms)")

    window.click("StopBtn")
    desktop.wait_for_log("Wiedergabe gestoppt...")
    desktop.screenshot("playback-bench")
    status = window.close()
    expect(status == 0, f"rilvane ended with status {status}")
    audio = (at1 - at0) / CD_BYTES_PER_SECOND
    return cpu1 - cpu0, audio, wall1 - wall0, x1 - x0


def aplay_cpu(desktop, disc, seconds, name):
    """Processor time of aplay playing SECONDS of the disc to a paced capture."""
    config = desktop.work / f"aplay-{name}"
    (config / "alsa").mkdir(parents=True)
    (config / "alsa" / "asoundrc").write_text(
        capture_config(desktop.tools, CD_BYTES_PER_SECOND, desktop.work / f"aplay-{name}.raw"))
    sectors = int(seconds * 75)
    raw = desktop.work / f"aplay-{name}.in"
    raw.write_bytes(disc.sectors(500, sectors))
    env = dict(os.environ, HOME=str(config), XDG_CONFIG_HOME=str(config))
    env.pop("ALSA_CONFIG_PATH", None)
    started = time.monotonic()
    child = subprocess.Popen(["aplay", "-q", "-D", "default", "-t", "raw", "-f", "cd", str(raw)], env=env)
    _, status, usage = os.wait4(child.pid, 0)
    child.returncode = 0  # collected here; keeps Popen from waiting again
    expect(os.waitstatus_to_exitcode(status) == 0, f"aplay ended with status {status}")
    return usage.ru_utime + usage.ru_stime, sectors * 2352 / CD_BYTES_PER_SECOND, time.monotonic() - started


def body(desktop, args):
    disc = Disc(desktop.tools, desktop.work / "discs", "clean", [4500, 4500], label="BENCH DISC")
    cpu, audio, wall, xcpu = measure_program(desktop, disc, args)
    short_cpu, short_audio, short_wall = aplay_cpu(desktop, disc, args.warmup, "short")
    long_cpu, long_audio, long_wall = aplay_cpu(desktop, disc, args.warmup + args.seconds, "long")

    program_rate = cpu * 1000 / audio
    aplay_rate = (long_cpu - short_cpu) * 1000 / (long_audio - short_audio)
    print(f"rilvane: {cpu * 1000:8.1f} ms CPU for {audio:6.2f} s of audio in {wall:6.2f} s "
          f"({program_rate:.2f} ms per audio second); Xvfb meanwhile {xcpu * 1000:.1f} ms")
    print(f"aplay:   {short_cpu * 1000:8.1f} ms CPU for {short_audio:6.2f} s of audio in {short_wall:6.2f} s, "
          f"{long_cpu * 1000:.1f} ms for {long_audio:.2f} s in {long_wall:.2f} s "
          f"({aplay_rate:.2f} ms per extra audio second)")
    if aplay_rate > 0:
        print(f"ratio rilvane/aplay (CPU per audio second): {program_rate / aplay_rate:.1f}")
    else:
        print("ratio rilvane/aplay: aplay used no measurable CPU per extra second")


if __name__ == "__main__":
    if shutil.which("aplay") is None:
        print("SKIP: aplay is missing (alsa-utils)")
        sys.exit(SKIP)
    parser = arguments(__doc__)
    parser.add_argument("--seconds", type=float, default=12, help="seconds of audio measured")
    parser.add_argument("--warmup", type=float, default=2, help="seconds of audio before measuring")
    sys.exit(run("playback-bench", body, parser))
