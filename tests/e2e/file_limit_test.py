#!/usr/bin/env python3
"""A file-size limit (ulimit -f, set by the shell that starts the program)
while saving: the write that crosses it fails like a full disk, it does not
end the program.

rilvane saves track 1 of a clean disc through the window under a limit of
8 MiB, less than the track: the log reads "Starte Ripping...", the
write-failure line, "Ripping beendet..."; the file holds the header and the
whole blocks that fit exactly, and its header says so; the program keeps
running and ends normally through "Ende".

rilvane-make-disc under a limit smaller than its disc, once with one BIN and
once with a BIN per track where only the first crosses it: a message naming the file, exit status 1, no
signal.
"""

import subprocess
import sys
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from rilvane_e2e import (BLOCK_BYTES, START_TIMEOUT, STEP_TIMEOUT, Disc, arguments, expect,  # noqa: E402
                         first_difference, run, wait_painted, wav_header)

WRITE_FAILED = "Fehler beim Schreiben der WAV-Datei (Datenträger voll oder entfernt?)! Ripping abgebrochen..."
# Large enough for the program's own needs (the display connection's shared
# memory is a file too), smaller than track 1.
LIMIT_KIB = 8192
WHOLE_BLOCKS = (LIMIT_KIB * 1024 - 44) // BLOCK_BYTES
LENGTHS = [5000, 1000]


def make_disc_under_limit(desktop, split):
    out = desktop.work / ("limited-split" if split else "limited")
    # Split: only the first of the two BINs crosses the limit.
    args = [desktop.tools.make_disc, "--out", str(out), "--lengths", "3000,100"] + (["--split-files"] if split else [])
    done = subprocess.run(["bash", "-c", 'ulimit -f 1000 && exec "$@"', "bash", *args], capture_output=True,
                          text=True, timeout=STEP_TIMEOUT)
    print(f"rilvane-make-disc{' --split-files' if split else ''} under 1000 KiB: status {done.returncode}, "
          f"{done.stderr.strip()!r}")
    expect(done.returncode == 1, f"rilvane-make-disc ended with {done.returncode} (a negative status is a signal), "
                                 "not 1")
    expect(done.stderr.startswith("rilvane-make-disc: ") and str(out) in done.stderr and "error" in done.stderr,
           f"rilvane-make-disc's message does not name the file: {done.stderr!r}")


def body(desktop, args):
    make_disc_under_limit(desktop, split=False)
    make_disc_under_limit(desktop, split=True)

    disc = Disc(desktop.tools, desktop.work / "discs", "clean", LENGTHS, label="CLEAN")
    desktop.sound_to_null()
    window = desktop.start_program([disc.entry("E")], file_limit_kib=LIMIT_KIB)
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)

    window.type_into("STrackEd", "1")
    window.click("SaveTrack")
    dialog = desktop.wait_for_new_window({window.wid}, "the file dialog", lambda g: g[2] > 300 and g[3] > 200)
    wait_painted(desktop, desktop.geometry(dialog))
    folder = desktop.work / "wav"
    folder.mkdir()
    target = folder / "track-1.wav"
    desktop.focus(dialog)
    desktop.type(str(target))
    desktop.key("Return")
    desktop.wait_for_window_gone(dialog)
    desktop.wait_for_log("Ripping beendet...", timeout=START_TIMEOUT)
    desktop.screenshot("ripped")
    expect(desktop.alive(), "rilvane ended after the failed write")

    lines = desktop.log_lines()
    wanted = ["TOC eingelesen...", "2 Tracks gefunden...", "Starte Ripping...", WRITE_FAILED, "Ripping beendet..."]
    expect(lines == wanted, "log lines differ:\n  got:    " + "\n          ".join(lines) +
           "\n  wanted: " + "\n          ".join(wanted))
    data = target.read_bytes()
    audio, _ = disc.read_blocks(0, min_bytes=WHOLE_BLOCKS * BLOCK_BYTES)
    print(f"{target.name}: {len(data)} bytes under a limit of {LIMIT_KIB * 1024}")
    expect(len(data) == 44 + len(audio), f"the file has {len(data)} bytes, not 44 + {WHOLE_BLOCKS} whole blocks")
    expect(data[:44] == wav_header(len(audio)), f"the header is {data[:44].hex()}, not that of {len(audio)} bytes")
    at = first_difference(data[44:], audio)
    expect(at is None, f"the audio departs from the disc at byte {at}")

    status = window.close()
    expect(status == 0, f"rilvane ended with status {status}")


if __name__ == "__main__":
    sys.exit(run("file-limit", body, arguments(__doc__)))
