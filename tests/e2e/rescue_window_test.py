#!/usr/bin/env python3
"""rilvane-rescue, the rescue window, as a user and a script drive it, beside
rilvane-rip on the same virtual discs.

--case rescue (with --transport letter|aspi): a disc with a radial scratch
  (an unreadable sector on every turn at one angle) and sectors that read
  only on a later try. `rilvane-rescue --drive 0 --out B --start` must write
  the same working copy, map and track files as `rilvane-rip --out A`; the
  window ends with status 1 (sectors missing). A screenshot shows the
  scratch as a line.
--case stop: a disc whose failing reads take 300 ms each and whose bad
  sectors read on their third try. The window is stopped with its Stop
  button mid-pass, closed, reopened on the folder and continued, then
  closed during the rescue (the question answered with Return), and
  rilvane-rip finishes the folder: the files equal a rilvane-rip run from
  scratch. The other way round: rilvane-rip is interrupted (SIGINT) and the
  window finishes, with status 0. How quickly the window answered Stop and
  a move during the slow reads is printed.
--case watch: rilvane-rip works in a folder the window has open; the window
  shows the map's progress as it changes, ending with the map's final state.
"""

import os
import signal
import subprocess
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from rilvane_e2e import (START_TIMEOUT, STEP_TIMEOUT, Disc, arguments, expect, poll, run,  # noqa: E402
                         wait_painted)

TITLE = "CD retten"
FINISHED = ("Die CD ist vollständig gerettet.", "Die CD ist nicht vollständig gerettet.")
STOPPED = "Angehalten; fortsetzen mit Start."
# The Stop button's middle in the window (below the two groups, right of Start).
STOP_BUTTON = (180, 186)


class Rescue:
    """rilvane-rescue on the test's display, with the test's environment."""

    def __init__(self, desktop, drives, args):
        self.desktop = desktop
        self.drives = drives
        self.args = args
        self.bin = Path(args.bin).resolve()

    def environment(self):
        env = self.desktop.x_environment()
        for name in ("QT_QPA_PLATFORM", "QT_SCALE_FACTOR", "QT_STYLE_OVERRIDE"):
            env.pop(name, None)
        env.update({
            "HOME": str(self.desktop.home),
            "XDG_CONFIG_HOME": str(self.desktop.config),
            "XDG_RUNTIME_DIR": str(self.desktop.runtime),
            "RILVANE_NO_REAL_DRIVES": "1",
            "RILVANE_VIRTUAL_DRIVES": ";".join(self.drives),
            "QT_LOGGING_RULES": "rilvane.log=true",
            "QT_MESSAGE_PATTERN": self.desktop.MESSAGE_PATTERN,
            "QT_QPA_PLATFORM": "xcb",
        })
        suppressions = Path(__file__).resolve().parent / "lsan.supp"
        env["LSAN_OPTIONS"] = ":".join(filter(None, [env.get("LSAN_OPTIONS", ""), f"suppressions={suppressions}"]))
        return env

    def start(self, *arguments):
        """Starts the window (the desktop's program); returns its window id."""
        self.desktop.program_log.write_bytes(b"")
        with open(self.desktop.program_log, "ab") as output:
            self.desktop.program = subprocess.Popen([str(self.bin / "rilvane-rescue"), *map(str, arguments)],
                                                    env=self.environment(), stdout=output,
                                                    stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                                    cwd=self.desktop.work)
        print(f"rilvane-rescue {' '.join(map(str, arguments))} (pid {self.desktop.program.pid})")
        self.wid = self.desktop.wait_for_window(TITLE, START_TIMEOUT)
        # Drawn (not one colour); a running rescue keeps changing it, so
        # waiting for it to settle would wait for the rescue.
        rect = self.desktop.geometry(self.wid)
        poll(lambda: len(set(self.desktop.grab(rect))) > 1, START_TIMEOUT, "the window to be drawn", interval=0.1)
        return self.wid

    def close(self):
        """Ctrl+Q; the exit status once the window has ended."""
        self.desktop.focus(self.wid)
        self.desktop.key("ctrl+q")
        return self.desktop.wait_for_exit(START_TIMEOUT)

    def rip(self, out, *extra, background=False):
        command = [str(self.bin / "rilvane-rip"), "--drive", "0", "--out", str(out), *map(str, extra)]
        env = self.environment()
        log = open(Path(out).parent / (Path(out).name + ".rip.log"), "ab")
        process = subprocess.Popen(command, env=env, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        if background:
            return process
        status = process.wait(timeout=START_TIMEOUT * 3)
        print(f"rilvane-rip --out {out}: status {status}")
        return status


def track_files(folder):
    return sorted(p.name for p in Path(folder).glob("track*.wav")) + sorted(
        p.name for p in Path(folder).glob("track*.flac"))


def map_states(folder):
    """Every sector's state in a map, without the tries (a rescue done in
    several runs tries a flaky sector more often)."""
    states = []
    for line in (Path(folder) / "disc.map").read_text().splitlines():
        line = line.split("#", 1)[0].split()
        if line and line[0][0].isdigit():
            first, _, last = line[0].partition("-")
            states += [line[1]] * (int(last or first) - int(first) + 1)
    return states


def expect_same_rescue(a, b, same_tries=True):
    """The working copy and every track file of two rescue folders are the
    same, byte for byte, and so is the map (or its states alone)."""
    names = ["disc.bin"] + track_files(a) + (["disc.map"] if same_tries else [])
    expect(track_files(a) and track_files(a) == track_files(b),
           f"track files differ: {track_files(a)} and {track_files(b)}")
    for name in names:
        expect((Path(a) / name).read_bytes() == (Path(b) / name).read_bytes(), f"{name} differs between {a} and {b}")
    if not same_tries:
        expect(map_states(a) == map_states(b), f"the maps of {a} and {b} differ")
    print(f"same bytes in {a.name} and {b.name}: {', '.join(names)}" + ("" if same_tries else ", and the map's states"))


def map_counts(folder):
    """(read, suspect, missing, untried) as the window's log line counts them."""
    counts = {}
    for line in (Path(folder) / "disc.map").read_text().splitlines():
        line = line.split("#", 1)[0].split()
        if not line or not line[0][0].isdigit():
            continue
        first, _, last = line[0].partition("-")
        counts[line[1]] = counts.get(line[1], 0) + int(last or first) - int(first) + 1
    read = counts.get("good", 0) + counts.get("verified", 0)
    missing = counts.get("untried", 0) + counts.get("narrow", 0) + counts.get("failed", 0)
    return read, counts.get("suspect", 0), missing, counts.get("untried", 0)


def case_rescue(desktop, args):
    discs = desktop.work / "discs"
    discs.mkdir()
    base = discs / "scratched"
    done = subprocess.run([str(Path(args.bin).resolve() / "rilvane-make-disc"), "--out", str(base), "--lengths", "3000,4500,2500",
                           "--name", "SCRATCHED", "--radial-scratch", "75",
                           "--defects", "5000-5019 flaky 2;7000-7004 corrupt 1"],
                          capture_output=True, text=True, timeout=STEP_TIMEOUT)
    expect(done.returncode == 0, f"rilvane-make-disc failed: {done.stderr}")
    target = "E" if args.transport == "letter" else "aspi:0:1"
    rescue = Rescue(desktop, [f"{target}={base}.cue,{base}.defects"], args)
    a, b = desktop.work / "by-rip", desktop.work / "by-window"
    expect(rescue.rip(a) == 1, "rilvane-rip should find sectors missing")

    rescue.start("--drive", "0", "--out", b, "--start")
    poll(lambda: any(line in FINISHED for line in desktop.log_lines()), START_TIMEOUT * 2, "the rescue to end")
    time.sleep(0.5)  # the picture's last redraw
    wait_painted(desktop, desktop.geometry(rescue.wid))
    desktop.screenshot(f"rescued-{args.transport}")
    status = rescue.close()
    expect(status == 1, f"the window ended with status {status}, not 1 (sectors missing)")
    expect_same_rescue(a, b)


def case_stop(desktop, args):
    discs = desktop.work / "discs"
    # Failing reads of 300 ms; every bad sector reads on its third try.
    disc = Disc(desktop.tools, discs, "slow", [1500, 1500], label="SLOW")
    defects = "1000-1019 flaky 2 03/11/00 300;2100-2119 flaky 2 03/11/00 300"
    disc.defect_map.write_text(disc.defect_map.read_text() + "\n".join(defects.split(";")) + "\n")
    rescue = Rescue(desktop, [disc.entry("E")], args)
    whole = desktop.work / "whole-rip"
    expect(rescue.rip(whole) == 0, "rilvane-rip should rescue the whole disc")

    # Stop mid-pass with the Stop button, while failing reads take 300 ms.
    folder = desktop.work / "window-first"
    rescue.start("--drive", "0", "--out", folder, "--start")
    poll(lambda: any("Fehler: SCSI" in line for line in desktop.log_lines()), START_TIMEOUT, "a failing read")
    x, y, _, _ = desktop.geometry(rescue.wid)
    desktop.move(x + STOP_BUTTON[0], y + STOP_BUTTON[1])
    asked = time.monotonic()
    desktop.xdotool("click", 1)
    poll(lambda: any(line.startswith("Anhalten:") for line in desktop.log_lines()), STEP_TIMEOUT, "Stop to be taken")
    answered = time.monotonic() - asked
    moved_at = time.monotonic()
    desktop.xdotool("windowmove", rescue.wid, x + 40, y + 30)
    poll(lambda: desktop.geometry(rescue.wid)[:2] != (x, y), STEP_TIMEOUT, "the window to move")
    moved = time.monotonic() - moved_at
    poll(lambda: STOPPED in desktop.log_lines(), STEP_TIMEOUT, "the rescue to stop")
    print(f"during 300 ms failing reads: Stop answered after {answered * 1000:.0f} ms, "
          f"the window moved after {moved * 1000:.0f} ms")
    desktop.screenshot("stopped")
    expect(rescue.close() == 1, "a stopped rescue ends with status 1")
    read, _, missing, untried = map_counts(folder)
    expect(missing > 0, "the stop came after the rescue was done")

    # Reopened and continued; closed during the rescue: the question, Return.
    rescue.start("--drive", "0", "--start", folder)
    poll(lambda: any(line.startswith("Rettung beginnt") for line in desktop.log_lines()), STEP_TIMEOUT, "the start")
    time.sleep(0.3)
    desktop.focus(rescue.wid)
    desktop.key("ctrl+q")
    question = desktop.wait_for_window("^Rettung läuft$")
    desktop.screenshot("close-question")
    desktop.focus(question)
    desktop.key("Return")
    expect(desktop.wait_for_exit(START_TIMEOUT) == 1, "closing a running rescue ends with status 1")
    expect(map_counts(folder)[0] >= read, "the map lost sectors")

    # rilvane-rip finishes what the window began.
    expect(rescue.rip(folder) == 0, "rilvane-rip should finish the rescue")
    expect_same_rescue(whole, folder, same_tries=False)

    # And the other way round: rilvane-rip interrupted, the window finishes.
    other = desktop.work / "rip-first"
    rip = rescue.rip(other, background=True)
    poll(lambda: (other / "disc.map").exists() and map_counts(other)[0] > 0, STEP_TIMEOUT, "rilvane-rip to read")
    rip.send_signal(signal.SIGINT)
    print(f"rilvane-rip interrupted: status {rip.wait(timeout=STEP_TIMEOUT)}")
    rescue.start("--drive", "0", "--start", other)
    poll(lambda: any(line in FINISHED for line in desktop.log_lines()), START_TIMEOUT, "the rescue to end")
    expect("Die CD ist vollständig gerettet." in desktop.log_lines(), "the window did not finish the disc")
    expect(rescue.close() == 0, "a complete rescue ends with status 0")
    expect_same_rescue(whole, other, same_tries=False)


def case_watch(desktop, args):
    discs = desktop.work / "discs"
    base = discs / "watched"
    discs.mkdir()
    done = subprocess.run([str(Path(args.bin).resolve() / "rilvane-make-disc"), "--out", str(base), "--lengths", "2000,2500",
                           "--name", "WATCHED", "--radial-scratch", "200:15"],
                          capture_output=True, text=True, timeout=STEP_TIMEOUT)
    expect(done.returncode == 0, f"rilvane-make-disc failed: {done.stderr}")
    rescue = Rescue(desktop, [f"E={base}.cue,{base}.defects"], args)
    folder = desktop.work / "watched-rescue"
    folder.mkdir()
    rescue.start(folder)
    rip = rescue.rip(folder, "--retries", "1", background=True)

    def states():
        return [line for line in desktop.log_lines() if line.startswith("Stand der Karte:")]
    poll(lambda: len(set(states())) >= 2 or rip.poll() is not None, START_TIMEOUT, "the map to change twice")
    desktop.screenshot("watching")
    status = rip.wait(timeout=START_TIMEOUT)
    expect(status == 1, f"rilvane-rip ended with {status}")
    read, suspect, missing, untried = map_counts(folder)
    final = f"Stand der Karte: {read} gelesen, {suspect} verdächtig, {missing} fehlen, {untried} ungelesen"
    poll(lambda: states() and states()[-1] == final, STEP_TIMEOUT, f"the line {final!r}")
    expect(len(set(states())) >= 2, f"the window showed only {states()}")
    print(f"the window followed {len(states())} versions of the map")
    expect(rescue.close() == 1, "the window should end with status 1 (sectors missing)")


def body(desktop, args):
    {"rescue": case_rescue, "stop": case_stop, "watch": case_watch}[args.case](desktop, args)


if __name__ == "__main__":
    parser = arguments(__doc__)
    parser.add_argument("--case", choices=("rescue", "stop", "watch"), required=True)
    parser.add_argument("--transport", choices=("letter", "aspi"), default="letter")
    sys.exit(run("rescue-window", body, parser))
