#!/usr/bin/env python3
"""The rescue engine of rilvane-rip on a damaged 74-minute virtual disc,
paired with a clean read of the same disc.

The disc: 20 tracks, 333,000 sectors with a stamp in every sector (no two
sectors alike). Its damage: 30 single unreadable sectors and one unreadable
stretch of half a second (38 sectors), 60 sectors that fail their first 1 to
3 reads (so they read on their 2nd to 4th try), 20 sectors whose first 1 to 3
reads bring wrong samples without an error (the drive flags them by C2), and
a drive cache of 1200 sectors. Every failing read takes 200 ms.

Reported:
  recovered   sectors exact in the working copy against the readable ones
              (goal: all of them), and no readable sector lost or wrong;
  failing     failing single-sector reads made against the least
              possible: every unreadable sector read alone retries+1 times,
              every flaky one failing alone as often as it still must after
              its copy-pass read failed; and the failed copy-pass reads
              (ten sectors each) beside them;
  time        the rescue against the clean read + failing reads x 200 ms
              (goal: at most 1.1).

  rescue_bench.py --bin BUILD/bin [--sectors N] [--retries N] [--delay-ms MS]
"""
import argparse
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

SECTOR = 2352


def run_rip(tool, env, out, retries, report):
    start = time.monotonic()
    proc = subprocess.run([tool, "--out", out, "--retries", str(retries), "--report", report],
                          env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    seconds = time.monotonic() - start
    with open(report, encoding="utf-8") as f:
        return seconds, proc.returncode, json.load(f)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True, help="folder of rilvane-rip and rilvane-make-disc")
    ap.add_argument("--sectors", type=int, default=333000)
    ap.add_argument("--retries", type=int, default=10)
    ap.add_argument("--seed", type=int, default=23)
    ap.add_argument("--delay-ms", type=int, default=200, help="time each failing read takes")
    args = ap.parse_args()

    rnd = random.Random(args.seed)
    tracks = 20
    length = args.sectors // tracks
    lead_out = length * tracks
    # Damage away from each other and from the disc's ends.
    taken = set()

    def free_spot(size):
        while True:
            s = rnd.randrange(200, lead_out - 200 - size)
            if all(x not in taken for x in range(s - 30, s + size + 30)):
                taken.update(range(s, s + size))
                return s

    lines = ["cache 1200"]
    unreadable = []
    for _ in range(30):
        s = free_spot(1)
        unreadable.append(s)
        lines.append(f"{s} 03/11/00 {args.delay_ms}")
    stretch = free_spot(38)
    unreadable += list(range(stretch, stretch + 38))
    lines.append(f"{stretch}-{stretch + 37} 03/11/00 {args.delay_ms}")
    flaky_failures = 0
    for _ in range(60):
        s = free_spot(1)
        n = rnd.randint(1, 3)
        flaky_failures += n
        lines.append(f"{s} flaky {n} 03/11/00 {args.delay_ms}")
    for _ in range(20):
        s = free_spot(1)
        lines.append(f"{s} corrupt {rnd.randint(1, 3)}")

    work = tempfile.mkdtemp(prefix="rilvane-rescue-bench-")
    try:
        lengths = ",".join([str(length)] * tracks)
        make = os.path.join(args.bin, "rilvane-make-disc")
        tool = os.path.join(args.bin, "rilvane-rip")
        subprocess.run([make, "--out", f"{work}/disc/disc", "--lengths", lengths, "--stamp",
                        "--defects", ";".join(lines)], check=True, stdout=subprocess.DEVNULL)
        env = {k: v for k, v in os.environ.items() if not k.startswith("RILVANE_")}
        env["RILVANE_NO_REAL_DRIVES"] = "1"
        clean_env = dict(env, RILVANE_VIRTUAL_DRIVES=f"E={work}/disc/disc.cue")
        damaged_env = dict(env, RILVANE_VIRTUAL_DRIVES=f"E={work}/disc/disc.cue,{work}/disc/disc.defects")

        clean_s, clean_rc, _ = run_rip(tool, clean_env, f"{work}/clean", args.retries, f"{work}/clean.json")
        shutil.rmtree(f"{work}/clean")
        rescue_s, rescue_rc, report = run_rip(tool, damaged_env, f"{work}/rescue", args.retries,
                                              f"{work}/rescue.json")

        # The working copy against the image, sector by sector.
        lost = set(unreadable)
        exact = wrong = lost_readable = 0
        with open(f"{work}/disc/disc.bin", "rb") as image, open(f"{work}/rescue/disc.bin", "rb") as copy:
            for s in range(lead_out):
                a = image.read(SECTOR)
                b = copy.read(SECTOR)
                if s in lost:
                    wrong += b != bytes(SECTOR)
                elif a == b:
                    exact += 1
                elif b == bytes(SECTOR):
                    lost_readable += 1
                else:
                    wrong += 1
        readable = lead_out - len(lost)
        totals = report["totals"]
        failing = totals["failedReads"]
        passes = {p["pass"]: p for p in report["passReports"]}
        copy_failed = passes.get("Kopieren", {}).get("failedReads", 0)
        # Each flaky sector spends one failure in the copy pass (its block
        # fails there); the rest it must spend read alone.
        least = len(lost) * (args.retries + 1) + flaky_failures - 60
        bound = clean_s + failing * args.delay_ms / 1000
        print(f"disc: {lead_out} sectors ({lead_out / 75 / 60:.1f} min), {len(lost)} unreadable "
              f"(30 single, one stretch of 38), 60 flaky ({flaky_failures} failing reads owed), 20 corrupt, cache 1200")
        print(f"clean read:   {clean_s:.1f} s (exit {clean_rc})")
        print(f"rescue:       {rescue_s:.1f} s (exit {rescue_rc}), {totals['reads']} reads, {failing} failed")
        for name, p in passes.items():
            print(f"  {name:12s} {p['reads']:7d} reads, {p['failedReads']:5d} failed, {p['seconds']:.1f} s")
        print(f"recovered:    {exact} of {readable} readable sectors exact, {lost_readable} readable lost, "
              f"{wrong} wrong; report: {totals['missing']} missing, {totals['suspect']} suspect")
        single = failing - copy_failed
        print(f"failing reads: {single} single-sector ones made, least possible {least} "
              f"(ratio {single / least:.3f}); and {copy_failed} failed copy-pass reads")
        print(f"time:         {rescue_s:.1f} s against {clean_s:.1f} + {failing} x {args.delay_ms / 1000:g} = {bound:.1f} s "
              f"(ratio {rescue_s / bound:.3f}, goal <= 1.1)")
        ok = exact == readable and wrong == 0 and rescue_s / bound <= 1.1
        return 0 if ok else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
