#!/usr/bin/env python3
"""rilvane-rip's proof of a rescue, checked from outside with a second, plain
implementation: a virtual disc written here (non-periodic audio, a pregap
before track 1, pre-emphasis and copy flags), ripped to WAV and to FLAC with
read offsets, and every output recomputed from the disc image: the files bit
for bit (FLAC through `flac -d`), AccurateRip v1/v2, CRC32 with and without
silent samples, the disc ids, the CUE sheet through cuetools, the log and its
seal. No network."""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

RIP = sys.argv[1]
FRAMES_PER_SECTOR = 588
SECTOR = 2352

# Track starts (INDEX 01) and lead-out, in sectors; track 1 has 33 sectors of
# pregap; control: 1 pre-emphasis, 2 copy permitted.
STARTS = [33, 1233, 2133]
LEAD_OUT = 3633
CONTROL = [0x1, 0x2, 0x0]

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def make_audio():
    """Non-periodic audio with digital silence: a silent stretch in track 2
    and single zero samples scattered everywhere."""
    out = bytearray(LEAD_OUT * SECTOR)
    x = 0x12345678
    for i in range(0, len(out), 2):
        x = (x * 1103515245 + 12345) & 0xFFFFFFFF
        v = (x >> 16) & 0xFFFF
        if (x >> 8) & 0x1F == 0:
            v = 0
        out[i] = v & 0xFF
        out[i + 1] = v >> 8
    silent_from, silent_to = 1500 * SECTOR + 100, 1510 * SECTOR + 8
    out[silent_from:silent_to] = bytes(silent_to - silent_from)
    # Track 1's pregap is silence, as on most discs (sound there would be a
    # hidden track with a file of its own; subchannel_e2e.py checks that).
    out[:STARTS[0] * SECTOR] = bytes(STARTS[0] * SECTOR)
    return bytes(out)


def msf(sectors):
    return "%02d:%02d:%02d" % (sectors // 4500, sectors // 75 % 60, sectors % 75)


def write_disc(folder, audio, defects="", first=1):
    with open(os.path.join(folder, "disc.bin"), "wb") as f:
        f.write(audio)
    flags = {0x1: "PRE", 0x2: "DCP"}
    lines = ['FILE "disc.bin" BINARY']
    for n, (start, control) in enumerate(zip(STARTS, CONTROL), 1):
        lines.append("  TRACK %02d AUDIO" % (n + first - 1))
        names = [name for bit, name in flags.items() if control & bit]
        if names:
            lines.append("    FLAGS " + " ".join(names))
        if n == 1:
            lines.append("    INDEX 00 00:00:00")
        lines.append("    INDEX 01 " + msf(start))
    with open(os.path.join(folder, "disc.cue"), "w") as f:
        f.write("\n".join(lines) + "\n")
    entry = "E=" + os.path.join(folder, "disc.cue")
    if defects:
        with open(os.path.join(folder, "disc.defects"), "w") as f:
            f.write(defects)
        entry += "," + os.path.join(folder, "disc.defects")
    return entry


def shifted(audio, first, end, offset, missing=()):
    """Frames first*588+offset .. end*588+offset of the disc, silence outside
    it and in the sectors that could not be read."""
    data = bytearray(audio)
    for s in missing:
        data[s * SECTOR:(s + 1) * SECTOR] = bytes(SECTOR)
    a = (first * FRAMES_PER_SECTOR + offset) * 4
    b = (end * FRAMES_PER_SECTOR + offset) * 4
    before = bytes(max(0, -a))
    after = bytes(max(0, b - len(data)))
    return before + bytes(data[max(a, 0):min(b, len(data))]) + after


def accuraterip(track, first_on_disc, last_on_disc):
    words = struct.unpack("<%dI" % (len(track) // 4), track)
    n = len(words)
    lo = 5 * 588 if first_on_disc else 1
    hi = n - 5 * 588 if last_on_disc else n
    v1 = v2 = 0
    for pos in range(lo, hi + 1):
        p = words[pos - 1] * pos
        v1 += p
        v2 += (p & 0xFFFFFFFF) + (p >> 32)
    return v1 & 0xFFFFFFFF, v2 & 0xFFFFFFFF


def crc_without_silence(track):
    samples = struct.unpack("<%dH" % (len(track) // 2), track)
    kept = struct.pack("<%dH" % sum(1 for s in samples if s), *[s for s in samples if s])
    return zlib.crc32(kept)


def disc_ids():
    id1 = sum(STARTS) + LEAD_OUT
    id2 = sum(max(s, 1) * (i + 1) for i, s in enumerate(STARTS)) + LEAD_OUT * (len(STARTS) + 1)
    digits = sum(sum(int(d) for d in str((s + 150) // 75)) for s in STARTS)
    seconds = (LEAD_OUT + 150) // 75 - (STARTS[0] + 150) // 75
    freedb = (digits % 255) << 24 | seconds << 8 | len(STARTS)
    return "%03d-%08x-%08x-%08x" % (len(STARTS), id1 & 0xFFFFFFFF, id2 & 0xFFFFFFFF, freedb), "%08x" % freedb


def wav_data(path):
    with open(path, "rb") as f:
        data = f.read()
    check(data[:4] == b"RIFF" and data[8:12] == b"WAVE", path + " is a WAV file")
    at = 12
    while at + 8 <= len(data):
        size = struct.unpack("<I", data[at + 4:at + 8])[0]
        if data[at:at + 4] == b"data":
            return data[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    return b""


def run(entry, args):
    env = {k: v for k, v in os.environ.items() if not k.startswith("RILVANE_")}
    env["RILVANE_NO_REAL_DRIVES"] = "1"
    env["RILVANE_VIRTUAL_DRIVES"] = entry
    return subprocess.run([RIP] + args, env=env, capture_output=True, text=True, timeout=300)


def log_tracks(text):
    """Per track of the log: its checksums, by label."""
    tracks = {}
    for block in re.split(r"\n(?=Track \d+\n)", text):
        m = re.match(r"Track (\d+)\n", block)
        if not m:
            continue
        sums = dict(re.findall(r"^  (AccurateRip v1|AccurateRip v2|CRC32|CRC32 ohne Stille):\s+([0-9a-f]{8})$",
                               block, re.M))
        tracks[int(m.group(1))] = {k: int(v, 16) for k, v in sums.items()}
    return tracks


def check_rip(audio, out, offset, flac, missing=(), stdout="", first=1):
    # The rescue reads from the first track's INDEX 01 on: its pregap is
    # never read, and what an offset takes from there is silence.
    missing = set(missing) | set(range(STARTS[0]))
    log_path = os.path.join(out, "disc.log")
    check(os.path.exists(log_path), "the log is beside the files")
    log = open(log_path, encoding="utf-8").read()
    sums = log_tracks(log)
    name, freedb = disc_ids()
    check(re.search(r"^  AccurateRip: +" + name + "$", log, re.M), "AccurateRip disc id %s in the log" % name)
    check(name in stdout, "AccurateRip disc id in the summary")
    check(re.search(r"^  Leseversatz: +%s Samples$" % re.escape("%+d" % offset if offset else "0"), log, re.M),
          "read offset in the log")
    for n in range(1, len(STARTS) + 1):
        end = STARTS[n] if n < len(STARTS) else LEAD_OUT
        expected = shifted(audio, STARTS[n - 1], end, offset, missing)
        path = os.path.join(out, "track%02d.%s" % (n, "flac" if flac else "wav"))
        if flac:
            decoded = os.path.join(out, "decoded%02d.wav" % n)
            rc = subprocess.run(["flac", "-d", "-s", "-f", "-o", decoded, path]).returncode
            check(rc == 0, "flac -d decodes " + path)
            got = wav_data(decoded)
            tags = subprocess.run(["metaflac", "--export-tags-to=-", path], capture_output=True, text=True).stdout
            check("TRACKNUMBER=%d" % (n + first - 1) in tags and "DISCID=" + freedb in tags and "ACCURATERIPID=" + name in tags,
                  "track %d: Vorbis comments %r" % (n, tags))
            check(("PRE_EMPHASIS=yes" in tags) == bool(CONTROL[n - 1] & 1), "track %d: pre-emphasis comment" % n)
        else:
            got = wav_data(path)
        check(got == expected, "track %d (offset %d, %s): file bit for bit" % (n, offset, "FLAC" if flac else "WAV"))
        v1, v2 = accuraterip(expected, n == 1, n == len(STARTS))
        want = {"AccurateRip v1": v1, "AccurateRip v2": v2, "CRC32": zlib.crc32(expected),
                "CRC32 ohne Stille": crc_without_silence(expected)}
        got_sums = sums.get(n + first - 1)
        check(got_sums == want, "track %d (offset %d): checksums %r, expected %r" % (n, offset, got_sums, want))
    check("Pre-Emphasis" in stdout, "pre-emphasis named in the summary")
    return log_path


def check_cue(out, suffix):
    cue = os.path.join(out, "tracks.cue")
    toc = subprocess.run(["cueconvert", "-i", "cue", "-o", "toc", cue], capture_output=True, text=True)
    check(toc.returncode == 0, "cuetools read the CUE sheet: " + toc.stderr)
    tracks = toc.stdout.split("TRACK AUDIO")[1:]
    check(len(tracks) == len(STARTS), "the CUE sheet holds %d audio tracks" % len(STARTS))
    # Track boundaries: the pregap before the first file, then the files'
    # lengths one after the other must give the disc's track starts.
    position = None
    for n, text in enumerate(tracks, 1):
        check(("PRE_EMPHASIS" in text) == bool(CONTROL[n - 1] & 1), "CUE track %d: pre-emphasis flag" % n)
        check(("COPY" in text) == bool(CONTROL[n - 1] & 2), "CUE track %d: copy flag" % n)
        m = re.search(r'FILE "([^"]+)"', text)
        check(m and m.group(1) == "track%02d.%s" % (n, suffix), "CUE track %d names its file" % n)
        if n == 1:
            z = re.search(r"ZERO (\d+):(\d+):(\d+)", text)
            position = (int(z.group(1)) * 60 + int(z.group(2))) * 75 + int(z.group(3)) if z else 0
        check(position == STARTS[n - 1], "CUE track %d starts at sector %d, not %s" % (n, STARTS[n - 1], position))
        wav = os.path.join(out, "track%02d.wav" % n) if suffix == "wav" else os.path.join(out, "decoded%02d.wav" % n)
        position += (os.path.getsize(wav) - 44) // SECTOR
    check(position == LEAD_OUT, "the CUE sheet's files end at the lead-out")


def check_disc_cue(out):
    """The working copy's sheet through cuetools and shntool: the breakpoints
    are the disc's track starts, and splitting the copy gives the track
    files byte for byte (the first track's pregap comes out on its own)."""
    cue = os.path.join(out, "disc.cue")
    points = subprocess.run(["cuebreakpoints", cue], capture_output=True, text=True)
    check(points.returncode == 0, "cuebreakpoints reads disc.cue: " + points.stderr)
    sectors = []
    for line in points.stdout.split():
        m, rest = line.split(":")
        s, f = rest.split(".")
        sectors.append((int(m) * 60 + int(s)) * 75 + int(f))
    check(sectors == STARTS[1:], "cuebreakpoints gives the track starts %s, not %s" % (STARTS[1:], sectors))
    image = open(os.path.join(out, "disc.bin"), "rb").read()
    wav = os.path.join(out, "whole.wav")
    with open(wav, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 36 + len(image)) + b"WAVEfmt " +
                struct.pack("<IHHIIHH", 16, 1, 2, 44100, 176400, 4, 16) + b"data" + struct.pack("<I", len(image)))
        f.write(image)
    split = os.path.join(out, "split")
    os.mkdir(split)
    r = subprocess.run(["shnsplit", "-q", "-f", cue, "-o", "wav", "-d", split, wav], capture_output=True, text=True)
    check(r.returncode == 0, "shnsplit splits the working copy: " + r.stderr)
    check(len(wav_data(os.path.join(split, "split-track00.wav"))) == STARTS[0] * SECTOR,
          "shnsplit puts the first track's pregap apart")
    for n in range(1, len(STARTS) + 1):
        check(wav_data(os.path.join(split, "split-track%02d.wav" % n)) == wav_data(os.path.join(out, "track%02d.wav" % n)),
              "shnsplit's track %d is the track file" % n)


def main():
    folder = tempfile.mkdtemp(prefix="rilvane-proof-")
    try:
        audio = make_audio()
        entry = write_disc(folder, audio)

        # WAV without an offset: files, sums, ids, CUE sheet, log and seal.
        out = os.path.join(folder, "wav")
        r = run(entry, ["--out", out])
        check(r.returncode == 0, "rip to WAV exits 0: %d %s" % (r.returncode, r.stderr[-2000:]))
        log = check_rip(audio, out, 0, False, stdout=r.stdout)
        check_cue(out, "wav")
        check_disc_cue(out)
        text = open(log, encoding="utf-8").read()
        check("Ergebnis: Die CD ist vollständig gerettet" in text, "the log says the disc came out whole")
        check(subprocess.run([RIP, "--check-log", log], capture_output=True).returncode == 0, "the log's seal holds")
        with open(log, "w", encoding="utf-8") as f:
            f.write(text.replace("Die CD ist vollständig", "Die CD ist  vollständig"))
        check(subprocess.run([RIP, "--check-log", log], capture_output=True).returncode == 1,
              "an edited log is told from a true one")

        # FLAC with positive and WAV with negative read offsets: the missing
        # samples at the disc's edges are silence.
        for offset, flac in ((667, True), (-1200, False)):
            out = os.path.join(folder, "off%d" % offset)
            args = ["--out", out, "--offset", "%+d" % offset] + (["--flac"] if flac else [])
            r = run(entry, args)
            check(r.returncode == 0, "rip with offset %d exits 0: %s" % (offset, r.stderr[-2000:]))
            check_rip(audio, out, offset, flac, stdout=r.stdout)
            if flac:
                check_cue(out, "flac")

        # The AccurateRip database's file of the disc: track 1 listed with
        # its v1 sum, track 2 with its v2 sum in a second submission, track 3
        # with a wrong one. A file of another disc is refused before reading.
        name, freedb = disc_ids()
        ids = struct.pack("<BIII", len(STARTS), *[int(x, 16) for x in name.split("-")[1:]])
        sums = []
        for n in range(1, len(STARTS) + 1):
            end = STARTS[n] if n < len(STARTS) else LEAD_OUT
            sums.append(accuraterip(shifted(audio, STARTS[n - 1], end, 0, range(STARTS[0])), n == 1, n == 3))
        first = ids + struct.pack("<BII", 4, sums[0][0], 0) + struct.pack("<BII", 2, 0x1234, 0) + \
            struct.pack("<BII", 9, sums[2][0] ^ 1, 0)
        second = ids + struct.pack("<BII", 0, 0, 0) + struct.pack("<BII", 5, sums[1][1], 0) + struct.pack("<BII", 0, 0, 0)
        dbar = os.path.join(folder, "dBAR-" + name + ".bin")
        with open(dbar, "wb") as f:
            f.write(first + second)
        out = os.path.join(folder, "ar")
        r = run(entry, ["--out", out, "--accuraterip-file", dbar])
        check(r.returncode == 0, "rip compared with AccurateRip exits 0: " + r.stderr[-2000:])
        log = open(os.path.join(out, "disc.log"), encoding="utf-8").read()
        for n, verdict in ((1, "stimmt überein (v1, 4 gleiche Rips)"), (2, "stimmt überein (v2, 5 gleiche Rips)"),
                           (3, "stimmt NICHT überein")):
            check(re.search(r"^Track %d\n(  .*\n)*  AccurateRip-Vergleich: +%s$" % (n, re.escape(verdict)), log, re.M),
                  "track %d: AccurateRip comparison '%s' in the log" % (n, verdict))
            check(verdict in r.stdout, "track %d: AccurateRip comparison in the summary" % n)
        with open(dbar, "r+b") as f:
            f.seek(1)
            f.write(b"\0")
        r = run(entry, ["--out", os.path.join(folder, "ar2"), "--accuraterip-file", dbar])
        check(r.returncode == 2 and "gehört nicht zu dieser CD" in r.stderr, "another disc's AccurateRip file is refused")
        check(not os.path.exists(os.path.join(folder, "ar2", "disc.bin")), "a refused run reads nothing")

        # The same through the ASPI layer, with a small positive offset.
        out = os.path.join(folder, "aspi")
        r = run(entry.replace("E=", "aspi:0:0=", 1), ["--out", out, "--offset", "+6"])
        check(r.returncode == 0, "rip through ASPI exits 0: " + r.stderr[-2000:])
        check_rip(audio, out, 6, False, stdout=r.stdout)
        check(re.search(r"^  Übertragung: +ASPI$", open(os.path.join(out, "disc.log"), encoding="utf-8").read(), re.M),
              "the log names the transport")

        # A disc whose tracks are numbered from 4: files by place, the log,
        # the comments and the CUE sheet by the disc's own numbers.
        numbered = os.path.join(folder, "numbered")
        os.mkdir(numbered)
        entry4 = write_disc(numbered, audio, first=4)
        out = os.path.join(numbered, "out")
        r = run(entry4, ["--out", out, "--flac"])
        check(r.returncode == 0, "rip of a disc numbered from 4 exits 0: " + r.stderr[-2000:])
        check_rip(audio, out, 0, True, stdout=r.stdout, first=4)
        cue = open(os.path.join(out, "tracks.cue")).read()
        check(re.findall(r"TRACK (\d+) AUDIO", cue) == ["04", "05", "06"], "tracks.cue numbers the tracks 4 to 6")

        # A damaged disc: the unreadable sectors are silence in the file and
        # in the checksums, and the log says plainly the disc is not whole.
        damaged = os.path.join(folder, "damaged")
        os.mkdir(damaged)
        entry = write_disc(damaged, audio, "1300-1302 03/11/00\n")
        out = os.path.join(damaged, "out")
        r = run(entry, ["--out", out])
        check(r.returncode == 1, "a rip with unreadable sectors exits 1")
        log = check_rip(audio, out, 0, False, missing=range(1300, 1303), stdout=r.stdout)
        text = open(log, encoding="utf-8").read()
        check("Ergebnis: Die CD ist NICHT vollständig gerettet: 3 Sektoren fehlen" in text,
              "the log says the disc is not whole")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    if failures:
        print("%d failures" % len(failures))
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
