#!/usr/bin/env python3
"""rilvane-rip on a drive that proves nothing by itself: the rescue
benchmark's kind of disc on a 24x drive without C2 pointers, with a cache of
4000 sectors (read-ahead included) and 20 sectors that read only at 8x or
slower, besides unreadable, flaky and corrupt sectors.

Each paired run rescues the disc twice into fresh folders: once learning the
cache by timing (the default), once with --cache-sectors 4000 given.

Reported, per kind of run:
  recovered   readable sectors exact in the working copy (goal: all),
              slow sectors among them (goal: all 20);
  wrong good  sectors the map calls good or verified that are wrong in the
              copy (goal: 0);
  cache       the size the run reckoned with and how it was found;
  time        median and min-max over the runs, and the ratio of the medians:
              what learning and defeating the cache costs.

  trust_bench.py --bin BUILD/bin [--sectors N] [--runs N] [--delay-ms MS] [--speed N]
"""
import argparse
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SECTOR = 2352


def map_states(path):
    states = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            words = line.split()
            if len(words) < 2 or not words[0][0].isdigit():
                continue
            first, _, last = words[0].partition("-")
            for s in range(int(first), int(last or first) + 1):
                states[s] = words[1]
    return states


def rescue(tool, env, out, extra):
    report = out + ".json"
    start = time.monotonic()
    proc = subprocess.run([tool, "--out", out, "--report", report] + extra, env=env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    seconds = time.monotonic() - start
    with open(report, encoding="utf-8") as f:
        return seconds, proc.returncode, json.load(f)


def judge(image_path, out, lead_out, lost, slow):
    states = map_states(os.path.join(out, "disc.map"))
    exact = wrong_good = slow_exact = 0
    with open(image_path, "rb") as image, open(os.path.join(out, "disc.bin"), "rb") as copy:
        for s in range(lead_out):
            a = image.read(SECTOR)
            b = copy.read(SECTOR)
            if s in lost:
                continue
            if a == b:
                exact += 1
                slow_exact += s in slow
            elif states.get(s) in ("good", "verified"):
                wrong_good += 1
    return exact, wrong_good, slow_exact


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True, help="folder of rilvane-rip and rilvane-make-disc")
    ap.add_argument("--sectors", type=int, default=60000)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--seed", type=int, default=29)
    ap.add_argument("--delay-ms", type=int, default=20, help="time each failing read takes")
    ap.add_argument("--speed", type=int, default=24, help="the drive's top speed (1x = 75 sectors a second)")
    args = ap.parse_args()

    rnd = random.Random(args.seed)
    tracks = 10
    length = args.sectors // tracks
    lead_out = length * tracks
    taken = set()

    def free_spot(size):
        while True:
            s = rnd.randrange(200, lead_out - 200 - size)
            if all(x not in taken for x in range(s - 30, s + size + 30)):
                taken.update(range(s, s + size))
                return s

    lines = [f"speed {args.speed}", "c2 no", "cache 4000"]
    lost = set()
    for _ in range(10):
        s = free_spot(1)
        lost.add(s)
        lines.append(f"{s} 03/11/00 {args.delay_ms}")
    for _ in range(20):
        lines.append(f"{free_spot(1)} flaky {rnd.randint(1, 3)} 03/11/00 {args.delay_ms}")
    for _ in range(20):
        lines.append(f"{free_spot(1)} corrupt {rnd.randint(1, 3)}")
    slow = set()
    for _ in range(20):
        s = free_spot(1)
        slow.add(s)
        lines.append(f"{s} slow 8")

    work = tempfile.mkdtemp(prefix="rilvane-trust-bench-")
    try:
        make = os.path.join(args.bin, "rilvane-make-disc")
        tool = os.path.join(args.bin, "rilvane-rip")
        subprocess.run([make, "--out", f"{work}/disc/disc", "--lengths", ",".join([str(length)] * tracks), "--stamp",
                        "--defects", ";".join(lines)], check=True, stdout=subprocess.DEVNULL)
        env = {k: v for k, v in os.environ.items() if not k.startswith("RILVANE_")}
        env["RILVANE_NO_REAL_DRIVES"] = "1"
        # Each run is a process of its own with a drive of its own: no run meets another's cache.
        env["RILVANE_VIRTUAL_DRIVES"] = f"E={work}/disc/disc.cue,{work}/disc/disc.defects"
        kinds = {"learnt": [], "given": []}
        extra = {"learnt": [], "given": ["--cache-sectors", "4000"]}
        ok = True
        print(f"disc: {lead_out} sectors, {args.speed}x, no C2, cache 4000; {len(lost)} unreadable, 20 flaky, 20 corrupt, "
              f"20 slow 8; failing reads {args.delay_ms} ms")
        for run in range(args.runs):
            for kind in ("learnt", "given") if run % 2 == 0 else ("given", "learnt"):
                out = f"{work}/{kind}{run}"
                seconds, rc, report = rescue(tool, env, out, extra[kind])
                exact, wrong_good, slow_exact = judge(f"{work}/disc/disc.bin", out, lead_out, lost, slow)
                kinds[kind].append(seconds)
                cache = report.get("cache", {})
                print(f"  {kind:6s} run {run + 1}: {seconds:6.1f} s, exit {rc}, {exact} of {lead_out - len(lost)} "
                      f"readable exact, slow {slow_exact}/20, wrong but good {wrong_good}, "
                      f"cache {cache.get('sectors')} ({cache.get('how', '')})")
                ok = ok and wrong_good == 0 and exact == lead_out - len(lost)
                shutil.rmtree(out, ignore_errors=True)
        for kind, times in kinds.items():
            print(f"{kind:6s}: median {statistics.median(times):.1f} s (min {min(times):.1f}, max {max(times):.1f})")
        print(f"learning and defeating the cache: {statistics.median(kinds['learnt']) / statistics.median(kinds['given']):.3f} "
              f"of the time with the size given")
        return 0 if ok else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
