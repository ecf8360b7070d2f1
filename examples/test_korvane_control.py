"""A receiver's tests driving korvane-headless through its control channel.

Each test starts a fresh Korvane in a folder of its own, serving WITS over TCP
on loopback. One socket plays the receiver; another steers the rig. Only the
standard library and pytest:

    python3 -m pytest examples/test_korvane_control.py
    KORVANE_HEADLESS=/usr/bin/korvane-headless python3 -m pytest examples/test_korvane_control.py

Without KORVANE_HEADLESS it runs the program a source build makes.
"""

import json
import os
import re
import socket
import subprocess
import time
from pathlib import Path

import pytest

HEADLESS = os.environ.get(
    "KORVANE_HEADLESS",
    str(Path(__file__).resolve().parents[1] / "build/release/src/headless/korvane-headless"),
)
LOOPBACK = "127.0.0.1"
# Seconds any one wait may take: ample, so slow and sanitizer builds pass too.
WAIT = 15.0

# One WITS Level 0 record: "&&", then lines of a four-digit item code and its
# value, then "!!", every line ended by CR LF.
RECORD = re.compile(rb"&&\r\n((?:\d{4}[^\r\n]*\r\n)*)!!\r\n")


class Control:
    """A control channel client: one command line out, one JSON reply line back.

    After "watch" the same connection carries events between the replies; a
    reply never has an "event" key. Events are kept until wait_event takes them.
    """

    def __init__(self, port):
        self.sock = socket.create_connection((LOOPBACK, port), timeout=WAIT)
        self.lines = self.sock.makefile("rb")
        self.events = []

    def _read(self):
        line = self.lines.readline()
        if not line:
            raise EOFError("the control channel closed")
        return json.loads(line)

    def __call__(self, command):
        self.sock.sendall(command.encode() + b"\n")
        while "event" in (message := self._read()):
            self.events.append(message)
        return message

    def ok(self, command):
        reply = self(command)
        assert reply["ok"], f"{command}: {reply['error']}"
        return reply

    def wait_event(self, kind):
        # The socket's time-out ends a wait for an event that never comes.
        while True:
            for event in self.events:
                if event["event"] == kind:
                    self.events.remove(event)
                    return event
            self.events.append(self._read())


class Receiver:
    """What a WITS receiver does on Korvane's TCP link: read frames, send records."""

    def __init__(self, port):
        self.sock = socket.create_connection((LOOPBACK, port), timeout=WAIT)
        self.data = b""

    def record(self):
        while not (match := RECORD.match(self.data)):
            # A record that has ended and still does not match is malformed.
            assert b"!!\r\n" not in self.data, f"not a WITS record: {self.data!r}"
            chunk = self.sock.recv(4096)
            if not chunk:
                raise EOFError("Korvane closed the connection")
            self.data += chunk
        self.data = self.data[match.end() :]
        return match.group(1).decode("ascii")

    def frame(self):
        """The next frame's items, such as {"0108": "1200.0000", ...}."""
        # Every frame opens with the greeting record, which carries no items;
        # with extraneous records off the data record is all that follows.
        assert self.record() == "1984KVT\r\n"
        return {line[:4]: line[4:] for line in self.record().split("\r\n") if line}

    def send(self, data):
        self.sock.sendall(data)


def wait_for_line(pattern, log, process):
    deadline = time.monotonic() + WAIT
    while not (match := re.search(pattern, log.read_bytes())):
        assert process.poll() is None, f"korvane-headless ended: {log.read_text()}"
        assert time.monotonic() < deadline, f"no {pattern!r} in: {log.read_text()}"
        time.sleep(0.05)
    return match


@pytest.fixture
def korvane(tmp_path):
    """A running korvane-headless with no link yet, and a client of its control channel.

    It keeps Korvane.ini in its working directory, tmp_path here. Its
    single-instance lock goes in XDG_RUNTIME_DIR, pointed there too, so a
    Korvane the same user already runs does not keep this one from starting.
    """
    log = tmp_path / "stderr.txt"
    with open(log, "wb") as stderr:
        process = subprocess.Popen(
            [HEADLESS, "--control", "0"],  # port 0: the system chooses one
            cwd=tmp_path,
            env={**os.environ, "XDG_RUNTIME_DIR": str(tmp_path)},
            stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL,
            stderr=stderr,
        )
    try:
        port = wait_for_line(rb"Control channel on 127\.0\.0\.1:(\d+)", log, process)
        control = Control(int(port.group(1)))
        yield control
        # Every test ends as a script would: quit, then a clean exit that saved the settings.
        assert control("quit") == {"ok": True}
        assert process.wait(WAIT) == 0
        assert (tmp_path / "Korvane.ini").is_file()
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


@pytest.fixture
def link(korvane):
    """Korvane streaming over TCP on loopback, and a receiver connected to it."""
    korvane.ok("watch")
    korvane.ok("mode streaming")
    korvane.ok("interval 3600")  # frames only when a receiver connects and on "send"
    korvane.ok("link tcp-listen 127.0.0.1:0")
    state = korvane.ok("get")["link"]
    assert (state["medium"], state["role"]) == ("tcp", "server")
    receiver = Receiver(state["port"])
    assert korvane.wait_event("connected")["note"].startswith("Receiver #1 127.0.0.1:")
    receiver.frame()  # a receiver that connects gets a frame at once
    return korvane, receiver


def test_frames_carry_what_is_set(link):
    korvane, receiver = link
    # rop 0 first: with the bit standing still, the depths go out as set.
    for command in [
        "set rop 0",
        "set depth.hole 1234.5",
        "set depth.bit 1200",
        "set pump1.spm 60",
        "set pump2.on 0",
        "set gas.value 42",
        "set gas.on 1",
    ]:
        korvane.ok(command)
    korvane.ok("send")
    assert receiver.frame() == {
        "0108": "1200.0000",  # bit depth
        "0110": "1234.5000",  # hole depth
        "0123": "60.00",  # pump 1; pump 2 does not circulate, so 0124 is left out
        "0125": "90.00",
        "9003": "42.00",  # the simulated gas
    }

    # The rate of penetration is not an item of its own: it moves the depths,
    # in minutes per foot. At 0.5 that is 2 ft a minute, 20 ft a second of
    # real time at clock.scale 600.
    korvane.ok("clock.scale 600")
    korvane.ok("set rop 0.5")
    korvane.ok("send")
    first, started = float(receiver.frame()["0110"]), time.monotonic()
    time.sleep(2)
    korvane.ok("send")
    drilled = float(receiver.frame()["0110"]) - first
    # The clock steps every half second, so the depth trails by up to that.
    assert 12 < drilled / (time.monotonic() - started) < 30


def test_gas_sent_by_the_receiver_comes_back(link):
    korvane, receiver = link
    receiver.send(b"&&\r\n014025.5\r\n!!\r\n")  # item 0140: the receiver's gas reading
    assert korvane.wait_event("gas")["value"] == 25.5
    # The event goes out as the data arrives, a moment before the link has
    # taken the reading, so get may show it a little later.
    deadline = time.monotonic() + WAIT
    while korvane.ok("get")["gas"]["received"] != 25.5:
        assert time.monotonic() < deadline, "get never showed the receiver's gas"
        time.sleep(0.05)


def test_a_bad_command_is_refused_and_changes_nothing(korvane):
    assert korvane("drill faster") == {"ok": False, "error": "drill: no such command"}
    assert korvane("set pump1.spm 65") == {
        "ok": False,
        "error": "set pump1.spm: expected one of 90, 80, 70, 60, 50, 40 and 0",
    }
    assert korvane.ok("get")["pumps"][0]["spm"] == 90
