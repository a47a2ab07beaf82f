#!/usr/bin/env python3
"""Each reader's output against the disc image, sector by sector (run by
guest.sh in the kernel test machine).

  compare.py WORK

WORK holds disc/disc.bin (the image), unreadable.txt, runs.txt (one line per
reader: NAME SECONDS EXIT READS FAILED_READS, the reads as the drive counted
them), rip/disc.bin (rilvane-rip's working copy, the whole disc) and
paranoia.wav, paranoia_z.wav (cdparanoia's, tracks 1 to the end).

A sector is exact when its bytes are the image's; missing when the output
has it as silence (all zero: the image is noise and has no silent sector)
or does not reach it (a cdparanoia run stopped by its time limit);
wrong otherwise.
"""
import json
import os
import sys

SECTOR = 2352


def wav_data(path):
    with open(path, "rb") as f:
        data = f.read()
    # The canonical 44-byte header; a run cut short may not have fixed up
    # its sizes, so the data is taken to the end of the file.
    return data[44:] if data[:4] == b"RIFF" else b""


def compare(image, copy, unreadable):
    sectors = len(image) // SECTOR
    counts = {"exact": 0, "wrong": 0, "missing": 0, "wrong_unreadable": 0}
    zero = bytes(SECTOR)
    for s in range(sectors):
        a = image[s * SECTOR:(s + 1) * SECTOR]
        b = copy[s * SECTOR:(s + 1) * SECTOR]
        if len(b) < SECTOR or b == zero:
            kind = "missing"
        elif a == b:
            kind = "exact"
        else:
            kind = "wrong"
        if s in unreadable:
            # Nothing can be exact here; anything but silence is made up.
            counts["wrong_unreadable"] += kind == "wrong"
        else:
            counts[kind] += 1
    return counts


def main():
    work = sys.argv[1]
    with open(os.path.join(work, "disc/disc.bin"), "rb") as f:
        image = f.read()
    unreadable = set()
    for word in open(os.path.join(work, "unreadable.txt")).read().split()[1:]:
        a, _, b = word.partition("-")
        unreadable.update(range(int(a), int(b or a) + 1))
    sectors = len(image) // SECTOR
    zero = sum(image[s * SECTOR:(s + 1) * SECTOR] == bytes(SECTOR) for s in range(sectors))
    readable = sectors - len(unreadable)
    print(f"disc: {sectors} sectors, {len(unreadable)} unreadable, {readable} readable, {zero} silent in the image")
    runs = {}
    for line in open(os.path.join(work, "runs.txt")):
        f = line.split()
        if len(f) >= 5:
            runs[f[0]] = {"seconds": float(f[1]), "exit": int(f[2]), "reads": int(f[3]), "failed": int(f[4])}
    outputs = {"rilvane": "rip/disc.bin", "paranoia": "paranoia.wav", "paranoia_z": "paranoia_z.wav"}
    report = {}
    try:
        with open(os.path.join(work, "rip.json"), encoding="utf-8") as f:
            report = json.load(f).get("totals", {})
    except (OSError, ValueError):
        pass
    print(f"{'side':12s} {'exact':>6s} {'wrong':>6s} {'missing':>8s} {'made-up':>8s} "
          f"{'reads':>7s} {'failed':>7s} {'seconds':>8s} exit")
    for name, rel in outputs.items():
        path = os.path.join(work, rel)
        if name not in runs:
            print(f"{name:12s} did not run")
            continue
        if rel.endswith(".wav"):
            copy = wav_data(path) if os.path.exists(path) else b""
        else:
            copy = open(path, "rb").read() if os.path.exists(path) else b""
        c = compare(image, copy, unreadable)
        r = runs[name]
        note = " (time limit hit)" if r["exit"] == 124 else ""
        print(f"{name:12s} {c['exact']:6d} {c['wrong']:6d} {c['missing']:8d} {c['wrong_unreadable']:8d} "
              f"{r['reads']:7d} {r['failed']:7d} {r['seconds']:8.1f} {r['exit']}{note}")
    if report:
        print(f"rilvane-rip's own report: {report.get('reads')} reads, {report.get('failedReads')} failed, "
              f"{report.get('missing')} missing, {report.get('suspect')} suspect")
    print("exact/wrong/missing: of the readable sectors; made-up: unreadable sectors given non-silent bytes")


if __name__ == "__main__":
    main()
