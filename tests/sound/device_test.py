#!/usr/bin/env python3
"""The real program and its sound device, on an Xvfb display of its own.

--case server: ALSA's default device goes to a PulseAudio daemon of the
test's own (a null sink, started as the current user with its own runtime
folder and configuration, ended by its PID). While nothing plays the program
holds no running stream: the server lists no uncorked sink input, at start-up
and again after Stop. While it plays there is one, and the sink's monitor,
recorded with parec, holds the disc bit for bit after the leading silence.
Skips (77) only when the daemon cannot be started.

--case pipewire: the same through PipeWire's ALSA plugin, to a PipeWire of
the test's own (pipewire, wireplumber and a D-Bus session bus, started with a
private runtime folder and configuration, ended by their PIDs; a null sink,
the graph's rate held at 44100 so that nothing is resampled). PipeWire counts
every opened and configured PCM as a stream, so while nothing plays the
program must hold no stream at all: none at start-up, none after Stop. While
it plays there is one, running, and the sink's monitor, recorded with
pw-record, holds the disc bit for bit. Skips (77) only when a part is missing
or the server cannot be started.

--case pipe: ALSA's default device is the file plugin writing into a pipe
whose first reader goes away after a little audio. The session ends with a
log line, the program keeps running, and once the device is back (the next
reader is a paced capture) Play plays the disc again, bit for bit.
"""

import json
import os
import shutil
import signal
import struct
import subprocess
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))

from rilvane_e2e import (SKIP, START_TIMEOUT, STAGING_BYTES, STEP_TIMEOUT, Disc, Failure, arguments,  # noqa: E402
                         expect, first_difference, poll, run, wait_painted)

START = 1003  # inside track 1; the stamped sector number makes the first sample non-zero
HEARD_BUFFERS = 4
SINK = "rilvane_test"
LOST_LINE = "Das Sound-Gerät ist nicht mehr verfügbar..."


def check_played(disc, sound, what, from_buffer=0):
    """SOUND must be silence, then the disc read in ten-sector blocks from
    START on, gapless and bit for bit; with FROM_BUFFER, from that staging
    buffer of the session on."""
    zeros = len(sound) - len(sound.lstrip(b"\0"))
    expected, _ = disc.read_blocks(START, end=disc.lead_out - 10)
    skip = from_buffer * STAGING_BYTES
    at = sound.find(expected[skip:skip + 4096], zeros)
    expect(at >= 0, f"{what}: staging buffer {from_buffer} of the session never came out")
    played = sound[at:]
    expected = expected[skip:]
    print(f"{what}: {len(sound)} bytes, {zeros} of silence, then from byte {at} the disc from staging buffer "
          f"{from_buffer} on, {len(played)} bytes")
    expect(len(played) >= HEARD_BUFFERS * STAGING_BYTES, f"{what}: only {len(played)} bytes of it")
    diff = first_difference(played, expected)
    if diff is not None:
        stretch = played[diff:diff + 4 * STAGING_BYTES]
        silence = len(stretch) - len(stretch.lstrip(b"\0"))
        found = expected.find(played[diff:diff + 4096])
        raise Failure(f"{what}: differs from the disc {diff} bytes further on: "
                      + (f"{silence} bytes of silence there (the device ran dry)" if silence else
                         f"audio from {found} bytes further on" if found >= 0 else
                         "audio that is not from that stretch of the disc"))
    if from_buffer == 0:
        expect(at == zeros, f"{what}: {at - zeros} bytes of something else before the disc")


# --- a sound server of the test's own ----------------------------------------------------


class SoundServer:
    """pulseaudio with one null sink, for the program's environment."""

    def __init__(self, desktop):
        self.desktop = desktop
        self.folder = desktop.work / "pulse"
        self.folder.mkdir()
        # The program's runtime folder and configuration, so that it finds
        # this server and its cookie, and nothing of the person's own.
        self.env = dict(os.environ, HOME=str(desktop.home), XDG_CONFIG_HOME=str(desktop.config),
                        XDG_RUNTIME_DIR=str(desktop.runtime), PULSE_SERVER=f"unix:{desktop.runtime}/pulse/native")
        for name in ("PULSE_SINK", "PULSE_COOKIE", "DBUS_SESSION_BUS_ADDRESS"):
            self.env.pop(name, None)
        self.process = None

    def start(self):
        script = self.folder / "default.pa"
        script.write_text(f"load-module module-null-sink sink_name={SINK} rate=44100 channels=2\n"
                          "load-module module-native-protocol-unix\n"
                          f"set-default-sink {SINK}\n")
        # -n: none of the system's configuration; no idle exit; a user daemon
        # (as root it warns and goes on).
        with open(self.folder / "pulseaudio.log", "wb") as log:
            self.process = subprocess.Popen(
                ["pulseaudio", "-n", "--daemonize=no", "--system=false", "--exit-idle-time=-1",
                 "--disallow-exit=yes", "--use-pid-file=no", "-F", str(script), "--log-target=stderr"],
                env=self.env, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, cwd=self.folder)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                return False
            if self.pactl("list", "sinks", "short", check=False) is not None:
                return True
            time.sleep(0.1)
        return False

    def log(self):
        try:
            return (self.folder / "pulseaudio.log").read_text(errors="replace")
        except FileNotFoundError:
            return ""

    def pactl(self, *args, check=True):
        done = subprocess.run(["pactl", *args], env=self.env, capture_output=True, text=True, timeout=STEP_TIMEOUT)
        if done.returncode != 0:
            expect(not check, f"pactl {' '.join(args)} failed: {done.stderr.strip()}")
            return None
        return done.stdout

    def running_inputs(self):
        """How many sink inputs are not corked."""
        text = self.pactl("list", "sink-inputs")
        return sum(1 for line in text.splitlines() if line.strip() == "Corked: no")

    def stop(self):
        if self.process is not None and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def server_case(desktop, args):
    if not all(shutil.which(name) for name in ("pulseaudio", "pactl", "parec")):
        print("SKIP: pulseaudio, pactl or parec missing (scripts/install-deps.sh installs them)")
        sys.exit(SKIP)
    server = SoundServer(desktop)
    try:
        if not server.start():
            print(f"SKIP: pulseaudio did not start\n{server.log()}")
            sys.exit(SKIP)
        os.environ["PULSE_SERVER"] = server.env["PULSE_SERVER"]  # the program's environment comes from ours
        os.environ.pop("PULSE_SINK", None)
        desktop._alsa_config("pcm.!default { type pulse }\nctl.!default { type pulse }\n")
        disc = Disc(desktop.tools, desktop.work / "discs", "clean", [4000, 3000], label="SERVER DISC")

        recording = desktop.work / "monitor.raw"
        with open(recording, "wb") as out:
            parec = subprocess.Popen(["parec", "-d", f"{SINK}.monitor", "--format=s16le", "--rate=44100",
                                      "--channels=2", "--latency-msec=20"],
                                     env=server.env, stdout=out, stderr=subprocess.DEVNULL)
        try:
            window = desktop.start_program([disc.entry("E")])
            wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)
            # The program has set its sound up (the window is drawn after it):
            # the server has no playing stream of it.
            time.sleep(0.5)
            expect(server.running_inputs() == 0, "the idle program holds a running stream:\n"
                   + server.pactl("list", "sink-inputs"))

            window.type_into("StartSec", str(START))
            window.click("PlayBtn")
            desktop.wait_for_log("2 Tracks gefunden...")
            poll(lambda: server.running_inputs() == 1, STEP_TIMEOUT, "a running stream while playing")
            # The silent lap, then the disc: wait until the monitor has more
            # than enough, at real time.
            wanted = (HEARD_BUFFERS + 3) * STAGING_BYTES
            poll(lambda: recording.stat().st_size >= wanted + 5 * 176400, START_TIMEOUT, "the sound to be played")
            window.click("StopBtn")
            desktop.wait_for_log("Wiedergabe gestoppt...")
            poll(lambda: server.running_inputs() == 0, STEP_TIMEOUT, "the stream to stop running after Stop")
            time.sleep(0.5)
            expect(server.running_inputs() == 0, "the stream runs again after Stop")
            status = window.close()
            expect(status == 0, f"rilvane ended with status {status}")
        finally:
            parec.terminate()
            parec.wait(timeout=STEP_TIMEOUT)
        sound = recording.read_bytes()
        sound = sound[:len(sound) - len(sound) % 4]
        # The monitor's silence before Play, the program's zeroed lap, then
        # the disc; after Stop silence again, which the comparison leaves out.
        check_played(disc, sound.rstrip(b"\0"), "monitor")
    finally:
        server.stop()


# --- a PipeWire of the test's own -------------------------------------------------------

# PipeWire's ALSA plugin: where the package pipewire-alsa installs it, or
# unpacked by scripts/install-deps.sh where it does not take over the
# machine's default device (and pulseaudio, which the package conflicts
# with, stays installed).
PIPEWIRE_PLUGIN_FOLDERS = ["/usr/lib/x86_64-linux-gnu/alsa-lib", "/usr/lib/aarch64-linux-gnu/alsa-lib",
                           "/usr/local/lib/rilvane-test/alsa-lib"]


def pipewire_plugin():
    for folder in PIPEWIRE_PLUGIN_FOLDERS:
        plugin = Path(folder) / "libasound_module_pcm_pipewire.so"
        if plugin.exists():
            return plugin
    return None


class PipeWire:
    """pipewire, wireplumber and their session bus, with one null sink."""

    def __init__(self, desktop):
        self.folder = desktop.work / "pipewire"
        self.folder.mkdir()
        settings = desktop.config / "pipewire" / "pipewire.conf.d"
        settings.mkdir(parents=True)
        (settings / "rilvane-test.conf").write_text(
            "context.properties = {\n"
            "    default.clock.rate = 44100\n"
            "    default.clock.allowed-rates = [ 44100 ]\n"
            "}\n"
            "context.objects = [\n"
            "    { factory = adapter\n"
            "      args = { factory.name = support.null-audio-sink node.name = " + SINK + "\n"
            "               media.class = Audio/Sink audio.position = [ FL FR ] audio.rate = 44100 } }\n"
            "]\n")
        bus = desktop.runtime / "bus"
        self.env = dict(os.environ, HOME=str(desktop.home), XDG_CONFIG_HOME=str(desktop.config),
                        XDG_RUNTIME_DIR=str(desktop.runtime), DBUS_SESSION_BUS_ADDRESS=f"unix:path={bus}")
        for name in ("PIPEWIRE_REMOTE", "PIPEWIRE_RUNTIME_DIR", "PULSE_SERVER", "DISPLAY"):
            self.env.pop(name, None)
        self.processes = []

    def _start(self, name, command):
        log = open(self.folder / f"{name}.log", "wb")
        process = subprocess.Popen(command, env=self.env, stdout=log, stderr=subprocess.STDOUT,
                                   stdin=subprocess.DEVNULL, cwd=self.folder)
        log.close()
        self.processes.append(process)
        return process

    def start(self):
        self._start("dbus", ["dbus-daemon", "--session", "--nofork", "--nopidfile",
                             "--address=" + self.env["DBUS_SESSION_BUS_ADDRESS"]])
        daemon = self._start("pipewire", ["pipewire"])
        if not self._wait(lambda: any(n["name"] == SINK for n in self.nodes()), daemon):
            return False
        manager = self._start("wireplumber", ["wireplumber"])
        return self._wait(lambda: self._default_sink_set(), manager)

    def _wait(self, ready, process):
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            if process.poll() is not None:
                return False
            try:
                if ready():
                    return True
            except (subprocess.SubprocessError, ValueError, KeyError):
                pass
            time.sleep(0.1)
        return False

    def _default_sink_set(self):
        done = subprocess.run(["pw-metadata", "0", "default.audio.sink"], env=self.env, capture_output=True,
                              text=True, timeout=STEP_TIMEOUT)
        return SINK in done.stdout

    def nodes(self):
        """Every node: its name, media class and state."""
        done = subprocess.run(["pw-dump"], env=self.env, capture_output=True, text=True, timeout=STEP_TIMEOUT)
        found = []
        for item in json.loads(done.stdout or "[]"):
            if item.get("type") != "PipeWire:Interface:Node":
                continue
            info = item.get("info") or {}
            props = info.get("props") or {}
            found.append({"name": props.get("node.name", ""), "class": props.get("media.class", ""),
                          "state": info.get("state", "")})
        return found

    def output_streams(self):
        return [n for n in self.nodes() if n["class"] == "Stream/Output/Audio"]

    def log(self):
        return "".join(f"--- {log.name}\n{log.read_text(errors='replace')}" for log in self.folder.glob("*.log"))

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()


def wav_audio(data):
    """The samples of a WAV file that may not have been finished."""
    at = data.find(b"data")
    expect(data[:4] == b"RIFF" and at >= 0, "the recording is no WAV file")
    audio = data[at + 8:]
    return audio[:len(audio) - len(audio) % 4]


def pipewire_case(desktop, args):
    missing = [name for name in ("pipewire", "wireplumber", "dbus-daemon", "pw-record", "pw-dump", "pw-metadata")
               if not shutil.which(name)]
    plugin = pipewire_plugin()
    if missing or plugin is None:
        what = ", ".join(missing) or "PipeWire's ALSA plugin"
        print(f"SKIP: {what} missing (scripts/install-deps.sh installs it)")
        sys.exit(SKIP)
    server = PipeWire(desktop)
    try:
        if not server.start():
            print(f"SKIP: PipeWire did not start\n{server.log()}")
            sys.exit(SKIP)
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = server.env["DBUS_SESSION_BUS_ADDRESS"]
        for name in ("PIPEWIRE_REMOTE", "PIPEWIRE_RUNTIME_DIR"):
            os.environ.pop(name, None)
        # The plugin by its path: the test does not depend on the machine's
        # ALSA configuration naming it.
        desktop._alsa_config(f'pcm_type.pipewire {{ lib "{plugin}" }}\n'
                             "pcm.!default { type pipewire }\n")
        disc = Disc(desktop.tools, desktop.work / "discs", "clean", [4000, 3000], label="PIPEWIRE DISC")

        recording = desktop.work / "monitor.wav"
        recorder = subprocess.Popen(["pw-record", "--target", SINK, "-P", "{ stream.capture.sink = true }",
                                     "--rate", "44100", "--channels", "2", "--format", "s16", str(recording)],
                                    env=server.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            window = desktop.start_program([disc.entry("E")])
            wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)
            # The sound is set up (the window is drawn after it): the program
            # has checked the device and let go of it.
            time.sleep(0.5)
            streams = server.output_streams()
            expect(not streams, f"the idle program holds a stream: {streams}")

            window.type_into("StartSec", str(START))
            window.click("PlayBtn")
            desktop.wait_for_log("2 Tracks gefunden...")
            poll(lambda: [n["state"] for n in server.output_streams()] == ["running"], STEP_TIMEOUT,
                 "one running stream while playing")
            wanted = (HEARD_BUFFERS + 3) * STAGING_BYTES
            poll(lambda: recording.exists() and recording.stat().st_size >= wanted + 5 * 176400, START_TIMEOUT,
                 "the sound to be played")
            window.click("StopBtn")
            desktop.wait_for_log("Wiedergabe gestoppt...")
            poll(lambda: not server.output_streams(), STEP_TIMEOUT, "the stream to go after Stop")
            time.sleep(0.5)
            streams = server.output_streams()
            expect(not streams, f"a stream is back after Stop: {streams}")
            status = window.close()
            expect(status == 0, f"rilvane ended with status {status}")
        finally:
            recorder.send_signal(signal.SIGINT)
            try:
                recorder.wait(timeout=STEP_TIMEOUT)
            except subprocess.TimeoutExpired:
                recorder.kill()
                recorder.wait()
        sound = wav_audio(recording.read_bytes())
        check_played(disc, sound.rstrip(b"\0"), "monitor")
    finally:
        server.stop()


# --- a pipe whose reader goes away --------------------------------------------------------


def pipe_case(desktop, args):
    capture = desktop.work / "capture.raw"
    runs = desktop.work / "reader-runs"
    reader = desktop.work / "reader.sh"
    # The file plugin starts the command when the device is opened: at
    # start-up (this one reads a little and leaves) and when the program
    # opens the device again (this one is a paced capture).
    reader.write_text("#!/bin/sh\n"
                      f"if [ ! -e '{runs}' ]; then\n"
                      f"    : > '{runs}'\n"
                      "    exec head -c 400000 > /dev/null\n"
                      "fi\n"
                      f"exec '{desktop.tools.paced_capture}' {args.rate} '{capture}'\n")
    reader.chmod(0o755)
    desktop._alsa_config("pcm.!default {\n    type file\n    slave.pcm \"null\"\n"
                         f"    file \"|{reader}\"\n    format \"raw\"\n}}\n")
    disc = Disc(desktop.tools, desktop.work / "discs", "clean", [4000, 3000], label="PIPE DISC")
    window = desktop.start_program([disc.entry("E")])
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)

    window.type_into("StartSec", str(START))
    window.click("PlayBtn")
    desktop.wait_for_log(LOST_LINE)
    desktop.wait_for_log("Wiedergabe gestoppt...")
    time.sleep(0.5)
    expect(desktop.alive(), "rilvane ended when the pipe's reader went away")
    desktop.screenshot("device-lost")

    # The device is back: the same window plays again.
    window.type_into("StartSec", str(START))
    window.click("PlayBtn")
    desktop.wait_for_log("2 Tracks gefunden...", count=2)
    growing = Path(str(capture) + ".part")
    poll(lambda: growing.exists() and growing.stat().st_size >= (HEARD_BUFFERS + 3) * STAGING_BYTES,
         START_TIMEOUT, "the sound to be played again")
    window.click("StopBtn")
    desktop.wait_for_log("Wiedergabe gestoppt...", count=2)
    expect(desktop.log_lines().count(LOST_LINE) == 1, "the device was reported lost again")
    status = window.close()
    expect(status == 0, f"rilvane ended with status {status}")
    poll(capture.exists, START_TIMEOUT, "the capture to be complete")
    # The new reader's pipe takes up to 64 KiB before the reader gets to
    # shrink it, more than a sound card takes at once, so the start of this
    # session may be cut; from its second staging buffer on it must be exact.
    check_played(disc, capture.read_bytes(), "capture", from_buffer=1)


if __name__ == "__main__":
    parser = arguments(__doc__)
    parser.add_argument("--case", choices=("server", "pipewire", "pipe"), required=True)
    cases = {"server": server_case, "pipewire": pipewire_case, "pipe": pipe_case}
    arguments_given = parser.parse_known_args()[0]
    sys.exit(run(f"sound-{arguments_given.case}", cases[arguments_given.case], parser))
