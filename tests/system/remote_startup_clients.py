#!/usr/bin/python3
"""Every client-driven transport of a started instrument, as its own users reach it.

usage: remote_startup_clients.py RAW_PORT HISLIP_PORT SERIAL_HOST_END
Prints "NAME: ANSWER" lines (the identity over the raw socket and VXI-11 through pyvisa-py,
HiSLIP through the project's client and RS-232 through python3-serial; an error caused over the
raw socket as read over VXI-11; the operation register's filters and enable over VXI-11).
Exits 0, or 1 with the reason on stderr, or 3 when a client library is missing.
"""
import os
import sys
import time

try:
    import pyvisa
    import serial
except ImportError as error:
    print(f"missing client library: {error}", file=sys.stderr)
    sys.exit(3)

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import hislip_client  # noqa: E402


def serial_query(device, text, timeout=20.0):
    with serial.Serial(device, 9600, timeout=0.5) as line:
        line.reset_input_buffer()
        line.write(text.encode() + b"\n")
        answer = b""
        deadline = time.monotonic() + timeout
        while not answer.endswith(b"\n") and time.monotonic() < deadline:
            answer += line.read(256)
        return answer.decode(errors="replace").strip()


def main(argv):
    if len(argv) != 4:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    raw_port, hislip_port, serial_end = int(argv[1]), int(argv[2]), argv[3]
    manager = pyvisa.ResourceManager("@py")
    raw = manager.open_resource(f"TCPIP::127.0.0.1::{raw_port}::SOCKET",
                                read_termination="\n", write_termination="\n", timeout=20000)
    vxi = manager.open_resource("TCPIP::127.0.0.1::INSTR", timeout=20000)
    vxi.read_termination = "\n"
    print("raw:", raw.query("*IDN?").strip())
    print("vxi11:", vxi.query("*IDN?").strip())
    with hislip_client.Client("127.0.0.1", hislip_port, timeout=20.0) as client:
        print("hislip:", client.query("*IDN?").strip())
    print("rs232:", serial_query(serial_end, "*IDN?"))
    # Emptied first, so the one error read is the one caused here.
    while not vxi.query("SYST:ERR?").startswith("+0,"):
        pass
    raw.write("NO:SUCH:HEADER")
    raw.query("*OPC?")  # the bad message has run once its session's next one answers
    print("error:", vxi.query("SYST:ERR?").strip())
    for query in ("STAT:OPER:PTR?", "STAT:OPER:NTR?", "STAT:OPER:ENAB?",
                  "STAT:QUES:PTR?", "STAT:QUES:NTR?", "STAT:QUES:ENAB?"):
        print(f"{query}", vxi.query(query).strip())
    raw.close()
    vxi.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
