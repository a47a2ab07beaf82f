#!/usr/bin/env python3
"""Processor time of the whole program per second of audio played, beside
aplay playing the same bytes to the same kind of device, in paired runs.

The real rilvane plays a clean virtual disc on an Xvfb display of its own,
into ALSA's file plugin piping into rilvane-paced-capture at real time, the
way a sound card takes it. aplay plays the same disc bytes to the same
configuration. Both are measured the same way (benchlib.CpuStretch): once
WARMUP seconds of sound have reached the capture, the run times of the
player's own threads are read, and again SECONDS of sound later; the
difference per second of audio is its cost, without start-up or shut-down.
Neither side counts the capture process, and rilvane's side does not count
the X server (its time over the same stretch is shown beside it). The pairs
alternate which player goes first; every pair is printed, then the median
and range of each figure and of the ratio. The feeder thread of the sound
layer (dsound-feeder) is shown on its own as well. Nothing is asserted about
the numbers.

With --audacious a third side joins each round: Audacious, a GUI audio
player, plays the same bytes as a WAV file to the same paced device through
its ALSA output plugin, its main window shown on the same display (the
X server's time is shown beside it, not counted, as for rilvane). It gets a
private HOME and XDG_CONFIG_HOME whose Audacious configuration selects the
ALSA output, device "default", 16-bit samples (so the device takes the
file's bytes as they are and is paced like the others); everything else is
Audacious's default, its GTK window included. It is measured the same way;
the rounds rotate which of the three goes first.
"""

import os
import shutil
import subprocess
import sys
from pathlib import Path

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "e2e"))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))

from benchlib import CpuStretch, settle, size_of, spread, wait_for_bytes  # noqa: E402
from rilvane_e2e import (CD_BYTES_PER_SECOND, SKIP, START_TIMEOUT, Disc, Failure, _die_with_parent,  # noqa: E402
                         arguments, capture_config, expect, poll, run, wav_header, wait_painted)

FEEDER = "dsound-feeder"
AUDACIOUS = "/usr/bin/audacious"
ALSA_OUTPUT = Path("/usr/lib/x86_64-linux-gnu/audacious/Output/alsa.so")


def stretch_bounds(args):
    first = int(args.warmup * CD_BYTES_PER_SECOND)
    return first, first + int(args.seconds * CD_BYTES_PER_SECOND)


def measure_program(desktop, disc, args, pair):
    """(CPU seconds of rilvane's threads, of its feeder thread, of Xvfb,
    audio seconds) over the measured stretch."""
    capture = desktop.work / f"program-capture-{pair}.raw"
    desktop.sound_to_capture(CD_BYTES_PER_SECOND, capture)
    settle()
    window = desktop.start_program([disc.entry("E")])
    wait_painted(desktop, (window.x, window.y, window.width, window.height), START_TIMEOUT)
    window.click("PlayBtn")
    desktop.wait_for_log("2 Tracks gefunden...")

    growing = Path(str(capture) + ".part")
    first, last = stretch_bounds(args)
    if not wait_for_bytes(growing, first, desktop.alive, START_TIMEOUT):
        raise Failure("the warm-up sound never reached the capture")
    at0 = size_of(growing)
    program, xvfb = CpuStretch(desktop.program.pid), CpuStretch(desktop.xvfb.pid)
    if not wait_for_bytes(growing, last, desktop.alive, START_TIMEOUT + args.seconds * 2):
        raise Failure("the measured sound never reached the capture")
    program.finish()
    xvfb.finish()
    at1 = size_of(growing)
    if program.ended:
        print(f"  (rilvane: threads {program.ended} ended during the measurement; their time is missing)")

    window.click("StopBtn")
    desktop.wait_for_log("Wiedergabe gestoppt...")
    if pair == 0:
        desktop.screenshot("playback-bench")
    status = window.close()
    expect(status == 0, f"rilvane ended with status {status}")
    return program.total, program.by_name.get(FEEDER, 0.0), xvfb.total, (at1 - at0) / CD_BYTES_PER_SECOND


def paced_config(desktop, name, pair):
    """A private HOME/XDG_CONFIG_HOME whose ALSA default device is the paced
    capture; (its folder, the capture's growing file)."""
    config = desktop.work / f"{name}-{pair}"
    (config / "alsa").mkdir(parents=True)
    capture = desktop.work / f"{name}-capture-{pair}.raw"
    (config / "alsa" / "asoundrc").write_text(capture_config(desktop.tools, CD_BYTES_PER_SECOND, capture))
    return config, Path(str(capture) + ".part")


def measure_player(command, env, growing, args, what, started=lambda child: None, measured=lambda: None,
                   beside=None):
    """(CPU seconds of the player's threads, audio seconds, CPU seconds of the
    process BESIDE meanwhile or None) over the measured stretch; the player
    runs COMMAND to its end. STARTED(child) runs once it has started,
    MEASURED() right after the measured stretch."""
    settle()
    first, last = stretch_bounds(args)
    child = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL, preexec_fn=_die_with_parent, cwd=env["HOME"])
    try:
        alive = lambda: child.poll() is None  # noqa: E731
        started(child)
        if not wait_for_bytes(growing, first, alive, START_TIMEOUT):
            raise Failure(f"{what}'s warm-up sound never reached the capture")
        at0 = size_of(growing)
        stretch = CpuStretch(child.pid)
        other = CpuStretch(beside) if beside else None
        if not wait_for_bytes(growing, last, alive, START_TIMEOUT + args.seconds * 2):
            raise Failure(f"{what}'s measured sound never reached the capture")
        stretch.finish()
        if other:
            other.finish()
        at1 = size_of(growing)
        measured()
        status = child.wait(timeout=START_TIMEOUT)
        expect(status == 0, f"{what} ended with status {status}")
    finally:
        if child.poll() is None:
            child.kill()
            child.wait()
    if stretch.ended:
        print(f"  ({what}: threads {stretch.ended} ended during the measurement; their time is missing)")
    return stretch.total, (at1 - at0) / CD_BYTES_PER_SECOND, other.total if other else None


def disc_audio(desktop, disc, args):
    """The bytes both other players play: the first track from sector 500,
    a second longer than the warm-up and the measured stretch."""
    raw = desktop.work / "player.in"
    if not raw.exists():
        raw.write_bytes(disc.sectors(500, int((args.warmup + args.seconds + 1) * 75)))
    return raw


def measure_audacious(desktop, disc, args, pair):
    """(CPU seconds of Audacious's threads, audio seconds, CPU seconds of Xvfb)
    over the measured stretch, Audacious playing the disc's bytes as a WAV file with its window
    shown, then quitting at the file's end."""
    wav = desktop.work / "player.wav"
    if not wav.exists():
        audio = disc_audio(desktop, disc, args).read_bytes()
        wav.write_bytes(wav_header(len(audio)) + audio)
    config, growing = paced_config(desktop, "audacious", pair)
    (config / "audacious").mkdir()
    # The output plugin chosen is the one enabled in the plugin registry; the
    # plugins it does not list are added at start, not enabled.
    (config / "audacious" / "plugin-registry").write_text(
        f"format 11\noutput {ALSA_OUTPUT}\nstamp {int(ALSA_OUTPUT.stat().st_mtime)}\nversion 48\nflags 0\n"
        "name ALSA Output\ndomain audacious-plugins\npriority 5\nabout 1\nconfig 1\nenabled 1\n")
    (config / "audacious" / "config").write_text(
        "[alsa]\npcm=default\nmixer=default\n\n[audacious]\noutput_bit_depth=16\n")
    env = desktop.x_environment()
    for name in ("ALSA_CONFIG_PATH", "PULSE_SERVER", "DBUS_SESSION_BUS_ADDRESS"):
        env.pop(name, None)
    env.update(HOME=str(config), XDG_CONFIG_HOME=str(config), XDG_RUNTIME_DIR=str(desktop.runtime))

    def window_shown(child):
        def shown():
            expect(child.poll() is None, "Audacious ended before its window showed")
            return desktop.window_named(r"Audacious$")
        poll(shown, START_TIMEOUT, "Audacious's window")

    def screenshot():
        if pair == 0:
            desktop.screenshot("playback-bench-audacious")
    return measure_player([AUDACIOUS, "--quit-after-play", str(wav)], env, growing, args, "Audacious",
                          window_shown, screenshot, desktop.xvfb.pid)


def measure_aplay(desktop, disc, args, pair):
    """(CPU seconds of aplay's threads, audio seconds, None) over the measured
    stretch, aplay playing the disc's bytes to the same paced device."""
    config, growing = paced_config(desktop, "aplay", pair)
    env = dict(os.environ, HOME=str(config), XDG_CONFIG_HOME=str(config))
    env.pop("ALSA_CONFIG_PATH", None)
    raw = disc_audio(desktop, disc, args)
    return measure_player(["aplay", "-q", "-D", "default", "-t", "raw", "-f", "cd", str(raw)], env, growing, args,
                          "aplay")


def body(desktop, args):
    disc = Disc(desktop.tools, desktop.work / "discs", "clean", [4500, 4500], label="BENCH DISC")
    sides = [("rilvane", measure_program), ("aplay", measure_aplay)]
    if args.audacious:
        if os.access(AUDACIOUS, os.X_OK) and ALSA_OUTPUT.exists():
            sides.append(("audacious", measure_audacious))
        else:
            print(f"SKIP (Audacious side): {AUDACIOUS} or its ALSA output plugin is missing "
                  "(Debian's audacious and audacious-plugins)")
    rows = []
    print(f"{args.pairs} rounds, {args.seconds:g} s of audio measured after {args.warmup:g} s at real time; "
          "ms of CPU per audio second, the player's own threads only")
    for pair in range(args.pairs):
        turn = pair % len(sides)
        got = {name: measure(desktop, disc, args, pair) for name, measure in sides[turn:] + sides[:turn]}
        cpu, feeder, xcpu, audio = got["rilvane"]
        row = {"rilvane": cpu * 1000 / audio, FEEDER: feeder * 1000 / audio, "xvfb": xcpu * 1000 / audio}
        row.update({name: got[name][0] * 1000 / got[name][1] for name, _ in sides[1:]})
        if "audacious" in got:
            row["xvfb-audacious"] = got["audacious"][2] * 1000 / got["audacious"][1]
        rows.append(row)
        print(f"  round {pair + 1}: rilvane {row['rilvane']:.3f} (of it {FEEDER} {row[FEEDER]:.3f}; "
              f"Xvfb beside it {row['xvfb']:.3f}), "
              + ", ".join(f"{name} {row[name]:.3f}" for name, _ in sides[1:])
              + (f" (Xvfb beside it {row['xvfb-audacious']:.3f})" if "xvfb-audacious" in row else ""))
    column = lambda name: [r[name] for r in rows]  # noqa: E731
    print(f"rilvane (whole process):     {spread(column('rilvane'))} ms per audio second")
    print(f"{FEEDER} thread alone:       {spread(column(FEEDER))} ms per audio second")
    print(f"Xvfb meanwhile (not counted): {spread(column('xvfb'))} ms per audio second")
    for name, _ in sides[1:]:
        print(f"{name + ' (whole process):':<29}{spread(column(name))} ms per audio second")
    if len(sides) > 2:
        print(f"Xvfb during Audacious (not counted): {spread(column('xvfb-audacious'))} ms per audio second")
    for name, _ in sides[1:]:
        if min(column(name)) > 0:
            print(f"ratio rilvane/{name}: {spread([r['rilvane'] / r[name] for r in rows])}")
            if name == "aplay":
                print(f"ratio feeder/aplay:  {spread([r[FEEDER] / r['aplay'] for r in rows])}")
        else:
            print(f"{name} used no measurable processor time")


if __name__ == "__main__":
    if shutil.which("aplay") is None:
        print("SKIP: aplay is missing (alsa-utils)")
        sys.exit(SKIP)
    parser = arguments(__doc__)
    parser.add_argument("--pairs", type=int, default=5, help="rounds (each measures every side once)")
    parser.add_argument("--seconds", type=float, default=12, help="seconds of audio measured")
    parser.add_argument("--warmup", type=float, default=2, help="seconds of audio before measuring")
    parser.add_argument("--audacious", action="store_true",
                        help="add Audacious playing the same bytes as a WAV file, its window shown")
    sys.exit(run("playback-bench", body, parser))
