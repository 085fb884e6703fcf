#!/usr/bin/python3
"""The instrument's RS-232 line as a host program sees it, through python3-serial.

usage: rs232_pyserial.py HOST_END DEVICE_END
HOST_END is the host's end of the pty pair, DEVICE_END the end the instrument opened.
Prints one line per check and exits 0 when all passed, 1 on a failure and 3 when
python3-serial is missing.
"""
import os
import re
import sys
import termios
import time

try:
    import serial
except ImportError:
    print("python3-serial is not installed")
    sys.exit(3)

IDENTITY = re.compile(rb"^[^,\n]+,[^,\n]+,[^,\n]+,[^,\n]+\n$")
failures = []


def check(name, ok, detail=b""):
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else " " + repr(detail)))
    if not ok:
        failures.append(name)


class Line:
    """Splits what the instrument sends into status records (0x01, status byte) and text lines;
    text never holds the byte 0x01."""

    def __init__(self, port):
        self.port = port
        self.records = []
        self.lines = []
        self.text = b""
        self.record = False

    def pump(self, seconds):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            data = self.port.read(self.port.in_waiting or 1)
            for byte in data:
                if self.record:
                    self.records.append(byte)
                    self.record = False
                elif byte == 1:
                    self.record = True
                else:
                    self.text += bytes([byte])
                    if byte == 10:
                        self.lines.append(self.text)
                        self.text = b""

    def line(self, seconds=5.0):
        end = time.monotonic() + seconds
        while not self.lines and time.monotonic() < end:
            self.pump(0.05)
        return self.lines.pop(0) if self.lines else b""

    def query(self, text):
        self.port.write(text)
        return self.line()


def main():
    host, device = sys.argv[1], sys.argv[2]
    port = serial.Serial(host, 19200, timeout=0.05)
    line = Line(port)

    idn = line.query(b"*IDN?\n")
    check("identity", bool(IDENTITY.match(idn)), idn)

    # 4096 bytes without a newline: dropped with -363; the next message works.
    line.query(b"*CLS;*OPC?\n")
    port.write(b"x" * 4096)
    port.flush()
    time.sleep(0.3)
    err = line.query(b"\nSYST:ERR?\n")
    check("overrun reported", err.startswith(b"-363,"), err)
    err = line.query(b"SYST:ERR?\n")
    check("queue empty after the overrun", err.startswith(b"+0,"), err)
    check("identity after the overrun", line.query(b"*IDN?\n") == idn)

    # A flood of text without line ends: each full buffer is dropped with -363, the line stays
    # usable and loses nothing after the flood.
    port.write(bytes(range(32, 127)) * 200)
    port.flush()
    time.sleep(0.5)
    line.query(b"\n*CLS;*OPC?\n")
    check("identity after a flood", line.query(b"*IDN?\n") == idn)
    err = line.query(b"SYST:ERR?\n")
    check("queue empty after the flood", err.startswith(b"+0,"), err)

    # Line settings from the preferences (19200 8N1, no flow control) as the kernel holds them.
    fd = os.open(device, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
    attrs = termios.tcgetattr(fd)
    os.close(fd)
    check("bit rate", attrs[4] == termios.B19200 and attrs[5] == termios.B19200, attrs[4:6])
    cflag = attrs[2]
    check("8N1", cflag & termios.CSIZE == termios.CS8 and not cflag & termios.CSTOPB
          and not cflag & termios.PARENB, cflag)

    # Meta-command mode.
    check("meta mode on", line.query(b"SYST:COMM:ZOSTD:SAFU ON;SAFU?\n") == b"1\n")
    line.pump(0.3)
    line.records.clear()
    port.write(b"\x03\x01*IDN?\n")
    answer = line.line()
    check("go to remote, then an answer", answer == idn, answer)
    check("answer preceded by a record with message available",
          any(r & 0x10 for r in line.records), line.records)

    line.pump(0.2)
    line.records.clear()
    port.write(b"\x05\x00")
    line.pump(0.5)
    check("device clear answers with a record without message available",
          bool(line.records) and not line.records[-1] & 0x10, line.records)

    # Block data holding the code bytes is data: the message reaches the parser whole (and is
    # refused there), nothing acts as a meta command.
    line.query(b"*CLS;*OPC?\n")
    port.write(b"*OPC #14\x02\x03\x04\x05\n")
    err = line.query(b"SYST:ERR?\n")
    check("block data passed on as data", err.startswith(b"-1"), err)
    err = line.query(b"SYST:ERR?\n")
    check("nothing else queued", err.startswith(b"+0,"), err)

    check("meta mode off", line.query(b"SYST:COMM:ZOSTD:SAFU OFF;SAFU?\n").endswith(b"0\n"))
    port.close()
    return 1 if failures else 0


sys.exit(main())
