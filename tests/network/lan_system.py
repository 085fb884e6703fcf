#!/usr/bin/env python3
"""The LAN manager of the headless program in the two-namespace harness (lan-harness).

Usage: lan-harness python3 lan_system.py VEK_REMOTE VEK_POWERBOARD

The program runs in "dut" on a fresh board root whose network tools are the harness's
stand-ins; dnsmasq serves DHCP in "lan", and peer0 going down and up gives carrier edges.
"""
import json
import os
import select
import signal
import subprocess
import sys
import tempfile
import time

REMOTE, POWERBOARD = sys.argv[1], sys.argv[2]
DUT = os.environ["DUT_NETNS"]
INSTALL = os.environ["LAN_INSTALL"]
PREFERENCES = "etc/instr/preference_sig0903_vek3r.info"
LOOPBACK = "auto lo\niface lo inet loopback\n\n"
SYSCTL_OFF = ("net.ipv6.conf.all.disable_ipv6 = 1\nnet.ipv6.conf.default.disable_ipv6 = 1\n"
              "net.ipv6.conf.eth0.autoconf=0\n\n")

results = {"passed": 0, "failed": 0}


def check(what, ok, detail=""):
    if ok:
        results["passed"] += 1
        print(f"PASS   : {what}")
    else:
        results["failed"] += 1
        print(f"FAIL!  : {what} {detail}")


def lan_fields(line):
    """'lan 199 ip4=a gw4=b ...' -> (199, {'ip4': 'a', ...})"""
    words = line.split()
    return int(words[1]), dict(w.split("=", 1) for w in words[2:])


class Instrument:
    """The simulated board and vek-remote --network on a fresh root, eth0 in "dut"."""

    def __init__(self, preferences):
        self.dir = tempfile.TemporaryDirectory()
        self.root = os.path.join(self.dir.name, "root")
        self.board = subprocess.Popen([POWERBOARD, "--root", self.root],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait_for(lambda: os.path.exists(os.path.join(self.root, "dev/spidev1.0")), 10)
        subprocess.run([INSTALL, self.root], check=True)
        os.makedirs(os.path.join(self.root, "etc/instr"), exist_ok=True)
        with open(os.path.join(self.root, PREFERENCES), "w") as f:
            json.dump(preferences, f)
        self.lines = []
        self.program = subprocess.Popen(
            ["nsenter", f"--net={DUT}", REMOTE, "--root", self.root, "--port", "0",
             "--telnet-port", "0", "--network"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.buffer = b""

    @staticmethod
    def wait_for(condition, seconds):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            if condition():
                return True
            time.sleep(0.05)
        return condition()

    def read_for(self, seconds):
        """Collects the program's lines for up to the given time."""
        end = time.monotonic() + seconds
        fd = self.program.stdout.fileno()
        while time.monotonic() < end:
            ready, _, _ = select.select([fd], [], [], max(0, end - time.monotonic()))
            if not ready:
                break
            chunk = os.read(fd, 4096)
            if not chunk:
                break
            self.buffer += chunk
            if b"\n" in self.buffer:
                *complete, self.buffer = self.buffer.split(b"\n")
                self.lines.extend(line.decode(errors="replace") for line in complete)
                return

    def drain(self, seconds):
        """Collects every line the program prints during the given time."""
        end = time.monotonic() + seconds
        while time.monotonic() < end and self.program.poll() is None:
            self.read_for(end - time.monotonic())

    def wait_lan(self, predicate, seconds, start=0):
        """The first LAN line from index start on for which predicate(code, fields) holds."""
        end = time.monotonic() + seconds
        index = start
        while True:
            while index < len(self.lines):
                line = self.lines[index]
                index += 1
                if line.startswith("lan ") and predicate(*lan_fields(line)):
                    return index
            if time.monotonic() >= end or self.program.poll() is not None:
                return None
            self.read_for(min(0.5, end - time.monotonic()))

    def codes(self, start=0):
        return [lan_fields(l)[0] for l in self.lines[start:] if l.startswith("lan ")]

    def file(self, path):
        try:
            with open(os.path.join(self.root, path)) as f:
                return f.read()
        except FileNotFoundError:
            return None

    def journal(self):
        """(time, 'tool args') per logged tool run."""
        text = self.file("var/log/tools.log") or ""
        entries = []
        for line in text.splitlines():
            stamp, entry = line.split(" ", 1)
            entries.append((float(stamp), entry))
        return entries

    def stop(self):
        for process in (self.program, self.board):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self.dir.cleanup()


def preferences(assign4, ddns=True, hostname="VEK3R-00042", assign6=0):
    return {"adrsAssign4": assign4, "adrsAssign6": assign6, "ddnsEnabled": ddns,
            "hostname": hostname, "IpAdr4": "10.77.0.20", "NetMask4": "255.255.255.0",
            "DefGW4": "10.77.0.1", "PriDNS4": "10.77.0.53", "SecDNS4": "0.0.0.0",
            "scpiRawPort": 5025, "telnetPort": 5024}


def golden_files():
    cases = [
        ("DHCP with dynamic DNS", preferences(2, True),
         LOOPBACK + "auto eth0\niface eth0 inet dhcp\n"
                    "udhcpc_opts -t 5 -O 44 -x hostname:VEK3R-00042\n\n"),
        ("DHCP without dynamic DNS", preferences(2, False),
         LOOPBACK + "auto eth0\niface eth0 inet dhcp\nudhcpc_opts -t 5 -O 44 -x hostname:\n\n"),
        ("static", preferences(1),
         LOOPBACK + "auto eth0\niface eth0 inet static\n    address 10.77.0.20\n"
                    "    netmask 255.255.255.0\n    gateway 10.77.0.1\n\n"),
        ("IPv4 off", preferences(0), LOOPBACK),
    ]
    for name, prefs, interfaces in cases:
        instrument = Instrument(prefs)
        try:
            written = instrument.wait_lan(lambda code, f: code == 1096, 20) is not None
            check(f"golden files, {name}: the run writes them", written)
            check(f"golden files, {name}: /etc/network/interfaces",
                  instrument.file("etc/network/interfaces") == interfaces,
                  repr(instrument.file("etc/network/interfaces")))
            check(f"golden files, {name}: /etc/sysctl.conf",
                  instrument.file("etc/sysctl.conf") == SYSCTL_OFF,
                  repr(instrument.file("etc/sysctl.conf")))
            if name == "static":
                got = instrument.wait_lan(
                    lambda code, f: f["ip4"] == "10.77.0.20" and f["status4"] == "0"
                    and f["src4"] == "3" and f["gw4"] == "10.77.0.1", 20)
                check("static: address, gateway, source 3 and status 0 reported", got is not None,
                      instrument.lines[-3:])
            if name == "IPv4 off":
                instrument.drain(1)
                check("IPv4 off: status stays -3",
                      lan_fields([l for l in instrument.lines if l.startswith("lan ")][-1])[1][
                          "status4"] == "-3")
        finally:
            instrument.stop()


def lease_and_edges():
    instrument = Instrument(preferences(2, True))
    try:
        leased = instrument.wait_lan(
            lambda code, f: f["ip4"].startswith("10.77.0.") and f["gw4"] == "10.77.0.1"
            and f["dns4"] == "10.77.0.53,10.77.0.54" and f["wins4"] == "10.77.0.44,0.0.0.0"
            and f["src4"] == "1" and f["status4"] == "0" and f["domain"] == "lab.test", 40)
        check("DHCP: the record reports the leased address, gateway, DNS and WINS servers",
              leased is not None, instrument.lines[-4:])
        if leased is None:
            return
        stored = json.loads(instrument.file(PREFERENCES))
        check("DHCP: the lease is stored in the preferences",
              stored["IpAdr4"].startswith("10.77.0.") and stored["DefGW4"] == "10.77.0.1"
              and stored["PriDNS4"] == "10.77.0.53", stored)
        check("DHCP: one run for the first up edge",
              [e for _, e in instrument.journal()].count("ifdown -v eth0") == 1,
              instrument.journal())

        mark = len(instrument.lines)
        subprocess.run(["ip", "link", "set", "peer0", "down"], check=True)
        lost = instrument.wait_lan(lambda code, f: code == 827, 10, mark)
        check("peer0 down: announced with 827", lost is not None)
        if lost is not None:
            _, f = lan_fields([l for l in instrument.lines[:lost] if l.startswith("lan ")][-1])
            check("peer0 down: statuses -3, address and gateway gone",
                  f["status4"] == "-3" and f["status6"] == "-3" and f["ip4"] == "0.0.0.0"
                  and f["gw4"] == "0.0.0.0" and f["dns4"] == "10.77.0.53,10.77.0.54", f)
        journal_mark = len(instrument.journal())
        mark = len(instrument.lines)
        subprocess.run(["ip", "link", "set", "peer0", "up"], check=True)
        again = instrument.wait_lan(
            lambda code, f: f["ip4"].startswith("10.77.0.") and f["status4"] == "0", 40, mark)
        check("peer0 up: a new run leases again", again is not None, instrument.lines[-4:])
        instrument.drain(3)  # the run's own edges have passed; no second run may follow
        run = [(t, e) for t, e in instrument.journal()[journal_mark:]
               if e.split()[0] in ("ifdown", "sysctl", "ifup")]
        names = [e for _, e in run]
        check("peer0 up: ifdown, sysctl -p, ifup, once",
              names == ["ifdown -v eth0", "sysctl -p", "ifup -v eth0"], names)
        if len(run) == 3:
            check("peer0 up: sysctl -p 1 s after ifdown, ifup 1 s after that",
                  0.9 <= run[1][0] - run[0][0] <= 2.5 and 0.9 <= run[2][0] - run[1][0] <= 2.5,
                  [t - run[0][0] for t, _ in run])
        check("peer0 up: the run's own edges are not announced as a loss",
              827 not in instrument.codes(mark))
    finally:
        instrument.stop()


def refused_hostnames():
    for name, hostname in (("shell character", "x;reboot"), ("line feed", "x\nreboot")):
        instrument = Instrument(preferences(2, True, hostname))
        try:
            started = instrument.wait_lan(lambda code, f: code == 151, 10)
            instrument.drain(3)  # the first up edge comes with the first poll
            check(f"host name with a {name}: no run starts",
                  started is not None and 1057 not in instrument.codes(), instrument.codes())
            check(f"host name with a {name}: nothing is written",
                  instrument.file("etc/network/interfaces") is None
                  and instrument.file("etc/sysctl.conf") is None)
            # The poll still lists the routes when eth0's link-local address appears.
            check(f"host name with a {name}: eth0 is not reconfigured",
                  not [e for _, e in instrument.journal()
                       if e.split()[0] in ("ifdown", "sysctl", "ifup", "ifconfig")],
                  instrument.journal())
        finally:
            instrument.stop()


def main():
    golden_files()
    lease_and_edges()
    refused_hostnames()
    print(f"Totals: {results['passed']} passed, {results['failed']} failed")
    print(f"{results['passed']} passed, {results['failed']} failed")
    return 1 if results["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
