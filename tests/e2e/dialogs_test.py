#!/usr/bin/env python3
"""The program's dialogs as the user meets them, in a real X server.

- The sound set-up failure at start (a sound device that cannot be opened):
  the message box comes up centred on the screen, not in a corner, although
  the main window is not shown yet; OK ends the program.
- The save dialog opens large enough for its four columns (kept as a
  screenshot: names, sizes, types and German dates must be readable).
  After both runs (one opened and cancelled it): the configuration folder
  holds nothing but the sound configuration the test put there (Qt's file dialog would store
  its history there).
- Saving twice with the path typed at once and Return pressed right after:
  when the dialog has closed and the rip has ended, no window of the dialog
  (its name completion list) is left on the screen, and a click on "Ende"
  brings up the closing question.
"""

import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from rilvane_e2e import START_TIMEOUT, Disc, arguments, expect, run, wait_painted  # noqa: E402

SOUND_FAILED = "Konnte DirectSound (DirectX) nicht initialisieren..."


def files_under(folder):
    return sorted(str(p.relative_to(folder)) for p in folder.rglob("*") if p.is_file())


def sound_failure_box_is_centred(desktop, disc):
    desktop._alsa_config("pcm.!default {\n    type hw\n    card 42\n}\n")
    desktop.start_program([disc.entry("E")], wait_for_window=False)
    box = desktop.wait_for_new_window(set(), "the sound set-up failure message", timeout=START_TIMEOUT)
    x, y, w, h = desktop.geometry(box)
    wait_painted(desktop, (x, y, w, h))
    desktop.screenshot("sound-failure")
    screen_w, screen_h = desktop.SCREEN
    print(f"message box at {x},{y} size {w}x{h}")
    expect(abs(x + w / 2 - screen_w / 2) <= 2 and abs(y + h / 2 - screen_h / 2) <= 2,
           f"the message box at {x},{y} ({w}x{h}) is not centred on the {screen_w}x{screen_h} screen")
    desktop.focus(box)
    desktop.key("Return")
    status = desktop.wait_for_exit(START_TIMEOUT)
    expect(status == 1, f"rilvane ended with status {status}, not 1")
    expect(SOUND_FAILED not in desktop.log_lines(), "the sound failure went into the log")
    output = desktop.program_output()
    expect("rilvane: " + SOUND_FAILED + "\nALSA meldet: cannot open the playback device" in output
           and "\nAbhilfe: " in output, "standard error does not say what ALSA said and what to do:\n" + output)


def open_save_dialog(desktop, window):
    window.click("SaveTrack")
    dialog = desktop.wait_for_new_window({window.wid}, "the file dialog", lambda g: g[2] > 300 and g[3] > 200)
    wait_painted(desktop, desktop.geometry(dialog))
    return dialog


def save_typed_at_once(desktop, window, target, count):
    """Saves track 1 into TARGET, the path typed at once and Return right after."""
    dialog = open_save_dialog(desktop, window)
    desktop.focus(dialog)
    desktop.xdotool("type", "--delay", 0, str(target))
    desktop.xdotool("key", "Return")
    desktop.wait_for_window_gone(dialog)
    desktop.wait_for_log("Ripping beendet...", count=count, timeout=START_TIMEOUT)
    expect(target.stat().st_size > 44, f"{target} holds no audio")
    # The dialog read the target's folder in the background; give a late
    # answer the time to come.
    time.sleep(1.5)
    left = [w for w in desktop.visible_windows() if w != window.wid and w not in desktop.known_windows]
    if left:
        desktop.screenshot(f"left-over-{count}")
    expect(not left, "windows left on the screen after the save dialog closed: " +
           ", ".join(f"{w} {desktop.geometry(w)}" for w in left))


def body(desktop, args):
    disc = Disc(desktop.tools, desktop.work / "discs", "clean", [3000, 3000], label="CLEAN")
    sound_failure_box_is_centred(desktop, disc)

    desktop.sound_to_null()
    window = desktop.start_program([disc.entry("E")])
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)
    window.type_into("STrackEd", "1")

    dialog = open_save_dialog(desktop, window)
    x, y, w, h = desktop.geometry(dialog)
    print(f"save dialog at {x},{y} size {w}x{h}")
    desktop.screenshot("save-dialog")
    expect(w >= 760 and h >= 440, f"the save dialog opened at {w}x{h}, too small for its columns")
    desktop.focus(dialog)
    desktop.key("Escape")
    desktop.wait_for_window_gone(dialog)

    folder = desktop.work / "wav"
    folder.mkdir()
    for count in (1, 2):
        save_typed_at_once(desktop, window, folder / f"take-{count}.wav", count)
    desktop.screenshot("after-saving")

    status = window.close(screenshot="closing-question")
    expect(status == 0, f"rilvane ended with status {status}")
    # Both runs are over: only the sound configuration the test wrote is there.
    config = files_under(desktop.config)
    expect(config == ["alsa/asoundrc"], "the runs left files in the configuration folder: " + ", ".join(config))


if __name__ == "__main__":
    sys.exit(run("dialogs", body, arguments(__doc__)))
