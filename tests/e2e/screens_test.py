#!/usr/bin/env python3
"""The window as the user sees it, in a real X server: the main window, the
Play button and the Ueber picture button held down, the information dialog
and the closing question, each kept as a screenshot.

Held buttons are released outside themselves, which must not click them:
after both releases the drive list still opens (no modal information dialog
came up) and the log stays empty (no playback started). The Ueber button must
show its pressed picture (yellow word on a dark plate) while held and its
normal one (light plate) again once the mouse has left it.
"""

import sys
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from rilvane_e2e import (Defect, Disc, START_TIMEOUT, STEP_TIMEOUT, arguments, expect, poll, run,  # noqa: E402
                         wait_painted)


def share(pixels, test):
    return sum(1 for p in pixels if test(p)) / len(pixels)


def yellow(p):
    return p[0] > 180 and p[1] > 150 and p[2] < 110


def looks_pressed(pixels):
    """The Ueber button's pressed picture: a dark plate with a yellow word."""
    return share(pixels, lambda p: sum(p) < 240) > 0.4 and share(pixels, yellow) > 0.03


def looks_normal(pixels):
    """Its normal picture: a light plate with a dark blue word, no yellow."""
    return share(pixels, lambda p: sum(p) > 600) > 0.5 and share(pixels, yellow) < 0.01


def body(desktop, args):
    disc = Disc(desktop.tools, desktop.work / "discs", "scratched", [3000, 3000],
                [Defect(3100, 3109, "03/11/05", "Medium Error: l-ec uncorrectable error")], label="SCRATCHED")
    desktop.sound_to_null()
    window = desktop.start_program([disc.entry("E")])
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)

    ueber = window.rect("ueberbtn")
    expect(looks_normal(desktop.grab(ueber)), "the Ueber button does not show its normal picture at start")
    desktop.screenshot("main-window")

    # Play held down, then dragged off and released outside: no click.
    play = window.rect("PlayBtn")
    raised = desktop.grab(play)
    desktop.press(*window.centre("PlayBtn"))
    pressed = poll(lambda: (lambda p: p if p != raised else None)(desktop.grab(play)), STEP_TIMEOUT,
                   "the Play button to be drawn pressed")
    desktop.screenshot("play-held")
    desktop.move(*window.centre("PaintBox1"))
    poll(lambda: desktop.grab(play) != pressed, STEP_TIMEOUT, "the Play button to be drawn up once the mouse left")
    desktop.release()

    # The Ueber picture button held: the pressed picture; dragged off: the
    # normal one; released outside: no click.
    desktop.press(*window.centre("ueberbtn"))
    poll(lambda: looks_pressed(desktop.grab(ueber)), STEP_TIMEOUT,
         "the Ueber button to show its pressed picture (yellow on a dark plate)")
    desktop.screenshot("ueber-held")
    desktop.move(*window.centre("PaintBox1"))
    poll(lambda: looks_normal(desktop.grab(ueber)), STEP_TIMEOUT,
         "the Ueber button to show its normal picture once the mouse left")
    desktop.release()

    # The window handles input in order: when the drive list opens, both
    # releases have been handled. A click on either button would have opened
    # the modal information dialog (and the list would not open) or started
    # a playback (whose first log lines come before its read loop lets the
    # window's input through).
    window.choose_drive(0, 1)
    expect(desktop.window_named("^Info$") is None, "the information dialog opened after a release outside")
    expect(desktop.log_lines() == [], f"something ran after the releases outside: {desktop.log_lines()}")
    expect(looks_normal(desktop.grab(ueber)), "the Ueber button does not show its normal picture again")

    # A real click opens the information dialog; its OK button closes it.
    window.click("ueberbtn")
    info = desktop.wait_for_window("^Info$")
    ix, iy, iw, ih = desktop.geometry(info)
    wait_painted(desktop, (ix, iy, iw, ih))
    desktop.screenshot("info-dialog")
    desktop.click(ix + 241 + 90, iy + 404 + 18)
    desktop.wait_for_window_gone(info)

    status = window.close(screenshot="closing-question")
    expect(status == 0, f"rilvane ended with status {status}")
    expect(desktop.log_lines() == [], f"unexpected log lines: {desktop.log_lines()}")


if __name__ == "__main__":
    sys.exit(run("screens", body, arguments(__doc__)))
