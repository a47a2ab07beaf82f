#!/usr/bin/env python3
"""Saving a long track through the real window, against cp of the same bytes.

The real rilvane runs on an Xvfb display of its own with one virtual drive
holding one clean track of SECTORS sectors (74 minutes are 333000). Each run
presses "Track in WAV Datei speichern", types the target into the file
dialog and waits for the rip to end. The other side is `cp` of the disc image
(exactly the track's bytes) to the same folder. Both write to the run's work
folder, or to --out (a tmpfs such as /dev/shm keeps the disk out of both).

Each side is timed to two ends:

- "written": the rip from the program's log line "Starte Ripping..." (the
  table of contents is read, the file is created with its provisional
  header, the read loop starts) to "Ripping beendet..." (the last block is
  written; the final header, fsync and close come after it); cp from process
  start to exit. The log lines carry the time of the log category
  rilvane.log (the monotonic clock). On a disk this end is not the same for
  both: the rip has the file system start writing its file out every 8 MB
  while it goes on, cp leaves everything in the page cache.
- "on disk": both clocks run on until an fsync of the output, issued by this
  script as soon as it sees the end (the log is polled every 2 ms; cp's exit
  is waited for), has returned: the same end for both.

Both sides start settled: the disc image is read through before the clock
starts, so that both read it from the page cache; the previous output is
removed and all dirty data is written back (sync) before each side's clock
starts. Each run times both, in alternating order, and the medians, minima
and maxima of the runs and of the per-run ratios are printed. Nothing is
asserted.
"""

import os
import shutil
import signal
import statistics
import subprocess
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "e2e"))

from rilvane_e2e import (LOG_PREFIX, SECTOR_BYTES, START_TIMEOUT, Disc, arguments, expect,  # noqa: E402
                         run, wait_painted)

STAMP_PREFIX = "@"
STARTING = "Starte Ripping..."
FINISHED = "Ripping beendet..."


# Every log line is followed by a line of its own with the time it was logged.
TIMED_PATTERN = "%{category}: %{message}\n" + STAMP_PREFIX + "%{time boot}"


def timed_log_lines(desktop):
    """[(seconds, line)] of the program's log lines so far."""
    lines = desktop.program_output().splitlines()
    timed = []
    for index, line in enumerate(lines[:-1]):
        stamp = lines[index + 1]
        if line.startswith(LOG_PREFIX) and stamp.startswith(STAMP_PREFIX):
            timed.append((float(stamp[len(STAMP_PREFIX):]), line[len(LOG_PREFIX):]))
    return timed


def settle(paths, source):
    """Removes earlier outputs, reads the source through so that it sits in
    the page cache, and writes every dirty page back."""
    for path in paths:
        path.unlink(missing_ok=True)
    with open(source, "rb", buffering=0) as data:
        while data.read(1 << 22):
            pass
    os.sync()
    time.sleep(0.2)


def on_disk(path):
    """Returns once the file's data is on the disk (fsync); the monotonic
    time then."""
    fd = os.open(path, os.O_RDONLY)
    try:
        os.fsync(fd)
    finally:
        os.close(fd)
    return time.monotonic()


def time_cp(source, target):
    """(written, on disk) seconds of cp."""
    started = time.monotonic()
    done = subprocess.run(["cp", str(source), str(target)])
    written = time.monotonic()
    expect(done.returncode == 0, f"cp ended with status {done.returncode}")
    return written - started, on_disk(target) - started


def main_thread_times(pid):
    """(seconds on a processor, seconds waiting for one) of the program's
    main thread so far (/proc/PID/task/PID/schedstat), or None."""
    try:
        fields = Path(f"/proc/{pid}/task/{pid}/schedstat").read_text().split()
        return int(fields[0]) / 1e9, int(fields[1]) / 1e9
    except (OSError, IndexError, ValueError):
        return None


def time_rip(desktop, window, target, nth, threads):
    """Saves track 1 to TARGET through the window; (written, on disk)
    seconds from the NTH "Starte Ripping...". Appends to THREADS what the main
    thread spent from the Return in the file dialog until the end was seen
    (on a processor, waiting for one), when the kernel tells."""
    window.click("SaveTrack")
    dialog = desktop.wait_for_new_window({window.wid}, "the file dialog", lambda g: g[2] > 300 and g[3] > 200)
    wait_painted(desktop, desktop.geometry(dialog))
    desktop.focus(dialog)
    desktop.type(str(target))
    before = main_thread_times(desktop.program.pid)
    desktop.key("Return")
    desktop.wait_for_log(FINISHED, count=nth, timeout=START_TIMEOUT, interval=0.002)
    durable = on_disk(target)
    after = main_thread_times(desktop.program.pid)
    if before and after:
        threads.append((after[0] - before[0], after[1] - before[1]))
    timed = timed_log_lines(desktop)
    starts = [t for t, line in timed if line == STARTING]
    ends = [t for t, line in timed if line == FINISHED]
    expect(len(starts) >= nth and len(ends) >= nth, f"rip {nth}: the log lines carry no times")
    expect(starts[nth - 1] <= ends[nth - 1] <= durable,
           f"rip {nth}: the log's clock is not this script's monotonic clock")
    return ends[nth - 1] - starts[nth - 1], durable - starts[nth - 1]


def filesystem(folder):
    done = subprocess.run(["stat", "-f", "-c", "%T", str(folder)], capture_output=True, text=True)
    return done.stdout.strip() or "unknown file system"


def figures(values):
    return (f"median {statistics.median(values):7.3f}, min {min(values):7.3f}, max {max(values):7.3f}")


def body(desktop, args):
    disc = Disc(desktop.tools, desktop.work / "discs", "long", [args.sectors], label="LONG TRACK")
    track_bytes = args.sectors * SECTOR_BYTES
    expect(disc.bin.stat().st_size == track_bytes, "the disc image is not exactly the track")
    out = Path(args.out or desktop.work) / f"window-bench-{os.getpid()}"
    out.mkdir()
    try:
        rips, copies = measure(desktop, args, disc, out, track_bytes)
    finally:
        shutil.rmtree(out, ignore_errors=True)

    minutes = args.sectors / 75 / 60
    print(f"written to {out.parent} ({filesystem(out.parent)})")
    print(f"track: {args.sectors} sectors ({minutes:.1f} min, {track_bytes / 1e6:.1f} MB), {args.runs} paired runs")
    for index, end in enumerate(("written", "on disk")):
        rip, cp = [r[index] for r in rips], [c[index] for c in copies]
        print(f"{end}: rip through the window (s): {figures(rip)}")
        print(f"{end}: cp of the same bytes (s):   {figures(cp)}")
        print(f"{end}: ratio per run:              {figures([r / c for r, c in zip(rip, cp)])}")


def measure(desktop, args, disc, out, track_bytes):
    """[(written, on disk) of each rip], the same of each cp, of the paired runs."""
    wav, copy = out / "track.wav", out / "track.bin"
    desktop.sound_to_null()
    desktop.MESSAGE_PATTERN = TIMED_PATTERN
    window = desktop.start_program([disc.entry("E")])
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)

    perf = None
    if args.perf:
        perf = subprocess.Popen(["perf", "record", "--call-graph", "dwarf,16384", "-F", "999", "-o", args.perf,
                                 "-p", str(desktop.program.pid)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        print(f"perf records the program into {args.perf}: the times below include its cost")

    rips, copies, threads = [], [], []
    for index in range(args.runs):
        order = ("cp", "rip") if index % 2 == 0 else ("rip", "cp")
        for side in order:
            settle([wav, copy], disc.bin)
            if side == "cp":
                copies.append(time_cp(disc.bin, copy))
            else:
                rips.append(time_rip(desktop, window, wav, index + 1, threads))
                size = wav.stat().st_size
                expect(size == 44 + track_bytes, f"the WAV file has {size} bytes, not 44 + {track_bytes}")
        (rip, rip_disk), (cp, cp_disk) = rips[-1], copies[-1]
        line = (f"run {index + 1}: written: rip {rip:.3f} s, cp {cp:.3f} s, ratio {rip / cp:.2f}; "
                f"on disk: rip {rip_disk:.3f} s, cp {cp_disk:.3f} s, ratio {rip_disk / cp_disk:.2f}")
        if len(threads) == index + 1:
            line += f" (main thread around the rip: {threads[-1][0]:.3f} s running, {threads[-1][1]:.3f} s waiting for a CPU)"
        print(line)
    if perf:
        perf.send_signal(signal.SIGINT)
        perf.wait()
    settle([wav, copy], disc.bin)
    desktop.screenshot("window-bench")
    status = window.close()
    expect(status == 0, f"rilvane ended with status {status}")
    return rips, copies


if __name__ == "__main__":
    parser = arguments(__doc__)
    parser.add_argument("--sectors", type=int, default=333000, help="length of the track (333000: 74 minutes)")
    parser.add_argument("--runs", type=int, default=5, help="paired runs")
    parser.add_argument("--out", help="folder both sides write to (default: the run's work folder)")
    parser.add_argument("--perf", help="record the program with perf (call graphs by DWARF) into this file")
    sys.exit(run("window-bench", body, parser))
