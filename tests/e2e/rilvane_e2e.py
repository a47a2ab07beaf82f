"""The real rilvane on a display of its own, driven like a user drives it.

Each run gets a private work folder with its own HOME, XDG_CONFIG_HOME (where
the ALSA configuration lives), XDG_RUNTIME_DIR, an Xvfb on a free display
number, and virtual drives made with rilvane-make-disc. The program's log
lines are read from its stderr through the logging category rilvane.log. Mouse and keyboard go through xdotool;
screenshots are taken with ImageMagick's import.

Every wait polls with a deadline. The controls are found from the window's
origin and the layout of the main window (its panels are docked, so their
places follow from the window size); a screenshot of each step is kept where
it helps to see what went wrong.

Only the Python standard library is used.
"""

import argparse
import os
import random
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import traceback
from pathlib import Path

SKIP = 77

SECTOR_BYTES = 2352
BLOCK_SECTORS = 10
BLOCK_BYTES = SECTOR_BYTES * BLOCK_SECTORS
STAGING_BYTES = 117600
CD_BYTES_PER_SECOND = 176400

LOG_PREFIX = "rilvane.log: "
MAIN_TITLE = r"^Tormend Rilvane 1\.0$"

# Deadlines (seconds). Generous: they only matter when something hangs, and
# the sanitizer build on a busy machine is slow to start.
START_TIMEOUT = 120
STEP_TIMEOUT = 60


class Failure(Exception):
    """A check of the test failed."""


def expect(condition, message):
    if not condition:
        raise Failure(message)


def poll(probe, timeout, what, interval=0.05):
    """Calls probe until it returns something true; gives up after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"gave up after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


def require_programs(*names):
    """Skips the test (exit code 77) when one of the programs is missing."""
    missing = [name for name in names if shutil.which(name) is None]
    if missing:
        them = "it" if len(missing) == 1 else "them"
        print(f"SKIP: {', '.join(missing)} missing (scripts/install-deps.sh installs {them})")
        sys.exit(SKIP)


def _die_with_parent():
    """In a child before exec: get SIGKILL when the test process dies, so that
    a test killed on its time-out leaves no display or program behind."""
    try:
        import ctypes

        libc = ctypes.CDLL("libc.so.6", use_errno=True)
        libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    except OSError:
        pass


# --- Discs -----------------------------------------------------------------------


class Defect:
    """One scratched stretch of a test disc and the line the program logs for a
    pass-through read that touches it."""

    def __init__(self, first, last, sense, text):
        self.first = first
        self.last = last
        self.sense = sense  # "03/11/05": sense key, ASC, ASCQ in hex
        self.text = text  # the readable sense text the program shows

    def map_line(self):
        return f"{self.first}-{self.last} {self.sense}"

    def touches(self, first, count):
        return self.first <= first + count - 1 and first <= self.last

    def error_line(self):
        key, asc, ascq = (int(part, 16) for part in self.sense.split("/"))
        return f'Fehler: SCSI Status 2; Code:{key:X};{asc:X};{ascq:X} "{self.text}"'


class Disc:
    """A test disc written by rilvane-make-disc: one BIN of raw sectors, sector
    n at byte n * 2352, every sector stamped with its number."""

    def __init__(self, tools, folder, name, lengths, defects=(), label=None):
        base = Path(folder) / name
        args = [tools.make_disc, "--out", str(base), "--lengths", ",".join(str(n) for n in lengths), "--stamp"]
        if label:
            args += ["--name", label]
        if defects:
            args += ["--defects", ";".join(d.map_line() for d in defects)]
        done = subprocess.run(args, capture_output=True, text=True, timeout=STEP_TIMEOUT)
        expect(done.returncode == 0, f"rilvane-make-disc failed: {done.stderr.strip()}")
        self.cue = base.with_suffix(".cue")
        self.bin = base.with_suffix(".bin")
        self.defect_map = base.with_suffix(".defects") if (defects or label) else None
        self.defects = list(defects)
        self.track_starts = [0]
        for length in lengths:
            self.track_starts.append(self.track_starts[-1] + length)
        self.lead_out = self.track_starts[-1]
        self.track_count = len(lengths)
        self._image = None

    def entry(self, target):
        """The RILVANE_VIRTUAL_DRIVES entry for this disc at TARGET."""
        text = f"{target}={self.cue}"
        if self.defect_map:
            text += f",{self.defect_map}"
        return text

    def sectors(self, first, count):
        if self._image is None:
            self._image = self.bin.read_bytes()
        expect(0 <= first and first + count <= self.lead_out, f"sectors {first}+{count} are not on the disc")
        return self._image[first * SECTOR_BYTES:(first + count) * SECTOR_BYTES]

    def defect_of_block(self, first):
        """The defect a read block at FIRST runs into (the first listed), or None."""
        for defect in self.defects:
            if defect.touches(first, BLOCK_SECTORS):
                return defect
        return None

    def read_blocks(self, start, end=None, min_bytes=None):
        """What the program's read loop gets from START on, ten sectors a step:
        (audio of the good blocks in order, [(byte offset in that audio where a
        failed block was left out, defect)]). Stops before END, or once
        MIN_BYTES of audio are collected."""
        audio = bytearray()
        failed = []
        sector = start
        while (end is None or sector < end) and (min_bytes is None or len(audio) < min_bytes):
            defect = self.defect_of_block(sector)
            if defect:
                failed.append((len(audio), defect))
            else:
                audio += self.sectors(sector, BLOCK_SECTORS)
            sector += BLOCK_SECTORS
        return bytes(audio), failed


def wav_header(audio_bytes):
    """The 44-byte header of a CD-audio WAV file with AUDIO_BYTES of samples."""
    return (b"RIFF" + struct.pack("<I", 36 + audio_bytes) + b"WAVE" + b"fmt " +
            struct.pack("<IHHIIHH", 16, 1, 2, 44100, 176400, 4, 16) + b"data" + struct.pack("<I", audio_bytes))


def first_difference(a, b):
    """Index of the first byte where A and B differ, over their common length,
    or None when one is a prefix of the other."""
    n = min(len(a), len(b))
    if a[:n] == b[:n]:
        return None
    lo, hi = 0, n
    while hi - lo > 1:  # a[:lo] equal, a[:hi] not
        mid = (lo + hi) // 2
        if a[:mid] == b[:mid]:
            lo = mid
        else:
            hi = mid
    return lo


# --- Build folder ------------------------------------------------------------------


class Tools:
    def __init__(self, bin_dir):
        self.bin_dir = Path(bin_dir).resolve()
        self.rilvane = str(self.bin_dir / "rilvane")
        self.make_disc = str(self.bin_dir / "rilvane-make-disc")
        self.paced_capture = str(self.bin_dir / "rilvane-paced-capture")
        for program in (self.rilvane, self.make_disc, self.paced_capture):
            expect(os.access(program, os.X_OK), f"{program} is missing; build it first")


def capture_config(tools, rate, output):
    """An ALSA configuration whose default device is a paced capture."""
    return ("pcm.!default {\n"
            "    type file\n"
            '    slave.pcm "null"\n'
            f'    file "|{tools.paced_capture} {int(rate)} {output}"\n'
            '    format "raw"\n'
            "}\n")


# --- The display and the program on it ---------------------------------------------------


WORK_PREFIX = "rilvane-e2e-"


def remove_abandoned_work_folders():
    """Removes the work folders (disc images, mostly) of earlier runs that
    were killed before they could clean up: those whose owner has ended."""
    for folder in Path(tempfile.gettempdir()).glob(WORK_PREFIX + "*"):
        try:
            owner = int((folder / "owner.pid").read_text())
        except (OSError, ValueError):
            continue
        try:
            state = Path(f"/proc/{owner}/stat").read_text().rsplit(")", 1)[1].split()[0]
        except (OSError, IndexError):
            state = "gone"
        if state in ("gone", "Z", "X"):
            shutil.rmtree(folder, ignore_errors=True)


class Desktop:
    """An Xvfb display with the program on it, in a private work folder."""

    SCREEN = (1024, 768)
    # How the program's log lines reach its output; log_lines() reads the
    # lines that begin with LOG_PREFIX (a pattern may add lines of its own).
    MESSAGE_PATTERN = "%{category}: %{message}"

    def __init__(self, name, tools, artifacts):
        self.name = name
        self.tools = tools
        self.artifacts = Path(artifacts)
        self.artifacts.mkdir(parents=True, exist_ok=True)
        for old in list(self.artifacts.glob("*.png")) + list(self.artifacts.glob("*.log")):
            old.unlink()
        remove_abandoned_work_folders()
        self.work = Path(tempfile.mkdtemp(prefix=f"{WORK_PREFIX}{name}-"))
        (self.work / "owner.pid").write_text(str(os.getpid()))
        self.home = self.work / "home"
        self.config = self.work / "config"
        self.runtime = self.work / "runtime"
        for folder in (self.home, self.config / "alsa"):
            folder.mkdir(parents=True)
        self.runtime.mkdir(mode=0o700)
        self.program_log = self.work / "program.log"
        self.xvfb = None
        self.program = None
        self.display = None
        self.known_windows = set()

    # Display ------------------------------------------------------------------------

    def start_display(self):
        """Starts Xvfb on a free display number. The number is drawn at random
        from a wide range rather than taken as the lowest free one: a server
        that is just ending (another test's) may still remove its socket file
        after its lock file, and a new server on that number would lose its
        socket. Xvfb tells through -displayfd when it is ready for clients.
        -noreset: without it the server starts afresh whenever its last client
        leaves (the readiness poll below is one), and a program connecting
        in that moment is refused."""
        rng = random.Random()
        for attempt in range(20):
            number = rng.randrange(100, 10000)
            if Path(f"/tmp/.X{number}-lock").exists() or Path(f"/tmp/.X11-unix/X{number}").exists():
                continue
            if self._start_xvfb(number):
                break
        else:
            raise Failure("Xvfb did not start on any of 20 display numbers (see xvfb.log)")
        poll(lambda: self._xdotool_ok("getdisplaygeometry"), START_TIMEOUT, f"display {self.display}")
        self.known_windows = set(self.visible_windows())
        print(f"display {self.display} (Xvfb pid {self.xvfb.pid})")

    def _start_xvfb(self, number):
        """True once Xvfb serves display NUMBER; False when it gave up (the
        number was taken after all)."""
        read_end, write_end = os.pipe()
        with open(self.work / "xvfb.log", "ab") as output:
            self.xvfb = subprocess.Popen(
                ["Xvfb", f":{number}", "-displayfd", str(write_end), "-screen", "0",
                 f"{self.SCREEN[0]}x{self.SCREEN[1]}x24", "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdout=output, stderr=subprocess.STDOUT, preexec_fn=_die_with_parent,
                cwd=self.work)
        os.close(write_end)
        told = b""
        deadline = time.monotonic() + START_TIMEOUT
        try:
            while not told.endswith(b"\n"):
                left = deadline - time.monotonic()
                expect(left > 0, "Xvfb did not get ready")
                ready, _, _ = select.select([read_end], [], [], min(left, 1.0))
                if ready:
                    chunk = os.read(read_end, 32)
                    if not chunk:  # it ended without being ready
                        self.xvfb.wait()
                        self.xvfb = None
                        return False
                    told += chunk
        finally:
            os.close(read_end)
        expect(told.strip() == str(number).encode(), f"Xvfb reported display {told!r}, not {number}")
        self.display = f":{number}"
        return True

    def x_environment(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.pop("XAUTHORITY", None)
        return env

    def _xdotool_ok(self, *args):
        done = subprocess.run(["xdotool", *args], env=self.x_environment(), capture_output=True, timeout=STEP_TIMEOUT)
        return done.returncode == 0

    def xdotool(self, *args, check=True):
        done = subprocess.run(["xdotool", *[str(a) for a in args]], env=self.x_environment(), capture_output=True,
                              text=True, timeout=STEP_TIMEOUT)
        if check:
            expect(done.returncode == 0, f"xdotool {' '.join(map(str, args))} failed: {done.stderr.strip()}")
        return done.stdout

    # Sound ----------------------------------------------------------------------------

    def sound_to_capture(self, rate, output):
        """ALSA's default device: the file plugin piping into
        rilvane-paced-capture, which takes RATE bytes a second and writes them
        to OUTPUT (OUTPUT.part until the device is closed)."""
        self._alsa_config(capture_config(self.tools, rate, output))

    def sound_to_null(self):
        self._alsa_config("pcm.!default {\n    type null\n}\n")

    def _alsa_config(self, text):
        (self.config / "alsa" / "asoundrc").write_text(text)

    # Program ------------------------------------------------------------------------------

    def start_program(self, drives, file_limit_kib=None, wait_for_window=True):
        """Starts rilvane with DRIVES (RILVANE_VIRTUAL_DRIVES entries) and
        returns its main window. FILE_LIMIT_KIB: a file-size limit, set by the
        shell that starts it (ulimit -f), as a user would. WAIT_FOR_WINDOW
        False: returns None at once (a message box may come before the
        window)."""
        env = self.x_environment()
        for name in ("QT_QPA_PLATFORM", "ALSA_CONFIG_PATH", "RILVANE_LIBRARY_DIR", "QT_SCALE_FACTOR",
                     "QT_SCREEN_SCALE_FACTORS", "QT_FONT_DPI", "QT_STYLE_OVERRIDE"):
            env.pop(name, None)
        env.update({
            "HOME": str(self.home),
            "XDG_CONFIG_HOME": str(self.config),
            "XDG_RUNTIME_DIR": str(self.runtime),
            "RILVANE_NO_REAL_DRIVES": "1",
            "RILVANE_VIRTUAL_DRIVES": ";".join(drives),
            "QT_LOGGING_RULES": "rilvane.log=true",
            "QT_MESSAGE_PATTERN": self.MESSAGE_PATTERN,
            "QT_QPA_PLATFORM": "xcb",
        })
        # In the sanitizer build: leaks of system libraries are not the program's.
        leak_options = env.get("LSAN_OPTIONS", "")
        if "suppressions=" not in leak_options:
            suppressions = Path(__file__).resolve().parent / "lsan.supp"
            env["LSAN_OPTIONS"] = ":".join(filter(None, [leak_options, f"suppressions={suppressions}"]))
        command = [self.tools.rilvane]
        if file_limit_kib is not None:
            # The shell replaces itself with the program: same process.
            command = ["bash", "-c", f'ulimit -f {int(file_limit_kib)} && exec "$0"', self.tools.rilvane]
        with open(self.program_log, "wb") as output:
            self.program = subprocess.Popen(command, env=env, stdout=output, stderr=subprocess.STDOUT,
                                            stdin=subprocess.DEVNULL, preexec_fn=_die_with_parent, cwd=self.work)
        shown = env["RILVANE_VIRTUAL_DRIVES"] if len(drives) <= 8 else f"{';'.join(drives[:4])};... ({len(drives)})"
        print(f"rilvane pid {self.program.pid}, drives {shown}"
              + (f", file-size limit {file_limit_kib} KiB" if file_limit_kib is not None else ""))
        if not wait_for_window:
            return None
        main = self.wait_for_window(MAIN_TITLE, START_TIMEOUT)
        return MainWindow(self, main)

    def program_output(self):
        try:
            return self.program_log.read_text(errors="replace")
        except FileNotFoundError:
            return ""

    def log_lines(self):
        return [line[len(LOG_PREFIX):] for line in self.program_output().splitlines() if line.startswith(LOG_PREFIX)]

    def alive(self):
        return self.program is not None and self.program.poll() is None

    def wait_for_log(self, line, count=1, timeout=STEP_TIMEOUT, interval=0.05):
        def seen():
            if self.log_lines().count(line) >= count:
                return True
            expect(self.alive(), f"rilvane ended while waiting for the log line {line!r}")
            return False
        poll(seen, timeout, f"the log line {line!r}" + (f" {count} times" if count > 1 else ""), interval)

    def wait_for_exit(self, timeout=STEP_TIMEOUT):
        poll(lambda: not self.alive(), timeout, "rilvane to end")
        return self.program.returncode

    # Windows ------------------------------------------------------------------------------

    def visible_windows(self):
        out = self.xdotool("search", "--onlyvisible", "--name", "", check=False)
        return [int(w) for w in out.split()]

    def window_named(self, pattern):
        out = self.xdotool("search", "--onlyvisible", "--name", pattern, check=False)
        ids = [int(w) for w in out.split()]
        return ids[0] if ids else None

    def wait_for_window(self, pattern, timeout=STEP_TIMEOUT):
        def found():
            wid = self.window_named(pattern)
            if wid is None:
                expect(self.alive(), f"rilvane ended while waiting for a window named {pattern!r}")
            return wid
        return poll(found, timeout, f"a window named {pattern!r}")

    def wait_for_window_gone(self, wid, timeout=STEP_TIMEOUT):
        poll(lambda: wid not in self.visible_windows(), timeout, f"window {wid} to close")

    def wait_for_new_window(self, exclude, what, accept=lambda geometry: True, timeout=STEP_TIMEOUT):
        """A visible window that is none of EXCLUDE, none the display had at
        start, and whose geometry (x, y, w, h) ACCEPT takes (a tool tip that
        happens to show up is not what the test waits for)."""
        def found():
            for wid in self.visible_windows():
                if wid in exclude or wid in self.known_windows:
                    continue
                try:
                    if accept(self.geometry(wid)):
                        return wid
                except Failure:  # gone again
                    pass
            expect(self.alive(), f"rilvane ended while waiting for {what}")
            return None
        return poll(found, timeout, what)

    def window_name(self, wid):
        return self.xdotool("getwindowname", wid, check=False).strip()

    def geometry(self, wid):
        """(x, y, width, height) of a window on the screen."""
        values = dict(line.split("=", 1) for line in self.xdotool("getwindowgeometry", "--shell", wid).split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def focus(self, wid):
        self.xdotool("windowfocus", "--sync", wid)

    # Mouse and keyboard, in screen coordinates --------------------------------------------------

    def move(self, x, y):
        self.xdotool("mousemove", "--sync", x, y)

    def click(self, x, y, button=1):
        self.move(x, y)
        self.xdotool("click", button)

    def press(self, x, y, button=1):
        self.move(x, y)
        self.xdotool("mousedown", button)

    def release(self, button=1):
        self.xdotool("mouseup", button)

    def key(self, *keys):
        self.xdotool("key", "--clearmodifiers", *keys)

    def type(self, text):
        self.xdotool("type", "--clearmodifiers", "--delay", 20, text)

    # Pictures -----------------------------------------------------------------------------------

    def screenshot(self, name):
        path = self.artifacts / f"{name}.png"
        done = subprocess.run(["import", "-window", "root", str(path)], env=self.x_environment(),
                              capture_output=True, text=True, timeout=STEP_TIMEOUT)
        expect(done.returncode == 0, f"import failed: {done.stderr.strip()}")
        print(f"screenshot {path}")
        return path

    def grab(self, rect):
        """The pixels of a screen rectangle (x, y, w, h) as (r, g, b) tuples."""
        x, y, w, h = rect
        done = subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "-depth", "8", "rgb:-"],
                              env=self.x_environment(), capture_output=True, timeout=STEP_TIMEOUT)
        expect(done.returncode == 0 and len(done.stdout) == 3 * w * h,
               f"import could not grab {rect}: {done.stderr.decode(errors='replace').strip()}")
        data = done.stdout
        return [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]

    # End ----------------------------------------------------------------------------------------

    def keep_program_log(self):
        if self.program_log.exists():
            shutil.copy(self.program_log, self.artifacts / "program.log")

    def shut_down(self):
        for process in (self.program, self.xvfb):
            if process is not None and process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self.keep_program_log()
        shutil.rmtree(self.work, ignore_errors=True)


# --- The main window ---------------------------------------------------------------------


class MainWindow:
    """Places of the main window's controls, in screen coordinates.

    The page's sheet begins 2 pixels in and 28 down (below the tab, in Qt's
    Fusion style with the window's 11-pixel font) and ends 2 pixels above the
    bottom bar; the transport area (Panel3) sits 209 to the right of the left
    panel and 33 below the title strip; the save area (Panel4) is the 32
    pixels above the 45-pixel log pane; the bottom bar (41 pixels, with the
    214-pixel image-button panel at its right) sits on the 19-pixel status
    bar.
    """

    def __init__(self, desktop, wid):
        self.desktop = desktop
        self.wid = wid
        self.x, self.y, self.width, self.height = desktop.geometry(wid)
        panel3_left = self.x + 2 + 209
        panel3_top = self.y + 28 + 33
        bottom_bar_top = self.y + self.height - 19 - 41
        panel4_top = bottom_bar_top - 2 - 45 - 32
        panel8_left = self.x + self.width - 214
        # (x, y, w, h) on the screen
        self.rects = {
            "DriveBox": (panel3_left + 96, panel3_top + 8, 145, 21),
            "StartSec": (panel3_left + 96, panel3_top + 32, 121, 21),
            "PlayBtn": (panel3_left + 8, panel3_top + 96, 73, 25),
            "StopBtn": (panel3_left + 88, panel3_top + 96, 65, 25),
            "STrackEd": (panel3_left + 120, panel4_top + 4, 65, 21),
            "SaveTrack": (panel3_left + 192, panel4_top + 4, 185, 25),
            "ueberbtn": (panel8_left, bottom_bar_top + 8, 101, 30),
            "endebtn": (panel8_left + 104, bottom_bar_top + 8, 101, 30),
            "PaintBox1": (panel3_left + 20, panel3_top + 129 + 20, 300, 100),
        }

    def rect(self, control):
        return self.rects[control]

    def centre(self, control, dx=0):
        x, y, w, h = self.rects[control]
        return x + w // 2 + dx, y + h // 2

    def click(self, control):
        self.desktop.click(*self.centre(control))

    def type_into(self, control, text):
        """Clicks into a number field, selects its text and types TEXT over it."""
        # Left of the arrows, so the click does not step the number.
        x, y, w, h = self.rects[control]
        self.desktop.click(x + w // 3, y + h // 2)
        self.desktop.key("ctrl+a")
        self.desktop.type(text)

    def choose_drive(self, index, count, with_keyboard=False):
        """Opens the drive list and picks entry INDEX of COUNT, with the mouse
        or with the arrow keys and Return."""
        dx, dy, dw, _ = self.rects["DriveBox"]
        self.click("DriveBox")
        # The list opens as a window of its own over the drive list, as wide
        # as it; any other window (a modal dialog, say) is not it.
        popup = self.desktop.wait_for_new_window(
            {self.wid}, "the drive list to open",
            lambda g: abs(g[0] - dx) <= 3 and abs(g[2] - dw) <= 3 and abs(g[1] - dy) <= 3 * 21)
        opened = time.monotonic()
        px, py, pw, ph = self.desktop.geometry(popup)
        wait_painted(self.desktop, (px, py, pw, ph))
        # The list ignores a button release that comes within a double-click
        # time (400 ms) of its opening, taking it for the end of the click
        # that opened it; a user's next click comes later than that.
        time.sleep(max(0.0, opened + 0.6 - time.monotonic()))
        if with_keyboard:
            # The list opens on the current entry, the first.
            for _ in range(index):
                self.desktop.key("Down")
            self.desktop.key("Return")
        else:
            self.desktop.click(px + pw // 2, py + (2 * index + 1) * ph // (2 * count))
        self.desktop.wait_for_window_gone(popup)

    def close(self, screenshot=None):
        """Ende, then OK (Return) on the closing question; the exit status."""
        self.click("endebtn")
        question = self.desktop.wait_for_window("^Programm beenden$")
        if screenshot:
            wait_painted(self.desktop, self.desktop.geometry(question))
            self.desktop.screenshot(screenshot)
        self.desktop.focus(question)
        self.desktop.key("Return")
        return self.desktop.wait_for_exit(START_TIMEOUT)


def wait_painted(desktop, rect, timeout=STEP_TIMEOUT):
    """Waits until a window's rectangle is drawn: not all one colour, and the
    same in two grabs in a row."""
    previous = [None]

    def settled():
        pixels = desktop.grab(rect)
        same = pixels == previous[0]
        previous[0] = pixels
        return same and len(set(pixels)) > 1
    poll(settled, timeout, f"the window at {rect} to be drawn", interval=0.1)


# --- Running a test ----------------------------------------------------------------------


def arguments(description):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--bin", required=True, help="the build's bin folder")
    parser.add_argument("--artifacts", required=True, help="where screenshots and the program's log are kept")
    parser.add_argument("--rate", type=int, default=2 * CD_BYTES_PER_SECOND,
                        help="bytes per second the paced sound device takes")
    parser.add_argument("--deadline", type=int, default=280, help="seconds before the whole test gives up")
    return parser


def run(name, body, parser):
    """Runs BODY(desktop, args) against a fresh display; prints the program's
    output and keeps a screenshot when it fails. Exit code 0, 1, or 77."""
    args = parser.parse_args()
    require_programs("Xvfb", "xdotool")
    if shutil.which("import") is None:
        print("FAIL: ImageMagick's import is missing (scripts/install-deps.sh installs it)")
        return 1

    def give_up(signum, _frame):
        raise Failure(f"the whole test ran out of time ({args.deadline} s)" if signum == signal.SIGALRM
                      else f"stopped by signal {signum}")

    signal.signal(signal.SIGALRM, give_up)
    signal.signal(signal.SIGTERM, give_up)
    signal.alarm(args.deadline)
    desktop = None
    started = time.monotonic()
    try:
        tools = Tools(args.bin)
        desktop = Desktop(name, tools, args.artifacts)
        desktop.start_display()
        body(desktop, args)
        print(f"PASS ({time.monotonic() - started:.1f} s)")
        return 0
    except Exception as error:  # a failed check, or a tool that hung or broke
        if isinstance(error, Failure):
            print(f"FAIL: {error}")
        else:
            print(f"FAIL: {type(error).__name__}: {error}")
            traceback.print_exc(file=sys.stdout)
        if desktop is not None:
            if desktop.display:
                try:
                    desktop.screenshot("failure")
                except Exception as error:  # the display may be gone
                    print(f"(no failure screenshot: {error})")
            print("--- rilvane's output ---")
            print(desktop.program_output(), end="")
            print("-----------------------")
        return 1
    finally:
        signal.alarm(0)
        if desktop is not None:
            desktop.shut_down()
