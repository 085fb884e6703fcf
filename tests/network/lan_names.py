#!/usr/bin/env python3
"""The name and clock programs of the headless program's LAN manager in the two-namespace
harness (lan-harness): the real avahi-daemon and avahi-publish in "dut" on a private system bus,
a second avahi in "lan" that browses and provokes a host-name collision, the NetBIOS responder
and the SNTP stand-in of tests/support/lan, and chronyd in "lan" as the NTP server.

Usage: lan-harness python3 lan_names.py VEK_REMOTE VEK_POWERBOARD
"""
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
# The Instrument fixture and the result counters of the LAN manager's script.
from lan_system import Instrument, check, lan_fields, preferences, results  # noqa: E402

LAN_DIR = os.environ["LAN_DIR"]
BUS_POLICY = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus"/>
  </policy>
  <include ignore_missing="no">/usr/share/dbus-1/system.d/avahi-dbus.conf</include>
</busconfig>
"""
LAN_AVAHI = """[server]
host-name={host}
use-ipv4=yes
use-ipv6=no
allow-interfaces=peer0
[wide-area]
enable-wide-area=no
[publish]
publish-workstation=no
publish-hinfo=no
"""
HOST = "VEK3R-00042"
DESCRIPTION = "VL-300 SN0042"


class Processes:
    """Processes of this script in "lan", each stopped by its pid."""

    def __init__(self):
        self.started = []

    def start(self, argv, **kwargs):
        process = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   **kwargs)
        self.started.append(process)
        return process

    def stop(self, process):
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()

    def stop_all(self):
        for process in reversed(self.started):
            self.stop(process)


def private_bus(processes, name):
    """A dbus-daemon of our own with avahi's policy; returns its address."""
    folder = os.path.join(LAN_DIR, name)
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "bus")
    conf = os.path.join(folder, "bus.conf")
    with open(conf, "w") as f:
        f.write(BUS_POLICY.format(socket=path))
    processes.start(["dbus-daemon", f"--config-file={conf}", "--nofork", "--nopidfile"])
    Instrument.wait_for(lambda: os.path.exists(path), 10)
    return f"unix:path={path}"


def lan_avahi(processes, bus, host):
    """avahi-daemon in "lan" on peer0, with its own /run/avahi-daemon."""
    conf = os.path.join(LAN_DIR, "lan-avahi.conf")
    with open(conf, "w") as f:
        f.write(LAN_AVAHI.format(host=host))
    os.makedirs("/run/avahi-daemon", exist_ok=True)
    env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=bus)
    return processes.start(
        ["unshare", "--mount", "bash", "-c",
         "mount -t tmpfs tmpfs /run/avahi-daemon && exec avahi-daemon --no-chroot "
         f"--no-drop-root --no-rlimits -f {conf}"], env=env)


def browse(bus, service_type):
    """{instance name: (port, [txt records])} of the resolved services of one type."""
    out = subprocess.run(["avahi-browse", "-r", "-t", "-p", "-k", service_type],
                         env=dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=bus),
                         capture_output=True, text=True, timeout=30).stdout
    found = {}
    for line in out.splitlines():
        fields = line.split(";")
        if fields[0] == "=" and len(fields) >= 10:
            txt = [t.strip('"') for t in fields[9].split('" "') if t.strip('"')]
            name = re.sub(r"\\(\d{3})", lambda m: chr(int(m.group(1))), fields[3])
            found[name] = (int(fields[8]), txt)
    return found


def browse_until(bus, service_type, predicate, seconds):
    end = time.monotonic() + seconds
    found = {}
    while time.monotonic() < end:
        found = browse(bus, service_type)
        if predicate(found):
            break
        time.sleep(0.5)
    return found


def netbios_query(address, name):
    """The address the NetBIOS name resolves to at address, or None (RFC 1002 name query)."""
    padded = name.upper().ljust(15).encode() + b"\x00"
    encoded = bytes([32]) + bytes(c for b in padded for c in (0x41 + (b >> 4), 0x41 + (b & 15)))
    query = b"\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00" + encoded + b"\x00\x00\x20\x00\x01"
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.settimeout(2)
    try:
        sock.sendto(query, (address, 137))
        data, _ = sock.recvfrom(576)
    except OSError:
        return None
    finally:
        sock.close()
    return socket.inet_ntoa(data[-4:]) if len(data) >= 62 and data[:2] == b"\x12\x34" else None


def nmblookup(address, name):
    if not shutil.which("nmblookup"):
        return netbios_query(address, name)
    out = subprocess.run(["nmblookup", "-U", address, name], capture_output=True,
                         text=True, timeout=20).stdout
    for line in out.splitlines():
        if line.endswith(f"{name}<00>"):
            return line.split()[0]
    return None


def dut_daemons():
    """The pids of the avahi-daemon processes in "dut" (the daemon renames its command line)."""
    dut = os.readlink(os.environ["DUT_NETNS"])
    pids = subprocess.run(["pgrep", "-x", "avahi-daemon"], capture_output=True,
                          text=True).stdout.split()
    found = []
    for pid in pids:
        try:
            if os.readlink(f"/proc/{pid}/ns/net") == dut:
                found.append(pid)
        except OSError:
            pass
    return found


def settings(**extra):
    prefs = preferences(1)  # static IPv4 10.77.0.20
    prefs.update({"mdnsEnabled": True, "description": DESCRIPTION, "scpiRawPort": 5025,
                  "telnetPort": 5024, "hislipPort": 4880})
    prefs.update(extra)
    return prefs


def dns_sd(processes):
    bus_dut = private_bus(processes, "bus-dut")
    bus_lan = private_bus(processes, "bus-lan")
    # A host on the LAN that already holds the instrument's name.
    peer = lan_avahi(processes, bus_lan, HOST)
    os.environ["DBUS_SYSTEM_BUS_ADDRESS"] = bus_dut
    instrument = Instrument(settings())
    try:
        cache = "etc/instr/avahi-hostname-cache"
        named = instrument.wait_for(lambda: instrument.file(cache) is not None, 40)
        check("mDNS: a peer with the same name gives X-2, and it is cached",
              named and instrument.file(cache) == f"{HOST}-2", instrument.file(cache))
        conf = instrument.file("etc/avahi/avahi-daemon.conf") or ""
        check("mDNS: the configuration holds the preference host name",
              f"host-name={HOST}\n" in conf, conf)
        raw = browse_until(bus_lan, "_scpi-raw._tcp", lambda f: DESCRIPTION in f, 30)
        port, txt = raw.get(DESCRIPTION, (0, []))
        check("DNS-SD: _scpi-raw._tcp on the preference port with its five TXT records",
              port == 5025 and len(txt) == 5 and "txtvers=1" in txt
              and {r.split("=")[0] for r in txt}
              == {"txtvers", "Manufacturer", "Model", "SerialNumber", "FirmwareVersion"}, raw)
        http = browse_until(bus_lan, "_http._tcp", lambda f: DESCRIPTION in f, 10)
        check("DNS-SD: _http._tcp on port 80 with txtvers=1 and path=/ only",
              http.get(DESCRIPTION, (0, []))[0] == 80
              and sorted(http[DESCRIPTION][1]) == ["path=/", "txtvers=1"], http)
        for service_type, port in (("_lxi._tcp", 80), ("_vxi-11._tcp", 111),
                                   ("_scpi-telnet._tcp", 5024), ("_hislip._tcp", 4880)):
            found = browse_until(bus_lan, service_type, lambda f: DESCRIPTION in f, 10)
            check(f"DNS-SD: {service_type} on port {port}",
                  found.get(DESCRIPTION, (0, []))[0] == port, found)
        service = instrument.file("etc/instr/avahi-service-cache")
        check("DNS-SD: the service name is cached", service == DESCRIPTION, service)
        processes.stop(peer)

        # Killing the daemon removes its configuration folder from the root.
        pids = dut_daemons()
        check("mDNS: one daemon runs in dut", len(pids) == 1, pids)
        for pid in pids:
            os.kill(int(pid), signal.SIGKILL)
        gone = instrument.wait_for(
            lambda: not os.path.exists(os.path.join(instrument.root, "etc/avahi")), 10)
        check("mDNS: killing the daemon removes /etc/avahi in the root", gone)

        # A new LAN run starts the daemon again, with the cached name.
        subprocess.run(["ip", "link", "set", "peer0", "down"], check=True)
        time.sleep(1.5)  # the manager polls the carrier once a second
        subprocess.run(["ip", "link", "set", "peer0", "up"], check=True)
        started = instrument.wait_for(
            lambda: "host-name=" in (instrument.file("etc/avahi/avahi-daemon.conf") or ""), 40)
        conf = instrument.file("etc/avahi/avahi-daemon.conf") or ""
        check("mDNS: the cached name is used at the next start",
              started and f"host-name={HOST}-2\n" in conf, conf)
    finally:
        instrument.stop()

    instrument = Instrument(settings(mdnsEnabled=False))
    try:
        instrument.wait_lan(lambda code, f: code == 536, 40)
        instrument.drain(2)
        check("mDNS off: no daemon starts",
              not [e for _, e in instrument.journal() if e.startswith("avahi")],
              instrument.journal())
    finally:
        instrument.stop()


def netbios_and_clock(processes):
    conf = os.path.join(LAN_DIR, "chrony.conf")
    with open(conf, "w") as f:
        f.write(f"local stratum 8\nallow all\nport 123\ncmdport 0\npidfile {LAN_DIR}/chronyd.pid\n"
                f"driftfile {LAN_DIR}/chrony.drift\n")
    chrony = None
    if shutil.which("chronyd"):
        chrony = processes.start(["chronyd", "-x", "-d", "-f", conf])
    before = time.time()
    for name, prefs, wins in (
            ("static IPv4", settings(mdnsEnabled=False, nbnsEnabled=True,
                                     autoClockAdjEnabled=True, ntpServerHostname="10.77.0.1"),
             False),
            ("DHCP with option 44", dict(settings(mdnsEnabled=False, nbnsEnabled=True),
                                         adrsAssign4=2), True)):
        instrument = Instrument(prefs)
        try:
            learned = instrument.wait_lan(lambda code, f: code == 1265, 40)
            runs = [e for _, e in instrument.journal() if e.startswith("zonbns")]
            if wins:
                check(f"NetBIOS, {name}: -hostname: and -wins1: are passed",
                      runs[:1] == [f"zonbns -hostname:{HOST} -wins1:10.77.0.44"], runs)
            else:
                check(f"NetBIOS, {name}: only -hostname: is passed",
                      runs[:1] == [f"zonbns -hostname:{HOST}"], runs)
            check(f"NetBIOS, {name}: the advertized name is learned", learned is not None
                  and lan_fields(instrument.lines[learned - 1])[1]["nbns"] == HOST)
            if not wins:
                check("NetBIOS: the name resolves from the LAN",
                      nmblookup("10.77.0.20", HOST) == "10.77.0.20")
                ntp = instrument.wait_for(
                    lambda: any(e.startswith("zontpdate") for _, e in instrument.journal()), 20)
                journal = instrument.journal()
                ifup = [t for t, e in journal if e == "ifup -v eth0"]
                runs = [(t, e) for t, e in journal if e.startswith("zontpdate")]
                # ifup's end follows its static-address probe (3 to 6 s), then 2 s and 10 s.
                check("NTP: zontpdate -hwclock:1 -thresh:0.1 about 10 s after ifup",
                      ntp and runs[0][1] == "zontpdate -server:10.77.0.1 -hwclock:1 -thresh:0.1"
                      and 9.5 <= runs[0][0] - ifup[-1] <= 25, (ifup, runs))
                if chrony is not None:
                    answered = instrument.wait_for(
                        lambda: instrument.file("var/log/zontpdate.log") is not None, 5)
                    check("NTP: the chrony in lan answers the clock program", answered
                          and "offset" in instrument.file("var/log/zontpdate.log"))
        finally:
            instrument.stop()
    if chrony is not None:
        processes.stop(chrony)
    check("NTP: the host clock was never stepped backwards", time.time() >= before)


def main():
    processes = Processes()
    try:
        dns_sd(processes)
        netbios_and_clock(processes)
    finally:
        processes.stop_all()
    print(f"Totals: {results['passed']} passed, {results['failed']} failed")
    print(f"{results['passed']} passed, {results['failed']} failed")
    return 1 if results["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
