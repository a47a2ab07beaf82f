#!/usr/bin/env python3
"""Relays QMP commands from the guest to QEMU: the guest writes a command
(one JSON object) into OUT/NAME.qmp on the shared folder; this sends it to
QEMU's monitor socket and writes the answer to OUT/NAME.answer. Runs until
QEMU's socket goes away.

    qmp_relay.py SOCKET OUT
"""
import json
import os
import socket
import sys
import time

sock_path, out = sys.argv[1], sys.argv[2]
for _ in range(200):
    try:
        s = socket.socket(socket.AF_UNIX)
        s.connect(sock_path)
        break
    except OSError:
        time.sleep(0.1)
else:
    sys.exit(0)
stream = s.makefile("rw")


def call(command):
    stream.write(json.dumps(command) + "\n")
    stream.flush()
    while True:  # events may come before the answer
        reply = json.loads(stream.readline())
        if "return" in reply or "error" in reply:
            return reply


json.loads(stream.readline())  # greeting
call({"execute": "qmp_capabilities"})
while True:
    try:
        names = sorted(n for n in os.listdir(out) if n.endswith(".qmp"))
    except OSError:
        break
    for name in names:
        path = os.path.join(out, name)
        try:
            command = json.load(open(path))
            reply = call(command)
        except (OSError, ValueError) as e:
            reply = {"error": str(e)}
        except ConnectionError:
            sys.exit(0)
        os.unlink(path)
        with open(path[:-4] + ".answer.part", "w") as f:
            json.dump(reply, f)
        os.rename(path[:-4] + ".answer.part", path[:-4] + ".answer")
    if not names:
        time.sleep(0.1)
