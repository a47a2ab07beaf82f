"""What the benchmarks share: processor time of one process, read the same
way for every player, a paced sound device, and medians.

Processor time is the sum of the run times of a process's own threads in
nanoseconds (/proc/PID/task/*/schedstat), read while the process runs. It
never includes another process: not the capture that ALSA's file plugin
starts (a child of the player, whose time a wait4 of the player would add
in once the player has reaped it), not the X server. Readings are taken
twice during playback, at points given by how much audio the device has
taken, and only the difference counts, so start-up and shut-down are left
out on both sides alike.
"""

import os
import statistics
import time
from pathlib import Path

CD_BYTES_PER_SECOND = 176400


def thread_times(pid):
    """{thread id: (name, run time in seconds)} of a running process."""
    times = {}
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            ns = int((task / "schedstat").read_text().split()[0])
            name = (task / "comm").read_text().strip()
        except (OSError, IndexError, ValueError):
            continue  # the thread ended in between
        times[int(task.name)] = (name, ns / 1e9)
    if not times:
        raise RuntimeError(f"no thread times for process {pid} (/proc/PID/task/*/schedstat missing?)")
    return times


class CpuStretch:
    """Processor time of a process between two readings, in total and by
    thread name. Threads that started after the first reading count from 0;
    a thread that ended in between is missing from the second reading, which
    would undercount, so that is reported."""

    def __init__(self, pid):
        self.pid = pid
        self.first = thread_times(pid)

    def finish(self):
        last = thread_times(self.pid)
        self.ended = sorted(set(self.first) - set(last))
        self.total = 0.0
        self.by_name = {}
        for tid, (name, seconds) in last.items():
            spent = seconds - self.first.get(tid, (name, 0.0))[1]
            self.total += spent
            self.by_name[name] = self.by_name.get(name, 0.0) + spent
        return self


def settle():
    """Writes out dirty data and, where allowed, empties the page cache, so a
    measurement does not pay for what an earlier step left behind."""
    os.sync()
    try:
        Path("/proc/sys/vm/drop_caches").write_text("3\n")
        return True
    except OSError:
        return False


def paced_capture_config(paced_capture, rate, output):
    """An ALSA configuration whose default device is ALSA's file plugin
    piping into rilvane-paced-capture at RATE bytes a second."""
    return ("pcm.!default {\n"
            "    type file\n"
            '    slave.pcm "null"\n'
            f'    file "|{paced_capture} {int(rate)} {output}"\n'
            '    format "raw"\n'
            "}\n")


def size_of(path):
    try:
        return Path(path).stat().st_size
    except FileNotFoundError:
        return 0


def wait_for_bytes(path, count, alive, timeout):
    """Waits until the file at PATH holds COUNT bytes; False when ALIVE()
    turns false or TIMEOUT passes first."""
    deadline = time.monotonic() + timeout
    while size_of(path) < count:
        if not alive() or time.monotonic() > deadline:
            return False
        time.sleep(0.005)
    return True


def spread(values):
    """'median (min–max)' of a list of numbers."""
    return f"{statistics.median(values):.3f} ({min(values):.3f}–{max(values):.3f})"


def median(values):
    return statistics.median(values)
