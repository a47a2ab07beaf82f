#!/usr/bin/env python3
"""The sound at the end of the disc, and a sound device that stops taking
sound, through the real window with the paced capture as the device.

1. The end of the disc is heard: Play from 105 sectors before the lead-out
   (ten whole blocks and one of 5 sectors, the last staging buffer only
   partly filled). After the reads past the end have failed and the log says
   "Wiedergabe gestoppt...", the capture holds every sector up to the
   lead-out, then only silence.

2. A stalled device: while the window plays, the capture's reader is stopped
   (SIGSTOP), so the device takes no more sound. Stop still ends the session
   within about a second. Play again on the stalled device: after some
   seconds the session says "Das Sound-Gerät ist nicht mehr verfügbar..." and
   ends. Play a third time and press Ende while the device still stands: the
   closing question comes up, and once it is answered the program ends.
"""

import os
import signal
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from rilvane_e2e import (SECTOR_BYTES, START_TIMEOUT, STAGING_BYTES, Disc, arguments, expect,  # noqa: E402
                         first_difference, poll, run, wait_painted)

LENGTHS = [1500, 1237]  # the lead-out at 2737, inside a read block
BEFORE_END = 105
LOST = "Das Sound-Gerät ist nicht mehr verfügbar..."
STOPPED = "Wiedergabe gestoppt..."


def capture_pids(capture):
    """The paced capture writing CAPTURE (started for the program by ALSA)."""
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            args = Path(f"/proc/{entry}/cmdline").read_bytes().split(b"\0")
        except OSError:
            continue
        if args and args[0].endswith(b"rilvane-paced-capture") and str(capture).encode() in args:
            pids.append(int(entry))
    return pids


def end_of_disc(desktop, args):
    disc = Disc(desktop.tools, desktop.work / "discs", "end", LENGTHS, label="END")
    capture = desktop.work / "end.raw"
    desktop.sound_to_capture(args.rate, capture)
    window = desktop.start_program([disc.entry("E")])
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)
    start = disc.lead_out - BEFORE_END
    window.type_into("StartSec", str(start))
    window.click("PlayBtn")
    desktop.wait_for_log(STOPPED, timeout=START_TIMEOUT)
    status = window.close()
    expect(status == 0, f"rilvane ended with status {status}")
    poll(capture.exists, START_TIMEOUT, "the capture to be complete")

    sound = capture.read_bytes()
    zeros = len(sound) - len(sound.lstrip(b"\0"))
    played = sound[zeros:].rstrip(b"\0")
    expected = disc.sectors(start, BEFORE_END)
    print(f"capture: {len(sound)} bytes, {zeros} of silence, then {len(played)} bytes of sound; "
          f"the disc from sector {start} to its end is {len(expected)} bytes")
    at = first_difference(played, expected)
    expect(at is None, f"the capture departs from the disc at byte {at}")
    # The last sector's last samples may be zero themselves: compare up to them.
    expect(len(played) == len(expected.rstrip(b"\0")),
           f"the capture holds {len(played)} bytes of the disc's end, not {len(expected)} "
           f"({(len(expected) - len(played)) / SECTOR_BYTES:.1f} sectors missing)")
    expect(len(sound) - zeros - len(played) >= STAGING_BYTES // 2, "no silence after the end of the disc")


def stalled_device(desktop, args):
    disc = Disc(desktop.tools, desktop.work / "discs", "long", [20000], label="LONG")
    capture = desktop.work / "stall.raw"
    desktop.sound_to_capture(args.rate, capture)
    window = desktop.start_program([disc.entry("E")])
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)
    growing = Path(str(capture) + ".part")

    window.click("PlayBtn")
    poll(lambda: growing.exists() and growing.stat().st_size >= 2 * STAGING_BYTES, START_TIMEOUT,
         "the sound to be played")
    pids = capture_pids(capture)
    expect(len(pids) == 1, f"paced capture processes: {pids}")
    os.kill(pids[0], signal.SIGSTOP)
    try:
        # Long enough for the pipe and the device to fill up.
        time.sleep(1.5)
        window.click("StopBtn")
        clicked = time.monotonic()
        desktop.wait_for_log(STOPPED, timeout=30, interval=0.02)
        took = time.monotonic() - clicked
        print(f"Stop on the stalled device: the session ended after {took:.2f} s")
        expect(took < 2.5, f"Stop took {took:.2f} s on a stalled device")

        window.click("PlayBtn")
        clicked = time.monotonic()
        desktop.wait_for_log(LOST, timeout=30, interval=0.05)
        desktop.wait_for_log(STOPPED, count=2, timeout=10)
        print(f"Play on the stalled device: lost after {time.monotonic() - clicked:.2f} s")
        desktop.screenshot("device-lost")

        window.click("PlayBtn")
        time.sleep(1)
        window.click("endebtn")
        clicked = time.monotonic()
        question = desktop.wait_for_window("^Programm beenden$", timeout=10)
        print(f"Ende on the stalled device: the closing question after {time.monotonic() - clicked:.2f} s")
        wait_painted(desktop, desktop.geometry(question))
        desktop.screenshot("closing-question")
        desktop.focus(question)
        desktop.key("Return")
        answered = time.monotonic()
        status = desktop.wait_for_exit(30)
        print(f"the program ended {time.monotonic() - answered:.2f} s after the answer, status {status}")
        expect(status == 0, f"rilvane ended with status {status}")
    finally:
        for pid in capture_pids(capture):
            os.kill(pid, signal.SIGCONT)
    lines = desktop.log_lines()
    wanted = ["TOC eingelesen...", "1 Tracks gefunden...", STOPPED] * 2
    wanted[-1:-1] = [LOST]
    wanted += ["TOC eingelesen...", "1 Tracks gefunden...", STOPPED]
    expect(lines == wanted, "log lines differ:\n  got:    " + "\n          ".join(lines) +
           "\n  wanted: " + "\n          ".join(wanted))


def body(desktop, args):
    end_of_disc(desktop, args)
    stalled_device(desktop, args)


if __name__ == "__main__":
    sys.exit(run("sound-faults", body, arguments(__doc__)))
