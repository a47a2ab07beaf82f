#!/usr/bin/env python3
"""Saving where the file system works against it, through the real window and
its file dialog, and a start-up with more virtual drives than can be listed.

One disc of two tracks (1500 and 3000 sectors); the read block at sector 2500
fails only after 3 seconds.

1. Track 5 saved over an existing file (overwrite confirmed): the log reads
   "TOC eingelesen...", "Ungültige Track-Nummer...", and the old file is
   still there, byte for byte; nothing else appears in its folder.
2. Track 1 saved to a name that is a symbolic link to another file: the link
   is replaced by the WAV file, the file it pointed to keeps its content.
3. Track 2 saved into a folder that is removed while the rip waits for the
   slow block: the log ends with the failed block's line, the write-failure
   line and "Ripping beendet..." (not a quiet success).

Then rilvane with 4080 virtual ASPI drives (every place on every adapter):
one line says which were left out, the window is drawn and closes through
"Ende", and the program holds a few dozen files open, not thousands.
"""

import os
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from rilvane_e2e import (BLOCK_BYTES, START_TIMEOUT, Defect, Disc, arguments, expect, run,  # noqa: E402
                         wait_painted, wav_header)

WRITE_FAILED = "Fehler beim Schreiben der WAV-Datei (Datenträger voll oder entfernt?)! Ripping abgebrochen..."
LENGTHS = [1500, 3000]


class SlowDefect(Defect):
    """A failing stretch whose reads answer only after DELAY_MS."""

    def __init__(self, first, last, sense, text, delay_ms):
        super().__init__(first, last, sense, text)
        self.delay_ms = delay_ms

    def map_line(self):
        return f"{super().map_line()} {self.delay_ms}"


SLOW = SlowDefect(2500, 2509, "03/11/05", "Medium Error: l-ec uncorrectable error", 3000)


def save(desktop, window, track, target, overwrite):
    """Track TRACK into TARGET through the dialog; OVERWRITE: answer the
    question whether to replace the file with yes."""
    window.type_into("STrackEd", str(track))
    window.click("SaveTrack")
    dialog = desktop.wait_for_new_window({window.wid}, "the file dialog", lambda g: g[2] > 300 and g[3] > 200)
    wait_painted(desktop, desktop.geometry(dialog))
    desktop.focus(dialog)
    desktop.type(str(target))
    desktop.key("Return")
    if overwrite:
        question = desktop.wait_for_new_window({window.wid, dialog}, "the question whether to replace the file")
        wait_painted(desktop, desktop.geometry(question))
        desktop.screenshot(f"replace-{target.name}")
        # "No" is the default; the button before it is "Yes".
        desktop.key("shift+Tab")
        desktop.key("space")
        desktop.wait_for_window_gone(question)
    desktop.wait_for_window_gone(dialog)


def open_files(pid):
    return len(os.listdir(f"/proc/{pid}/fd"))


def body(desktop, args):
    disc = Disc(desktop.tools, desktop.work / "discs", "slow", LENGTHS, [SLOW], label="SLOW")
    desktop.sound_to_null()
    window = desktop.start_program([disc.entry("E")])
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)
    folder = desktop.work / "wav"
    folder.mkdir()

    # 1. A refused track number leaves the old file whole.
    good = folder / "good.wav"
    old = wav_header(4 * BLOCK_BYTES) + bytes(range(256)) * (4 * BLOCK_BYTES // 256) + b"\x01" * 96
    good.write_bytes(old)
    save(desktop, window, 5, good, overwrite=True)
    desktop.wait_for_log("Ungültige Track-Nummer...")
    expect(good.read_bytes() == old, f"{good.name} was changed by a save that was refused "
                                     f"({good.stat().st_size} bytes now)")
    expect(sorted(p.name for p in folder.iterdir()) == ["good.wav"],
           f"the folder holds {sorted(p.name for p in folder.iterdir())}")
    print(f"track 5 of 2 over {good.name}: the file is unchanged")

    # 2. A symbolic link at the name is replaced, its target left alone.
    decoy = folder / "decoy.txt"
    decoy.write_text("decoy")
    link = folder / "t.wav"
    link.symlink_to(decoy.name)
    save(desktop, window, 1, link, overwrite=True)
    desktop.wait_for_log("Ripping beendet...")
    expect(decoy.read_text() == "decoy", f"the link's target was written: {decoy.stat().st_size} bytes")
    expect(not link.is_symlink(), "t.wav is still a link")
    audio, failed = disc.read_blocks(0, end=LENGTHS[0])
    data = link.read_bytes()
    expect(not failed and data == wav_header(len(audio)) + audio,
           f"t.wav has {len(data)} bytes, not the 44 + {len(audio)} of track 1")
    print(f"track 1 over a link to {decoy.name}: the link became the WAV file, the target kept its content")

    # 3. The folder removed while the rip waits for the slow block.
    gone = desktop.work / "gone"
    gone.mkdir()
    save(desktop, window, 2, gone / "track-2.wav", overwrite=False)
    desktop.wait_for_log("Starte Ripping...", count=2)
    time.sleep(0.5)
    for entry in gone.iterdir():
        entry.unlink()
    gone.rmdir()
    desktop.wait_for_log("Ripping beendet...", count=2, timeout=START_TIMEOUT)
    desktop.screenshot("folder-removed")

    lines = desktop.log_lines()
    wanted = ["TOC eingelesen...", "Ungültige Track-Nummer...",
              "TOC eingelesen...", "2 Tracks gefunden...", "Starte Ripping...", "Ripping beendet...",
              "TOC eingelesen...", "2 Tracks gefunden...", "Starte Ripping...", SLOW.error_line(), WRITE_FAILED,
              "Ripping beendet..."]
    expect(lines == wanted, "log lines differ:\n  got:    " + "\n          ".join(lines) +
           "\n  wanted: " + "\n          ".join(wanted))
    status = window.close()
    expect(status == 0, f"rilvane ended with status {status}")

    # More virtual drives than a program can list.
    # Relative to the program's folder (the work folder), so that the
    # setting stays within what one environment string may hold.
    cue = disc.cue.relative_to(desktop.work)
    drives = [f"aspi:{adapter}:{target}={cue}" for adapter in range(255) for target in range(16)]
    window = desktop.start_program(drives)
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)
    desktop.screenshot("many-drives")
    files = open_files(desktop.program.pid)
    print(f"{len(drives)} virtual drives: {files} files open")
    expect(files < 200, f"rilvane holds {files} files open")
    skipped = [line for line in desktop.program_output().splitlines() if "RILVANE_VIRTUAL_DRIVES" in line]
    expect(skipped == ["rilvane: RILVANE_VIRTUAL_DRIVES: 4048 ASPI entries from aspi:2:0 on skipped: at most 32 "
                       "drives can be listed"], f"lines about the drives: {skipped}")
    status = window.close()
    expect(status == 0, f"rilvane ended with status {status}")


if __name__ == "__main__":
    sys.exit(run("save-faults", body, arguments(__doc__)))
