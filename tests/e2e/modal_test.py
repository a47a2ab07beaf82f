#!/usr/bin/env python3
"""A dialog opened during playback, in the real window: what the sound device
gets while the dialog holds the window's thread.

A clean stamped disc plays from sector START into the paced capture. Once the
sound runs, the test opens the Info box, keeps it open for HOLD seconds (many
times as long as the looping sound buffer), closes it, lets more sound be
played and presses Stop. While nothing new is handed over the device must get
silence, never the sound it already played: the capture, cut into the sound
buffer's halves, must hold only silent halves and halves of the disc read
from START on, each following the one before it on the disc, with nothing
repeated and nothing left out.
"""

import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from rilvane_e2e import (START_TIMEOUT, STAGING_BYTES, Disc, Failure, arguments, expect, poll,  # noqa: E402
                         run, wait_painted)

START = 500
HALF_BYTES = STAGING_BYTES // 2
HOLD = 3.0  # seconds the Info box stays open


def halves_in_order(sound, expected):
    """(halves of disc sound, silent halves) of the capture; raises Failure
    where a half is neither silence nor the disc's next half."""
    heard, silent = 0, 0
    for index in range(len(sound) // HALF_BYTES):
        half = sound[index * HALF_BYTES:(index + 1) * HALF_BYTES]
        if half.count(0) == len(half):
            silent += 1
            continue
        wanted = expected[heard * HALF_BYTES:(heard + 1) * HALF_BYTES]
        if half != wanted:
            at = expected.find(half)
            where = (f"the disc's half {at // HALF_BYTES} from the start sector" if at >= 0 and at % HALF_BYTES == 0
                     else "nothing of the disc in step")
            raise Failure(f"half {index} of the capture ({heard} halves of music and {silent} of silence before "
                          f"it) is not the disc's next half {heard} but {where}")
        heard += 1
    return heard, silent


def body(desktop, args):
    disc = Disc(desktop.tools, desktop.work / "discs", "clean", [9000], label="CLEAN DISC")
    capture = desktop.work / "capture.raw"
    desktop.sound_to_capture(args.rate, capture)
    window = desktop.start_program([disc.entry("E")])
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)

    window.type_into("StartSec", str(START))
    window.click("PlayBtn")
    desktop.wait_for_log("1 Tracks gefunden...")
    growing = Path(str(capture) + ".part")

    def heard(nbytes):
        return lambda: growing.exists() and growing.stat().st_size >= nbytes
    poll(heard(4 * STAGING_BYTES), START_TIMEOUT, "the sound to be played")

    window.click("ueberbtn")
    box = desktop.wait_for_window("^Info$")
    before = growing.stat().st_size
    time.sleep(HOLD)
    desktop.screenshot("info-box-open")
    during = growing.stat().st_size - before
    expect(during >= 4 * STAGING_BYTES, f"the device took only {during} bytes while the Info box was open")
    ix, iy, _, _ = desktop.geometry(box)
    desktop.click(ix + 241 + 90, iy + 404 + 18)  # its OK button
    desktop.wait_for_window_gone(box)
    after = growing.stat().st_size
    poll(heard(after + 6 * STAGING_BYTES), START_TIMEOUT, "the sound to go on after the Info box")
    window.click("StopBtn")
    desktop.wait_for_log("Wiedergabe gestoppt...")

    status = window.close()
    expect(status == 0, f"rilvane ended with status {status}")
    poll(capture.exists, START_TIMEOUT, "the capture to be complete")

    sound = capture.read_bytes()
    expected = disc.sectors(START, disc.lead_out - START)
    music, silence = halves_in_order(sound, expected)
    print(f"capture: {len(sound)} bytes, {music} halves of the disc in order and {silence} silent halves")
    # The Info box held the thread for many halves: they were silence.
    expect(silence >= 2 + during // HALF_BYTES // 2,
           f"only {silence} silent halves, though the Info box was open for {during // HALF_BYTES} halves")
    expect(music >= 12, f"only {music} halves of music were heard")
    expect(desktop.log_lines() == ["TOC eingelesen...", "1 Tracks gefunden...", "Wiedergabe gestoppt..."],
           f"log lines: {desktop.log_lines()}")


if __name__ == "__main__":
    sys.exit(run("modal", body, arguments(__doc__)))
