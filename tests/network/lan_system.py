#!/usr/bin/env python3
"""The LAN manager of the headless program in the two-namespace harness (lan-harness).

Usage: lan-harness python3 lan_system.py VEK_REMOTE VEK_POWERBOARD

The program runs in "dut" on a fresh board root whose network tools are the harness's
stand-ins; dnsmasq serves DHCP in "lan", and peer0 going down and up gives carrier edges.
A packet socket on peer0 captures the ARP frames on the wire and floods other hosts' ARP
traffic; the link-local runs stop dnsmasq for their time.
"""
import ctypes
import json
import os
import re
import select
import signal
import socket
import subprocess
import sys
import tempfile
import threading
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
            "PriWINS4": "0.0.0.0", "SecWINS4": "0.0.0.0",
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
              stored["IpAdr4"] == leased_address(instrument)
              and stored["NetMask4"] == "255.255.255.0" and stored["DefGW4"] == "10.77.0.1"
              and stored["PriDNS4"] == "10.77.0.53" and stored["SecDNS4"] == "10.77.0.54"
              and stored["PriWINS4"] == "10.77.0.44" and stored["SecWINS4"] == "0.0.0.0", stored)
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


def leased_address(instrument):
    lines = [l for l in instrument.lines if l.startswith("lan ")]
    return lan_fields(lines[-1])[1]["ip4"] if lines else None


ETH_P_ARP = 0x0806
ZERO_IP = bytes(4)


def dut(*command):
    return subprocess.run(["nsenter", f"--net={DUT}", *command], check=True,
                          capture_output=True, text=True).stdout


def eth0_mac():
    return bytes.fromhex(re.search(r"link/ether ([0-9a-f:]+)", dut("ip", "-o", "link", "show",
                                                                    "eth0")).group(1)
                         .replace(":", ""))


def eth0_ipv4():
    """eth0's IPv4 address as 'a.b.c.d/len', or None."""
    found = re.search(r"inet ([0-9.]+/[0-9]+)", dut("ip", "-4", "-o", "addr", "show", "dev",
                                                      "eth0"))
    return found.group(1) if found else None


def first_candidate(mac):
    """The first link-local candidate of an instrument with this MAC: the C library's
    generator seeded from bytes 2..5 (byte 2 lowest), third byte drawn first."""
    libc = ctypes.CDLL("libc.so.6")
    libc.srandom(ctypes.c_uint(int.from_bytes(mac[2:6], "little")))
    x = libc.rand() % 254 + 1
    y = libc.rand() % 254 + 1
    return f"169.254.{x}.{y}"


def arp(operation, sender_mac, sender_ip, target_mac, target_ip):
    return (bytes.fromhex("000108000604") + operation.to_bytes(2, "big") + sender_mac
            + socket.inet_aton(sender_ip) + target_mac + socket.inet_aton(target_ip))


class ArpWire:
    """The ARP frames on peer0 as a capture in "lan" sees them, and a flood of other hosts'
    ARP traffic while flooding() is on."""

    FLOOD_MAC = bytes.fromhex("020000000099")

    def __init__(self):
        self.socket = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_ARP))
        self.socket.bind(("peer0", ETH_P_ARP))
        self.socket.settimeout(0.1)
        self.frames = []  # (time, source MAC, ARP payload), received ones only
        self.stopping = threading.Event()
        self.flooding = threading.Event()
        self.sent = 0
        self.threads = [threading.Thread(target=self._capture, daemon=True),
                        threading.Thread(target=self._flood, daemon=True)]
        for thread in self.threads:
            thread.start()

    def _capture(self):
        while not self.stopping.is_set():
            try:
                frame, address = self.socket.recvfrom(2048)
            except socket.timeout:
                continue
            if address[2] != socket.PACKET_OUTGOING:
                self.frames.append((time.monotonic(), frame[6:12], frame[14:42]))

    def _flood(self):
        """Requests of other hosts and replies to eth0's MAC for other addresses, about one a
        millisecond; at most 60000 frames."""
        sender = socket.socket(socket.AF_PACKET, socket.SOCK_RAW)
        sender.bind(("peer0", 0))
        header = b"\xff" * 6 + self.FLOOD_MAC + ETH_P_ARP.to_bytes(2, "big")
        while not self.stopping.is_set() and self.sent < 60000:
            if not self.flooding.wait(0.1):
                continue
            frames = [header + arp(1, self.FLOOD_MAC, "10.77.0.98", bytes(6), "10.77.0.97"),
                      header + arp(2, self.FLOOD_MAC, "169.254.77.77", self.eth0, "0.0.0.0")]
            sender.send(frames[self.sent % 2])
            self.sent += 1
            time.sleep(0.001)
        sender.close()

    def flood(self, eth0):
        self.eth0 = eth0
        self.flooding.set()

    def from_mac(self, mac):
        """(time, operation, sender IP, target IP) of each ARP frame sent by mac."""
        return [(t, int.from_bytes(p[6:8], "big"), socket.inet_ntoa(p[14:18]),
                 socket.inet_ntoa(p[24:28])) for t, m, p in list(self.frames) if m == mac]

    def close(self):
        self.stopping.set()
        for thread in self.threads:
            thread.join(5)
        self.socket.close()


class NoDhcp:
    """dnsmasq stopped for the block, started again as it was afterwards."""

    def __enter__(self):
        pid_file = os.path.join(os.environ["LAN_DIR"], "dnsmasq.pid")
        with open(pid_file) as f:
            pid = int(f.read())
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            self.command = [a.decode() for a in f.read().split(b"\0") if a]
        os.kill(pid, signal.SIGTERM)
        Instrument.wait_for(lambda: not os.path.exists(f"/proc/{pid}"), 10)
        return self

    def __exit__(self, *exc):
        subprocess.run(self.command, check=True)


def link_local_run(name):
    """One start without a DHCP server: (address on eth0, the first lan line with it)."""
    instrument = Instrument(preferences(2, True))
    try:
        got = instrument.wait_lan(lambda code, f: f["ip4"].startswith("169.254.")
                                  and f["src4"] == "2" and f["status4"] == "0", 40)
        check(f"link-local, {name}: the record reports a 169.254/16 address, source 2 "
              "(Link Local), status 0", got is not None, instrument.lines[-3:])
        if got is None:
            return None, None
        fields = lan_fields(instrument.lines[got - 1])[1]
        check(f"link-local, {name}: netmask 255.255.0.0", fields["mask4"] == "255.255.0.0",
              fields)
        address = eth0_ipv4()
        own = fields["ip4"]
        check(f"link-local, {name}: eth0 holds it as /16", address == own + "/16", address)
        x, y = (int(b) for b in own.split(".")[2:])
        check(f"link-local, {name}: its last two bytes lie in 1..254",
              1 <= x <= 254 and 1 <= y <= 254, own)
        instrument.drain(1)
        check(f"link-local, {name}: the default route goes through the address",
              f"route -A inet add default gw {own} eth0"
              in [e for _, e in instrument.journal()], instrument.journal())
        return own, fields
    finally:
        instrument.stop()


def link_local():
    mac = eth0_mac()
    predicted = first_candidate(mac)
    with NoDhcp():
        wire = ArpWire()
        try:
            first, _ = link_local_run("first start")
        finally:
            wire.close()
        check("link-local: the address is the first candidate that eth0's MAC seeds",
              first == predicted, (first, predicted))
        frames = wire.from_mac(mac)
        check("link-local: on the wire, three probes from 0.0.0.0 for the address come first",
              [(op, sip, tip) for _, op, sip, tip in frames[:3]] == [(1, "0.0.0.0", first)] * 3
              and all(sip != "0.0.0.0" or tip != first for _, op, sip, tip in frames[3:]),
              frames[:5])

        again, _ = link_local_run("restart")
        check("link-local: a restart with the same MAC takes the same address", again == first,
              (again, first))

        # The first candidate held by peer0, and other hosts' ARP traffic all through the probe.
        subprocess.run(["ip", "addr", "add", f"{predicted}/16", "dev", "peer0"], check=True)
        wire = ArpWire()
        wire.flood(mac)
        try:
            other, _ = link_local_run("first candidate taken, under an ARP flood")
        finally:
            wire.close()
            subprocess.run(["ip", "addr", "del", f"{predicted}/16", "dev", "peer0"], check=True)
        probed = [tip for _, op, sip, tip in wire.from_mac(mac) if sip == "0.0.0.0"]
        check("link-local, taken: the first candidate was probed, and another one is taken",
              probed[:1] == [predicted] and other not in (None, predicted), (probed[:4], other))
        check("link-local, taken: the flood ran through the probes", wire.sent > 1000, wire.sent)


def static_conflict():
    held = "10.77.0.21"
    subprocess.run(["ip", "addr", "add", f"{held}/24", "dev", "peer0"], check=True)
    prefs = preferences(1)
    prefs["IpAdr4"] = held
    wire = ArpWire()
    instrument = Instrument(prefs)
    try:
        got = instrument.wait_lan(lambda code, f: code == 430, 30)
        reported = time.monotonic()
        check("static conflict: reported with 430", got is not None, instrument.lines[-3:])
        if got is None:
            return
        fields = lan_fields(instrument.lines[got - 1])[1]
        check("static conflict: status -2 (Conflicted), source 3",
              fields["status4"] == "-2" and fields["src4"] == "3", fields)
        check("static conflict: eth0 keeps no IPv4 address", eth0_ipv4() is None, eth0_ipv4())
        probes = [t for t, op, sip, tip in wire.from_mac(eth0_mac())
                  if sip == "0.0.0.0" and tip == held]
        check("static conflict: one probe, answered, and the report about 1 s after it",
              len(probes) == 1 and 0.8 <= reported - probes[-1] <= 2.5,
              (len(probes), probes and reported - probes[-1]))
    finally:
        instrument.stop()
        wire.close()
        subprocess.run(["ip", "addr", "del", f"{held}/24", "dev", "peer0"], check=True)


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
    static_conflict()
    link_local()
    print(f"Totals: {results['passed']} passed, {results['failed']} failed")
    print(f"{results['passed']} passed, {results['failed']} failed")
    return 1 if results["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
