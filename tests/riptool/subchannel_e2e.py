#!/usr/bin/env python3
"""What rilvane-rip takes from the sub-channel, checked from outside: a disc
written by rilvane-make-disc with a hidden first track, pregaps, INDEX 02,
ISRCs, a catalogue number and CD-Text is ripped on both transports; the
index points of disc.cue (through cuebreakpoints and the INDEX lines) and of
tracks.cue (file positions turned back into disc positions) must equal the
ones of the disc's own CUE sheet, the ISRCs come back through cueprint, the
FLAC files carry the tags, track00 holds the audio before track 1 bit for
bit. A disc with a silent first pregap gets no track00, and a defect over a
pregap leaves that pregap out instead of guessing it."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

RIP, MAKE_DISC = sys.argv[1], sys.argv[2]
SECTOR = 2352
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def sectors(msf):
    m, s, f = (int(x) for x in msf.split(":"))
    return (m * 60 + s) * 75 + f


def make_disc(folder, *options):
    subprocess.run([MAKE_DISC, "--out", os.path.join(folder, "DISC")] + list(options), check=True,
                   capture_output=True)
    return os.path.join(folder, "DISC.cue")


def rip(target, cue, out, *args):
    env = {k: v for k, v in os.environ.items() if not k.startswith("RILVANE_")}
    env["RILVANE_NO_REAL_DRIVES"] = "1"
    defects = cue[:-4] + ".defects"
    env["RILVANE_VIRTUAL_DRIVES"] = target + "=" + cue + ("," + defects if os.path.exists(defects) else "")
    return subprocess.run([RIP, "--out", out] + list(args), env=env, capture_output=True, text=True, timeout=300)


def parse_cue(path):
    """Tracks of a sheet: number -> {isrc, title, indexes {n: (file, sectors)}}, and the disc's lines."""
    tracks, disc, current, file = {}, {}, None, None
    with open(path) as f:
        for line in f:
            words = line.split()
            if not words:
                continue
            if words[0] == "FILE":
                file = re.match(r'\s*FILE "(.*)"', line).group(1)
            elif words[0] == "TRACK":
                current = tracks.setdefault(int(words[1]), {"indexes": {}})
            elif words[0] == "INDEX":
                current["indexes"][int(words[1])] = (file, sectors(words[2]))
            elif words[0] in ("ISRC", "TITLE", "PERFORMER", "CATALOG", "PREGAP"):
                value = line.split(None, 1)[1].strip().strip('"')
                (current if current is not None else disc)[words[0]] = value
    return tracks, disc


def absolute_indexes(tracks, file_starts):
    """(track, index) -> disc sector, a file's positions counted from where it starts on the disc."""
    return {(n, i): file_starts[f] + at for n, t in tracks.items() for i, (f, at) in t["indexes"].items()}


def breakpoints(cue):
    r = subprocess.run(["cuebreakpoints", "--split-gaps", cue], capture_output=True, text=True)
    check(r.returncode == 0, "cuebreakpoints reads " + cue + ": " + r.stderr)
    return r.stdout.split()


def tags(path):
    r = subprocess.run(["metaflac", "--export-tags-to=-", path], capture_output=True, text=True)
    return dict(line.split("=", 1) for line in r.stdout.splitlines() if "=" in line)


def decoded(path):
    r = subprocess.run(["flac", "-d", "-s", "-c", "--force-raw-format", "--endian=little", "--sign=signed", path],
                       capture_output=True)
    return r.stdout


def full_disc(work):
    isrcs = ["USRC17607839", "", "GBAYE0000001"]
    cue = make_disc(work, "--lengths", "1200,900,1000", "--pregap", "75", "--hidden-track", "120", "--index2", "300",
                    "--catalog", "1234567890123", "--isrc", ",".join(isrcs), "--title", "Album Eins",
                    "--performer", "Die Band", "--track-titles", "Erstes;Zweites;Drittes")
    source, source_disc = parse_cue(cue)
    with open(cue[:-4] + ".bin", "rb") as f:
        image = f.read()
    expected = absolute_indexes(source, {"DISC.bin": 0})
    starts = {n: expected[(n, 1)] for n in source}
    for target in ("E", "aspi:0:0"):
        out = os.path.join(work, "out-" + target.replace(":", ""))
        report = os.path.join(work, "report-" + target.replace(":", "") + ".json")
        # On the ASPI layer the files are named by their titles too.
        named = target.startswith("aspi")
        file_of = (lambda n: "%02d %s.flac" % (n, source[n]["TITLE"] if n else "Track 00")) if named else \
            (lambda n: "track%02d.flac" % n)
        r = rip(target, cue, out, "--flac", "--report", report, *(["--name", "%02d %t.flac"] if named else []))
        check(r.returncode == 0, target + ": rip ends complete (rc %d): %s" % (r.returncode, r.stderr[-400:]))
        disc_cue = os.path.join(out, "disc.cue")
        check(breakpoints(disc_cue) == breakpoints(cue), target + ": disc.cue's breakpoints are the disc's")
        tracks, disc = parse_cue(disc_cue)
        check(absolute_indexes(tracks, {"disc.bin": 0}) == expected,
              target + ": every INDEX of disc.cue where the disc has it: %s" % absolute_indexes(tracks, {"disc.bin": 0}))
        check(disc.get("CATALOG") == "1234567890123", target + ": CATALOG in disc.cue")
        check(disc.get("TITLE") == "Album Eins" and disc.get("PERFORMER") == "Die Band",
              target + ": the disc's CD-Text in disc.cue")
        for name in ("disc.cue", "tracks.cue"):
            printed = subprocess.run(["cueprint", "-d", "", "-t", "%n|%i|%t\n", os.path.join(out, name)],
                                     capture_output=True, text=True).stdout.split()
            check(printed == ["1|USRC17607839|Erstes", "2||Zweites", "3|GBAYE0000001|Drittes"],
                  target + ": ISRCs and titles of " + name + " through cueprint: %s" % printed)

        # The track files hold each track from INDEX 01 on; track00 the audio before it.
        track_cue, _ = parse_cue(os.path.join(out, "tracks.cue"))
        file_starts = {file_of(0): 0}
        file_starts.update({file_of(n): starts[n] for n in starts})
        check(absolute_indexes(track_cue, file_starts) == expected,
              target + ": tracks.cue's index points, the pregaps in the file before: %s" % track_cue)
        check(track_cue[2]["indexes"][0][0] == file_of(1) and track_cue[3]["indexes"][0][0] == file_of(2),
              target + ": gaps appended to the track before")
        check(decoded(os.path.join(out, file_of(0))) == image[:starts[1] * SECTOR],
              target + ": track00 is the audio before track 1, bit for bit")
        check(decoded(os.path.join(out, file_of(2))) == image[starts[2] * SECTOR:starts[3] * SECTOR],
              target + ": track02 runs from its INDEX 01 to the next track")
        for n, isrc in enumerate(isrcs, 1):
            t = tags(os.path.join(out, file_of(n)))
            check(t.get("TITLE") == source[n]["TITLE"] and t.get("ALBUM") == "Album Eins" and
                  t.get("ARTIST") == "Die Band" and t.get("ISRC", "") == isrc,
                  target + ": tags of track %d: %s" % (n, t))
        with open(report) as f:
            sub = json.load(f)["subchannel"]
        check(sub["catalog"] == "1234567890123" and sub["hiddenTrackFile"] == file_of(0) and sub["qUsable"],
              target + ": the report tells the catalogue number and the hidden track")
        check([t["pregapStart"] for t in sub["tracks"]] == [0, expected[(2, 0)], expected[(3, 0)]],
              target + ": the report's pregaps")
        with open(os.path.join(out, "disc.log")) as f:
            log = f.read()
        check("ISRC GBAYE0000001" in log and "zwei gleichen Lesungen" in log,
              target + ": the log says what was found and how")


def silent_pregap(work):
    # Reads take their time, so the drive shows it keeps no cache and the rip
    # can confirm what it read.
    cue = make_disc(work, "--lengths", "600,600", "--pregap", "40", "--defects", "speed 100")
    out = os.path.join(work, "out")
    r = rip("E", cue, out)
    check(r.returncode == 0, "silent pregap: rip complete")
    check(not os.path.exists(os.path.join(out, "track00.wav")), "silent pregap: no track00")
    tracks, _ = parse_cue(os.path.join(out, "tracks.cue"))
    check(tracks[1].get("PREGAP") == "00:00:40", "silent pregap: tracks.cue names it as PREGAP")
    check(breakpoints(os.path.join(out, "disc.cue")) == breakpoints(cue), "silent pregap: disc.cue's breakpoints")


def unreadable_pregap(work):
    # Track 3's pregap (sectors 1240-1279) cannot be read at all.
    cue = make_disc(work, "--lengths", "600,600,600", "--pregap", "40", "--defects", "1236-1283 03/11/00")
    out = os.path.join(work, "out")
    rip("E", cue, out, "--retries", "0", "--passes", "1")
    tracks, _ = parse_cue(os.path.join(out, "disc.cue"))
    check(0 in tracks[2]["indexes"], "defect elsewhere: track 2's pregap still found")
    check(0 not in tracks[3]["indexes"], "unreadable pregap: no INDEX 00 guessed for track 3")
    with open(os.path.join(out, "disc.log")) as f:
        check("Track 03: keine ISRC; Vorlauf unbekannt" in f.read(), "unreadable pregap: the log says it is unknown")


for case in (full_disc, silent_pregap, unreadable_pregap):
    folder = tempfile.mkdtemp(prefix="rilvane-subq-")
    try:
        case(folder)
    finally:
        shutil.rmtree(folder)

print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
