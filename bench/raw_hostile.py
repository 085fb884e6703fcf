#!/usr/bin/env python3
"""Hostile clients against a running instrument's raw socket, as ratios against a baseline
measured in the same run:

  answer time   *IDN? every 100 ms while another client floods *CLS lines without reading,
                against the same queries with no flood (the ratio of the slowest answers, and
                the slowest in ms, to set against the one-second bound);
  memory        the program's resident size at its peak during the flood and while a client
                sends 100 MB of queries and never reads, against its size before (the ratio,
                and MB to set against the 100 MB bound).

  bench/raw_hostile.py HOST:PORT PID [seconds]
"""
import socket
import sys
import threading
import time


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return -1


def query(sock, line):
    sock.sendall(line + b"\n")
    answer = b""
    while not answer.endswith(b"\n"):
        chunk = sock.recv(4096)
        if not chunk:
            raise RuntimeError("connection closed")
        answer += chunk
    return answer


def timed_queries(address, seconds, pid, peak):
    times = []
    with socket.create_connection(address, timeout=10) as sock:
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            start = time.monotonic()
            query(sock, b"*IDN?")
            times.append(time.monotonic() - start)
            peak[0] = max(peak[0], resident_kib(pid))
            time.sleep(0.1)
    return times


def flood(address, line, seconds, most, stop):
    chunk = line * (65536 // len(line))
    sent = 0
    with socket.create_connection(address, timeout=10) as sock:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        sock.settimeout(0.2)
        end = time.monotonic() + seconds
        while time.monotonic() < end and sent < most and not stop.is_set():
            try:
                sent += sock.send(chunk)
            except socket.timeout:
                pass
    return sent


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    host, port = sys.argv[1].rsplit(":", 1)
    address = (host, int(port))
    pid = int(sys.argv[2])
    seconds = int(sys.argv[3]) if len(sys.argv) > 3 else 30

    before = resident_kib(pid)
    peak = [before]
    quiet = timed_queries(address, min(seconds, 5), pid, peak)

    stop = threading.Event()
    flooder = threading.Thread(target=flood, args=(address, b"*CLS\n", seconds, 1 << 62, stop))
    flooder.start()
    loud = timed_queries(address, seconds, pid, peak)
    stop.set()
    flooder.join()
    flood_peak = peak[0]

    peak = [resident_kib(pid)]
    stop = threading.Event()
    result = {}
    hog = threading.Thread(
        target=lambda: result.setdefault("sent", flood(address, b"*IDN?\n", 20, 100 << 20, stop)))
    hog.start()
    while hog.is_alive():
        peak[0] = max(peak[0], resident_kib(pid))
        time.sleep(0.1)
    hog_peak = peak[0]

    print(f"baseline   {len(quiet)} queries, slowest {max(quiet) * 1000:.1f} ms, "
          f"resident {before / 1024:.1f} MB")
    print(f"flood      {len(loud)} queries, slowest {max(loud) * 1000:.1f} ms, "
          f"resident peak {flood_peak / 1024:.1f} MB")
    print(f"non-reader {result.get('sent', 0) / 1048576:.1f} MB of queries taken, "
          f"resident peak {hog_peak / 1024:.1f} MB")
    print(f"ratio      slowest answer flood/baseline {max(loud) / max(quiet):.2f}")
    print(f"ratio      resident flood/baseline {flood_peak / before:.2f}, "
          f"non-reader/baseline {hog_peak / before:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
