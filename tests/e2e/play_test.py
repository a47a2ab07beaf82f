#!/usr/bin/env python3
"""Plays a scratched disc in the real window and checks what came out of the
sound device, bit for bit.

Two virtual drives: E holds a clean disc, F the scratched one. The test picks
F in the drive list with the mouse, types the start sector into "Aktueller
Sektor:", presses Play, lets the paced capture take the silent start and ten
staging buffers, presses Stop, and closes the program through Ende and the
closing question. The capture must be silence (at least the zeroed sound
buffer once) and then exactly a stretch of the disc read from the start
sector in ten-sector blocks with the scratched blocks left out: nothing
repeated, nothing from another place, and long enough to have passed every
scratch. The log must hold the table of contents, one error line per
scratched block, and "Wiedergabe gestoppt...".
"""

import sys
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from rilvane_e2e import (BLOCK_BYTES, BLOCK_SECTORS, START_TIMEOUT, STAGING_BYTES, Defect, Disc, Failure,  # noqa: E402
                         arguments, expect, first_difference, poll, run, wait_painted)

# In track 1, a little before the scratches, which straddle track 2's start
# at 3000 and lie within the first eight staging buffers. The sector number
# stamped into the first frame makes the first sample non-zero.
START = 2903
SCRATCHES = [
    Defect(3100, 3109, "03/11/05", "Medium Error: l-ec uncorrectable error"),
    Defect(3300, 3325, "03/02/00", "Medium Error: no seek complete"),
]
HEARD_BUFFERS = 10  # staging buffers the capture takes before Stop


def body(desktop, args):
    discs = desktop.work / "discs"
    clean = Disc(desktop.tools, discs, "clean", [5000, 5000], label="CLEAN DISC")
    scratched = Disc(desktop.tools, discs, "scratched", [3000, 4000, 3000], SCRATCHES, label="SCRATCHED")
    capture = desktop.work / "capture.raw"
    desktop.sound_to_capture(args.rate, capture)
    window = desktop.start_program([clean.entry("E"), scratched.entry("F")])
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)

    window.choose_drive(1, 2)
    window.type_into("StartSec", str(START))
    window.click("PlayBtn")
    desktop.wait_for_log("3 Tracks gefunden...")

    # The capture grows while the device plays; the zeroed sound buffer comes first.
    growing = Path(str(capture) + ".part")

    def heard(nbytes):
        return lambda: growing.exists() and growing.stat().st_size >= nbytes
    poll(heard(STAGING_BYTES + HEARD_BUFFERS // 2 * STAGING_BYTES), START_TIMEOUT, "half of the sound to be played")
    desktop.screenshot("playing")
    poll(heard(STAGING_BYTES + HEARD_BUFFERS * STAGING_BYTES), START_TIMEOUT, "the sound to be played")
    window.click("StopBtn")
    desktop.wait_for_log("Wiedergabe gestoppt...")
    desktop.screenshot("stopped")

    status = window.close()
    expect(status == 0, f"rilvane ended with status {status}")
    # The capture is complete once the device is closed, which the program does as it ends.
    poll(capture.exists, START_TIMEOUT, "the capture to be complete")

    sound = capture.read_bytes()
    zeros = len(sound) - len(sound.lstrip(b"\0"))
    played = sound[zeros:]
    # Everything the read loop can get up to the end of the disc; the session
    # was stopped long before that.
    expected, failed = scratched.read_blocks(START, end=scratched.lead_out - BLOCK_SECTORS)
    print(f"capture: {len(sound)} bytes, {zeros} of silence, then {len(played)} bytes "
          f"({len(played) / STAGING_BYTES:.2f} staging buffers) of the disc from sector {START}")
    expect(expected[0] != 0, "the first expected byte must not be silence")
    expect(zeros >= STAGING_BYTES, f"only {zeros} bytes of silence before the music; the zeroed sound buffer "
                                   f"({STAGING_BYTES} bytes) plays once in full first")
    at = first_difference(played, expected)
    if at is not None:
        # Sound that was heard before comes again when the window falls
        # behind the device and the looping buffer plays its old content.
        earlier = expected[:at].find(played[at:at + 4096]) if len(played) >= at + 4096 else -1
        raise Failure(f"the capture departs from the disc at byte {at} after the silence (staging buffer "
                      f"{at // STAGING_BYTES}, good read block {at // BLOCK_BYTES})" +
                      (f"; from there it repeats the sound from byte {earlier}" if earlier >= 0 else ""))
    expect(len(played) >= 8 * STAGING_BYTES, f"only {len(played)} bytes of music were captured")
    last_scratch = failed[-1][0] if failed else 0
    expect(len(failed) == 6 and len(played) > last_scratch + BLOCK_BYTES,
           f"the capture ({len(played)} bytes) does not reach past the last scratched block "
           f"(at {last_scratch}; {len(failed)} scratched blocks)")

    lines = desktop.log_lines()
    wanted = ["TOC eingelesen...", "3 Tracks gefunden..."] + [d.error_line() for _, d in failed] + \
        ["Wiedergabe gestoppt..."]
    expect(lines == wanted, "log lines differ:\n  got:    " + "\n          ".join(lines) +
           "\n  wanted: " + "\n          ".join(wanted))


if __name__ == "__main__":
    sys.exit(run("play", body, arguments(__doc__)))
