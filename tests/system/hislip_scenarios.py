#!/usr/bin/env python3
"""HiSLIP scenarios against a running instrument, one per run, for tst_HislipServer:

    hislip_scenarios.py HOST PORT SCENARIO

Exit 0 when the scenario held, 1 with the reason on stderr when it did not.
"""

import os
import socket
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import hislip_client as hs  # noqa: E402


def expect(condition, what):
    if not condition:
        raise AssertionError(what)


def errors(client):
    """Empties the error queue; returns its entries."""
    found = []
    for _ in range(20):
        entry = client.query("SYST:ERR?")
        if entry.startswith("+0,") or entry.startswith("0,"):
            break
        found.append(entry.strip())
    return found


def session_ids(host, port):
    a = hs.Client(host, port)
    b = hs.Client(host, port)
    expect((a.session_id, b.session_id) == (1, 2), "ids %d, %d" % (a.session_id, b.session_id))
    expect(a.version == hs.PROTOCOL_1_0, "version 0x%x" % a.version)
    expect(a.server_vendor == b"ZO", "vendor %r" % a.server_vendor)
    a.close()
    # The freed slot is found once the instrument has seen the close.
    deadline = time.monotonic() + 5
    while True:
        c = hs.Client(host, port)
        if c.session_id == 1 or time.monotonic() > deadline:
            break
        c.close()
        time.sleep(0.05)
    expect(c.session_id == 1, "reused id %d" % c.session_id)
    expect(c.query("*IDN?").count(",") == 3, "identity after reuse")
    b.close()
    c.close()


def query_message_id(host, port):
    with hs.Client(host, port) as c:
        c.write("*IDN?\n", message_id=7)
        reply = c.read()
        expect(reply.type == hs.DATA_END and reply.parameter == 7, "answer %r" % reply)
        expect(reply.payload.endswith(b"\n") and reply.payload.count(b",") == 3,
               "identity %r" % reply.payload)
        errors(c)


def oversized_payload(host, port):
    with hs.Client(host, port) as c:
        c.sync.send(hs.DATA_END, 0, c.next_id(), b"A" * 5000)
        reply = c.sync.receive()
        expect(reply.type == hs.ERROR and reply.control == 4, "reply %r" % reply)
        # The connection stays usable.
        expect(c.query("*IDN?").count(",") == 3, "identity after the refusal")


def exclusive_lock_blocks_data(host, port):
    with hs.Client(host, port) as a, hs.Client(host, port) as b:
        expect(a.lock(1000) == 1, "exclusive lock granted")
        info = a.async_request(hs.ASYNC_LOCK_INFO)
        expect((info.control, info.parameter) == (1, 1), "lock info %r" % info)
        mid = b.write("*IDN?\n")
        expect(b.sync.nothing_within(0.3), "B answered while A holds the lock")
        expect(a.query("*IDN?").count(",") == 3, "A still served")
        expect(a.unlock() == 1, "exclusive release")
        reply = b.read()
        expect(reply.type == hs.DATA_END and reply.parameter == mid, "B after release %r" % reply)


def shared_locks(host, port):
    with hs.Client(host, port) as a, hs.Client(host, port) as b, hs.Client(host, port) as c:
        expect(a.lock(0, b"bench") == 1, "A shared")
        expect(b.lock(0, b"bench") == 1, "same string granted at once")
        started = time.monotonic()
        expect(c.lock(100, b"other") == 0, "other string fails")
        waited = time.monotonic() - started
        expect(0.08 <= waited < 2.0, "waited %.3f s" % waited)
        expect(b.lock(0, b"bench") == 3, "a second shared lock of one client is an error")
        expect(a.unlock() == 2 and b.unlock() == 2, "shared releases")
        expect(c.unlock() == 3, "release without a lock")
        # A free lock is granted even with no time to wait.
        expect(c.lock(0) == 1 and c.unlock() == 1, "free exclusive lock with timeout 0")


def long_lock_string(host, port):
    with hs.Client(host, port) as a, hs.Client(host, port) as b:
        expect(a.lock(0, b"x" * 300) == 3, "300-byte lock string")
        expect(a.lock(0, b"y" * 255) == 1, "255-byte lock string")
        expect(b.lock(0, b"y" * 255) == 1, "the same long string shared")
        expect(b.lock(50, b"x" * 300) == 3, "still refused while locked")


def remote_local_codes(host, port):
    with hs.Client(host, port) as c:
        for code in range(7):
            reply = c.async_request(hs.ASYNC_REMOTE_LOCAL_CONTROL, code)
            expect(reply.type == hs.ASYNC_REMOTE_LOCAL_RESPONSE, "code %d: %r" % (code, reply))
        reply = c.async_request(hs.ASYNC_REMOTE_LOCAL_CONTROL, 7)
        expect(reply.type == hs.ERROR and reply.control == 2, "code 7: %r" % reply)
        expect(c.asyn.nothing_within(0.2), "a response followed the error")


def device_clear(host, port):
    with hs.Client(host, port) as c:
        # An unterminated message waits in the input buffer; the clear throws it away.
        c.write("*IDN", end=False)
        reply = c.async_request(hs.ASYNC_DEVICE_CLEAR)
        expect(reply.type == hs.ASYNC_DEVICE_CLEAR_ACKNOWLEDGE, "acknowledge %r" % reply)
        c.sync.send(hs.DEVICE_CLEAR_COMPLETE, 0)
        reply = c.sync.receive()
        expect(reply.type == hs.DEVICE_CLEAR_ACKNOWLEDGE and reply.control == 0,
               "complete %r" % reply)
        c.message_id = 0xFFFFFF00
        c.rmt_delivered = 0
        expect(c.query("*IDN?").count(",") == 3, "the pending text was not kept")
        expect(errors(c) == [], "errors after the clear")


def overlapped_ids(host, port):
    with hs.Client(host, port) as c:
        expect(c.async_request(hs.ASYNC_DEVICE_CLEAR).type == hs.ASYNC_DEVICE_CLEAR_ACKNOWLEDGE,
               "acknowledge")
        c.sync.send(hs.DEVICE_CLEAR_COMPLETE, 1)
        reply = c.sync.receive()
        expect(reply.type == hs.DEVICE_CLEAR_ACKNOWLEDGE and reply.control == 1, "%r" % reply)
        c.write("*IDN?\n*IDN?\n")
        ids = [c.read().parameter for _ in range(2)]
        expect(ids == [0xFFFFFF00, 0xFFFFFF02], "ids %s" % [hex(i) for i in ids])


def service_request(host, port):
    with hs.Client(host, port) as c:
        c.write("*CLS;*SRE 16\n")
        expect(c.query("*SRE?").strip() in ("16", "+16"), "enable")
        reply = c.asyn.receive()
        expect(reply.type == hs.ASYNC_SERVICE_REQUEST and reply.control & 0x50 == 0x50,
               "request %r" % reply)
        status = c.async_request(hs.ASYNC_STATUS_QUERY, 1)
        expect(status.type == hs.ASYNC_STATUS_RESPONSE and status.control & 0x40,
               "status %r" % status)
        c.write("*SRE 0\n")


def bad_async_initialize(host, port):
    with hs.Client(host, port) as a:
        for session_id in (0, 5, 65535, 3):
            ch = hs.Channel(host, port)
            ch.send(hs.ASYNC_INITIALIZE, 0, session_id)
            reply = ch.receive()
            expect(reply.type == hs.FATAL_ERROR and reply.control == 3,
                   "id %d: %r" % (session_id, reply))
            ch.close()
        # A slot that already has its asynchronous connection refuses a second one.
        ch = hs.Channel(host, port)
        ch.send(hs.ASYNC_INITIALIZE, 0, a.session_id)
        reply = ch.receive()
        expect(reply.type == hs.FATAL_ERROR and reply.control == 3, "second async %r" % reply)
        ch.close()
        expect(a.query("*IDN?").count(",") == 3, "others still served")
        with hs.Client(host, port) as b:
            expect(b.query("*IDN?").count(",") == 3, "a new client served")


def async_close_keeps_slot(host, port):
    c = hs.Client(host, port)
    c.write("*SRE 16\n")
    c.asyn.close()
    c.asyn = None
    # Answers still go out; the service request has nowhere to go and harms nothing.
    for _ in range(3):
        expect(c.query("*IDN?").count(",") == 3, "served after the async close")
    c.write("*SRE 0\n")
    c.close()


def messages_before_initialize(host, port):
    ch = hs.Channel(host, port)
    for mtype in (hs.DATA_END, hs.ASYNC_LOCK, hs.ASYNC_STATUS_QUERY, hs.ASYNC_DEVICE_CLEAR):
        ch.send(mtype, 0, 0, b"*IDN?\n" if mtype == hs.DATA_END else b"")
        reply = ch.receive()
        expect(reply.type == hs.FATAL_ERROR and reply.control == 2, "type %d: %r" % (mtype, reply))
    ch.send(99)
    reply = ch.receive()
    expect(reply.type == hs.ERROR and reply.control == 1, "unknown type: %r" % reply)
    # Garbage before a prologue is skipped.
    ch.send_raw(b"garbage\x00\xffH")
    ch.send(hs.INITIALIZE, 0, (hs.PROTOCOL_1_0 << 16) | 0x0102)
    reply = ch.receive()
    expect(reply.type == hs.INITIALIZE_RESPONSE, "initialize after garbage %r" % reply)
    ch.send(hs.INITIALIZE, 0, hs.PROTOCOL_1_0 << 16)
    reply = ch.receive()
    expect(reply.type == hs.FATAL_ERROR and reply.control == 3, "second initialize %r" % reply)
    ch.close()


def fifth_client(host, port):
    clients = [hs.Client(host, port, asynchronous=False) for _ in range(4)]
    try:
        hs.Client(host, port, asynchronous=False)
    except ConnectionRefusedError as refused:
        expect("type=2, control=4" in str(refused), str(refused))
    else:
        raise AssertionError("a fifth client was served")
    for c in clients:
        c.close()


def hostile_client(host, port):
    # A flood of garbage and over-long headers, then an idle half-open connection: the
    # instrument keeps serving a well-behaved client throughout.
    with hs.Client(host, port) as good:
        flood = hs.Channel(host, port)
        flood.send_raw(os.urandom(200000))
        flood.send_raw(hs.HEADER.pack(b"HS", hs.DATA, 0, 0, 1 << 40))
        idle = socket.create_connection((host, port))
        idle.sendall(b"HS\x00")
        expect(good.query("*IDN?").count(",") == 3, "served during the flood")
        flood.close()
        idle.close()
        expect(good.query("*IDN?").count(",") == 3, "served after the flood")


SCENARIOS = {f.__name__: f for f in (
    session_ids, query_message_id, oversized_payload, exclusive_lock_blocks_data, shared_locks,
    long_lock_string, remote_local_codes, device_clear, overlapped_ids, service_request,
    bad_async_initialize, async_close_keeps_slot, messages_before_initialize, fifth_client,
    hostile_client)}


def main(argv):
    if len(argv) != 4 or argv[3] not in SCENARIOS:
        print("usage: hislip_scenarios.py HOST PORT {%s}" % ",".join(SCENARIOS), file=sys.stderr)
        return 2
    try:
        SCENARIOS[argv[3]](argv[1], int(argv[2]))
    except (AssertionError, OSError, TimeoutError, ValueError, ConnectionError) as failure:
        print("%s: %s: %s" % (argv[3], type(failure).__name__, failure), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
