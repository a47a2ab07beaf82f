#!/usr/bin/env python3
"""The rescue window against rilvane-rip: the same rescue, the same drive,
the same options, once through each program, in pairs.

Two virtual discs of --sectors sectors (74 minutes by default), 20 tracks:
  clean    nothing wrong: the window's processor time while the disc is read
           at full speed, beside rilvane-rip's;
  damaged  30 unreadable single sectors and 40 that fail their first two
           reads, every failing read taking --delay-ms: the time to the
           closing line ("Ergebnis: ...") of each, and their ratio (goal:
           the window at most 1.05 times rilvane-rip's).

Both start with --drive 0 --out FOLDER and the default options (the window
with --start). Times run from the start of the process to its "Ergebnis:"
line, so both pay their start-up and neither its end. Processor time is the
whole process's (wait4), start-up and end included on both sides, and for
the window also by thread: the window's own thread against the rescue's. The window runs on Qt's offscreen platform: it draws
everything into its images as on a display, but no X server time is in the
figures. Pairs alternate which program goes first; median (min-max) of
--runs pairs. Exact files are checked once: the window's working copy and
track files equal rilvane-rip's.

  rescue_window_bench.py --bin BUILD/bin [--sectors N] [--delay-ms MS] [--runs N]
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
sys.dont_write_bytecode = True
from benchlib import spread, thread_times  # noqa: E402

RESULT = "Ergebnis:"


def make_disc(tool, folder, name, sectors, defects):
    tracks = 20
    lengths = [sectors // tracks] * tracks
    base = Path(folder) / name
    args = [tool, "--out", str(base), "--lengths", ",".join(map(str, lengths)), "--stamp"]
    if defects:
        args += ["--defects", ";".join(defects)]
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)
    return f"{base}.cue" + (f",{base}.defects" if defects else "")


def run(command, env, log_path, prefix=""):
    """Runs COMMAND until its log shows the closing line; (seconds to that
    line, processor seconds of the whole process, {thread name: processor
    seconds}). The whole process's time comes from wait4 once it has ended
    (the window is ended with SIGTERM after the line), so threads that ended
    early count too; the split by thread is sampled every 20 ms from /proc,
    each thread at its last sample."""
    last = {}
    with open(log_path, "wb") as log:
        start = time.monotonic()
        proc = subprocess.Popen(command, env=env, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        seen = False
        usage = None  # once the process has ended (reaped here, not by Popen)
        while not seen:
            try:
                last.update(thread_times(proc.pid))
            except (RuntimeError, OSError):
                pass
            text = Path(log_path).read_text(errors="replace")
            seen = any(line[len(prefix):].startswith(RESULT) for line in text.splitlines())
            if usage is None:
                pid, _, ended = os.wait4(proc.pid, os.WNOHANG)
                usage = ended if pid else None
            if usage is not None and not seen:
                text = Path(log_path).read_text(errors="replace")
                seen = any(line[len(prefix):].startswith(RESULT) for line in text.splitlines())
                if not seen:
                    raise RuntimeError(f"{command[0]} ended without its closing line:\n{text[-2000:]}")
            if not seen:
                time.sleep(0.02)
        seconds = time.monotonic() - start
    if usage is None:
        proc.terminate()
        _, _, usage = os.wait4(proc.pid, 0)
    proc.returncode = 0  # reaped above
    by_name = {}
    for name, spent in last.values():
        by_name[name] = by_name.get(name, 0.0) + spent
    return seconds, usage.ru_utime + usage.ru_stime, by_name


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True)
    ap.add_argument("--sectors", type=int, default=333000)
    ap.add_argument("--delay-ms", type=int, default=200)
    ap.add_argument("--runs", type=int, default=3)
    args = ap.parse_args()
    bin_dir = Path(args.bin).resolve()
    work = Path(tempfile.mkdtemp(prefix="rilvane-rescue-window-bench-"))
    try:
        rnd = random.Random(31)
        spots = rnd.sample(range(500, args.sectors - 500, 100), 70)
        defects = [f"{s} 03/11/00 {args.delay_ms}" for s in spots[:30]]
        defects += [f"{s} flaky 2 03/11/00 {args.delay_ms}" for s in spots[30:]]
        discs = {
            "clean": make_disc(bin_dir / "rilvane-make-disc", work, "clean", args.sectors, []),
            "damaged": make_disc(bin_dir / "rilvane-make-disc", work, "damaged", args.sectors, defects),
        }
        print(f"{args.sectors} sectors, 20 tracks; damaged: 30 unreadable, 40 flaky (2 failures), "
              f"{args.delay_ms} ms a failing read; {args.runs} pairs")
        for kind, disc in discs.items():
            env = dict(os.environ, RILVANE_NO_REAL_DRIVES="1", RILVANE_VIRTUAL_DRIVES=f"E={disc}",
                       QT_QPA_PLATFORM="offscreen", QT_LOGGING_RULES="rilvane.log=true",
                       QT_MESSAGE_PATTERN="%{category}: %{message}")
            figures = {"rip": [], "window": []}
            for n in range(args.runs):
                order = ["rip", "window"] if n % 2 == 0 else ["window", "rip"]
                for who in order:
                    out = work / f"{kind}-{who}-{n}"
                    if who == "rip":
                        command = [str(bin_dir / "rilvane-rip"), "--drive", "0", "--out", str(out)]
                        prefix = ""
                    else:
                        command = [str(bin_dir / "rilvane-rescue"), "--drive", "0", "--out", str(out), "--start"]
                        prefix = "rilvane.log: "
                    figures[who].append(run(command, env, work / f"{kind}-{who}-{n}.log", prefix))
                if n == 0:
                    a, b = work / f"{kind}-rip-0", work / f"{kind}-window-0"
                    for f in sorted(p.name for p in a.glob("track*.wav")) + ["disc.bin"]:
                        if (a / f).read_bytes() != (b / f).read_bytes():
                            print(f"FAIL: {kind}: {f} differs between rilvane-rip and the window")
                            return 1
                for who in order:
                    shutil.rmtree(work / f"{kind}-{who}-{n}")
            rip_s = [f[0] for f in figures["rip"]]
            win_s = [f[0] for f in figures["window"]]
            ratios = [w / r for w, r in zip(win_s, rip_s)]
            print(f"{kind}: time to the closing line, s: rilvane-rip {spread(rip_s)}, window {spread(win_s)}; "
                  f"window/rip {spread(ratios)}")
            rip_cpu = [f[1] for f in figures["rip"]]
            win_cpu = [f[1] for f in figures["window"]]
            print(f"{kind}: processor time, s: rilvane-rip {spread(rip_cpu)}, window {spread(win_cpu)}")
            names = sorted({name for f in figures["window"] for name in f[2]})
            parts = []
            for name in names:
                values = [f[2].get(name, 0.0) for f in figures["window"]]
                if max(values) >= 0.01:
                    parts.append(f"{name} {spread(values)}")
            print(f"{kind}: the window's processor time by thread, s: " + "; ".join(parts))
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
