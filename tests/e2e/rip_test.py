#!/usr/bin/env python3
"""Saves track 2 of a scratched disc through the real window and its file
dialog, and checks the WAV file byte for byte.

Two virtual drives, the clean disc first; the test picks the scratched one in
the drive list with the keyboard, types 2 into "Track zum Speichern:", presses
"Track in WAV Datei speichern", types an absolute path into the file dialog's
name field and presses Return. The file must be the 44-byte header (RIFF size
= length - 8, data size = audio bytes) and then the read blocks of track 2,
from its start up to the start of track 3, with the scratched blocks left
out; the track is 3995 sectors long, so its last block runs 5 sectors into
track 3. The log must read "TOC eingelesen...", "3 Tracks gefunden...",
"Starte Ripping...", one line per scratched block, "Ripping beendet...".

--transport letter: the drives have letters (pass-through, the error lines
carry the sense); --transport aspi: they sit on an ASPI host adapter (the
error lines carry the request status).
"""

import shutil
import subprocess
import sys
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from rilvane_e2e import (BLOCK_BYTES, BLOCK_SECTORS, START_TIMEOUT, STEP_TIMEOUT, Defect, Disc,  # noqa: E402
                         arguments, expect, first_difference, run, wait_painted, wav_header)

LENGTHS = [3000, 3995, 3000]
SCRATCHES = [
    Defect(3100, 3109, "03/11/05", "Medium Error: l-ec uncorrectable error"),
    Defect(5000, 5034, "03/02/00", "Medium Error: no seek complete"),  # four blocks in a row
]
TRACK = 2
ASPI_ERROR = "Fehler 4 beim Ausführen des SCSI Kommandos..."  # status 4: completed with an error


def body(desktop, args):
    discs = desktop.work / "discs"
    clean = Disc(desktop.tools, discs, "clean", [4000, 4000], label="CLEAN DISC")
    scratched = Disc(desktop.tools, discs, "scratched", LENGTHS, SCRATCHES, label="SCRATCHED")
    desktop.sound_to_null()
    if args.transport == "letter":
        drives = [clean.entry("E"), scratched.entry("F")]
    else:
        drives = [clean.entry("aspi:0:0"), scratched.entry("aspi:0:1")]
    window = desktop.start_program(drives)
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)

    window.choose_drive(1, 2, with_keyboard=True)
    window.type_into("STrackEd", str(TRACK))
    window.click("SaveTrack")
    # The file dialog: a window of its own, larger than any list or tip.
    dialog = desktop.wait_for_new_window({window.wid}, "the file dialog", lambda g: g[2] > 300 and g[3] > 200)
    print(f"file dialog: {desktop.window_name(dialog)!r}")
    wait_painted(desktop, desktop.geometry(dialog))
    desktop.screenshot("save-dialog")

    # A fresh folder, so that the name field's completion offers nothing.
    folder = desktop.work / "wav"
    folder.mkdir()
    target = folder / f"track-{TRACK}.wav"
    desktop.focus(dialog)
    desktop.type(str(target))
    desktop.key("Return")
    desktop.wait_for_window_gone(dialog)
    desktop.wait_for_log("Ripping beendet...", timeout=START_TIMEOUT)
    desktop.screenshot("ripped")

    status = window.close()
    expect(status == 0, f"rilvane ended with status {status}")

    start, end = scratched.track_starts[TRACK - 1], scratched.track_starts[TRACK]
    audio, failed = scratched.read_blocks(start, end=end)
    blocks = -(-(end - start) // BLOCK_SECTORS)
    expect(len(audio) == (blocks - len(failed)) * BLOCK_BYTES and len(failed) == 5, "the expected rip is miscounted")
    data = target.read_bytes()
    print(f"{target.name}: {len(data)} bytes; track {TRACK}: sectors {start} to {end}, {blocks} read blocks, "
          f"{len(failed)} scratched")
    expect(len(data) == 44 + len(audio), f"the file has {len(data)} bytes, not 44 + {len(audio)}")
    header = wav_header(len(audio))
    expect(data[:44] == header, f"the header is {data[:44].hex()}, not {header.hex()}")
    at = first_difference(data[44:], audio)
    expect(at is None, f"the audio departs from the disc at byte {at} "
                       f"(good read block {(at or 0) // BLOCK_BYTES})")

    if shutil.which("sox"):
        info = subprocess.run(["sox", "--i", str(target)], capture_output=True, text=True, timeout=STEP_TIMEOUT)
        expect(info.returncode == 0, f"sox does not take the file: {info.stderr.strip()}")
        pairs = (line.split(":", 1) for line in info.stdout.splitlines() if ":" in line)
        fields = {key.strip(): value.strip() for key, value in pairs}
        expect(fields.get("Channels") == "2" and fields.get("Sample Rate") == "44100" and
               fields.get("Precision") == "16-bit" and f"= {len(audio) // 4} samples" in fields.get("Duration", ""),
               f"sox reads the file differently:\n{info.stdout}")
    else:
        print("sox is missing: the file is not shown to it")

    # Over ASPI the layer's status line comes first, then the drive's reason.
    errors = []
    for _, d in failed:
        errors += [d.error_line()] if args.transport == "letter" else [ASPI_ERROR, d.error_line()]
    lines = desktop.log_lines()
    wanted = ["TOC eingelesen...", "3 Tracks gefunden...", "Starte Ripping..."] + errors + ["Ripping beendet..."]
    expect(lines == wanted, "log lines differ:\n  got:    " + "\n          ".join(lines) +
           "\n  wanted: " + "\n          ".join(wanted))


if __name__ == "__main__":
    parser = arguments(__doc__)
    parser.add_argument("--transport", choices=["letter", "aspi"], default="letter")
    sys.exit(run("rip", body, parser))
