"""A small ONC-RPC client of the project's own (struct-packed), driving the instrument's
portmapper and VXI-11 channels where the VISA libraries cannot reach. One case per run:
    vxi11_rpc.py HOST CASE
Exit status 0 when the case holds; otherwise the first failed check is printed.
"""
import socket
import struct
import sys
import threading
import time

CORE, ABORT, INTR, PMAP = 395183, 395184, 395185, 100000
CORE_PORT, ABORT_PORT = 4510, 4511
WAITLOCK, END, TERMCHRSET = 0x01, 0x08, 0x80
REQCNT, CHR, REASON_END = 1, 2, 4
HOST = sys.argv[1]


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def opaque(data):
    return struct.pack(">I", len(data)) + data + b"\0" * (-len(data) % 4)


def call_body(xid, prog, vers, proc, args, cred=b""):
    # AUTH_UNIX flavour 1 when a credential body is given, else AUTH_NULL
    flavour = 1 if cred else 0
    return struct.pack(">6I", xid, 0, 2, prog, vers, proc) + struct.pack(">I", flavour) + \
        opaque(cred) + struct.pack(">2I", 0, 0) + args


def record(body):
    return struct.pack(">I", 0x80000000 | len(body)) + body


class Rpc:
    """One TCP connection; calls return (accept status, result words as bytes)."""

    def __init__(self, port, prog=CORE, vers=1):
        self.sock = socket.create_connection((HOST, port), timeout=5)
        self.prog, self.vers, self.xid = prog, vers, 100

    def send_raw(self, data):
        self.sock.sendall(data)

    def recv_exact(self, n):
        data = b""
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                raise Failure("connection closed")
            data += chunk
        return data

    def reply(self):
        body = b""
        while True:
            (mark,) = struct.unpack(">I", self.recv_exact(4))
            body += self.recv_exact(mark & 0x7FFFFFFF)
            if mark & 0x80000000:
                break
        xid, mtype, stat = struct.unpack(">3I", body[:12])
        check(mtype == 1 and stat == 0, "not an accepted reply")
        (accept,) = struct.unpack(">I", body[20:24])
        return xid, accept, body[24:]

    def call(self, proc, args=b"", prog=None, vers=None):
        self.xid += 1
        self.send_raw(record(call_body(self.xid, prog or self.prog, vers or self.vers,
                                       proc, args)))
        xid, accept, result = self.reply()
        check(xid == self.xid, "reply to another call")
        return accept, result

    def words(self, proc, args=b""):
        accept, result = self.call(proc, args)
        check(accept == 0, "procedure %d: accept status %d" % (proc, accept))
        return struct.unpack(">%dI" % (len(result) // 4), result[:len(result) // 4 * 4])

    # VXI-11 core procedures
    def create_link(self, device=b"inst0", lock=0, lock_timeout=0):
        e, lid, port, size = self.words(10, struct.pack(">iII", 1, lock, lock_timeout) +
                                        opaque(device))
        return e, lid, port, size

    def write(self, lid, data, flags=END, io=2000, lock_timeout=0):
        return self.words(11, struct.pack(">4I", lid, io, lock_timeout, flags) + opaque(data))

    def read(self, lid, size=1000, io=2000, flags=0, term=0, lock_timeout=0):
        accept, result = self.call(12, struct.pack(">6I", lid, size, io, lock_timeout, flags,
                                                   term))
        check(accept == 0, "device_read accept %d" % accept)
        error, reason, n = struct.unpack(">3I", result[:12])
        return error, reason, result[12:12 + n]

    def generic(self, proc, lid, flags=0, lock_timeout=0, io=2000):
        return self.words(proc, struct.pack(">4I", lid, flags, lock_timeout, io))

    def readstb(self, lid):
        return self.generic(13, lid)

    def lock(self, lid, flags=0, lock_timeout=0):
        return self.words(18, struct.pack(">3I", lid, flags, lock_timeout))[0]

    def unlock(self, lid):
        return self.words(19, struct.pack(">I", lid))[0]

    def query(self, lid, text):
        check(self.write(lid, text + b"\n") == (0, len(text) + 1), "write of %r" % text)
        error, reason, data = self.read(lid)
        check(error == 0 and reason & REASON_END, "read after %r: %d %d" % (text, error, reason))
        return data

    def close(self):
        self.sock.close()


def linked():
    rpc = Rpc(CORE_PORT)
    error, lid, port, size = rpc.create_link()
    check(error == 0 and lid != 0 and port == ABORT_PORT and size == 4096,
          "create_link: %r" % ((error, lid, port, size),))
    return rpc, lid


def getport_query(proc=3, prog=CORE, vers=1, pmap_vers=2, xid=7):
    return call_body(xid, PMAP, pmap_vers, proc, struct.pack(">4I", prog, vers, 6, 0))


def case_getport_udp():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.settimeout(2)
    for prog, vers, port in ((CORE, 1, 4510), (ABORT, 1, 4511), (CORE, 2, 0), (PMAP, 2, 0)):
        s.sendto(getport_query(prog=prog, vers=vers), (HOST, 111))
        data, _ = s.recvfrom(100)
        check(len(data) == 28, "UDP reply of %d bytes" % len(data))
        words = struct.unpack(">7I", data)
        check(words == (7, 1, 0, 0, 0, 0, port), "GETPORT %d/%d: %r" % (prog, vers, words))
    # rpcbind versions 3 and 4: PROG_MISMATCH 2..2, at once
    for v in (3, 4):
        s.sendto(getport_query(pmap_vers=v), (HOST, 111))
        words = struct.unpack(">8I", s.recvfrom(100)[0])
        check(words[5:] == (2, 2, 2), "version %d: %r" % (v, words))
    s.sendto(getport_query(proc=0), (HOST, 111))
    check(struct.unpack(">6I", s.recvfrom(100)[0])[5] == 0, "NULL unanswered")
    s.sendto(b"\0\0\0\x09\0\0", (HOST, 111))  # truncated: GARBAGE_ARGS
    check(struct.unpack(">6I", s.recvfrom(100)[0])[5] == 4, "truncated call")


def case_getport_tcp():
    rpc = Rpc(111, PMAP, 2)
    rpc.send_raw(record(getport_query(prog=ABORT)))
    raw = rpc.recv_exact(32)
    check(struct.unpack(">8I", raw) == (0x8000001C, 7, 1, 0, 0, 0, 0, 4511), "TCP reply %r" % raw)
    accept, result = rpc.call(3, struct.pack(">4I", CORE, 1, 17, 0))
    check(accept == 0 and struct.unpack(">I", result)[0] == 4510, "GETPORT over TCP")
    check(rpc.call(5)[0] == 3, "PMAPPROC_DUMP not PROC_UNAVAIL")
    check(rpc.call(3, b"", vers=4)[0] == 2, "version 4 not PROG_MISMATCH")


def case_links():
    rpc = Rpc(CORE_PORT)
    check(rpc.create_link(b"foo")[0] == 3, "device foo")
    lids = [rpc.create_link()[1] for _ in range(4)]
    check(len(set(lids)) == 4 and 0 not in lids, "four links: %r" % lids)
    check(rpc.create_link()[0] == 9, "fifth link")
    check(rpc.words(23, struct.pack(">I", lids[0]))[0] == 0, "destroy_link")
    check(rpc.create_link()[0] == 0, "link after one was freed")
    other = Rpc(CORE_PORT)
    check(other.write(lids[1], b"*IDN?\n")[0] == 4, "write on another connection's link")
    check(rpc.call(0)[0] == 0, "NULL procedure")
    check(rpc.words(22, struct.pack(">7I", lids[1], 0, 1000, 0, 1, 0, 0))[0] == 8, "docmd")
    check(rpc.call(99)[0] == 3, "unknown procedure not PROC_UNAVAIL")
    rpc.close()
    # Closing the connection frees every link it made.
    time.sleep(0.2)
    rpc2 = Rpc(CORE_PORT)
    check([rpc2.create_link()[0] for _ in range(4)] == [0] * 4, "links freed on close")


def case_read_sizes():
    rpc, lid = linked()
    identity = rpc.query(lid, b"*IDN?")
    check(identity.count(b",") == 3 and identity.endswith(b"\n"), "identity %r" % identity)
    rpc.write(lid, b"*IDN?\n")
    check(rpc.read(lid, size=2) == (0, REQCNT, identity[:2]), "size 2")
    check(rpc.read(lid) == (0, REASON_END, identity[2:]), "the rest")
    rpc.write(lid, b"*IDN?\n")
    error, reason, data = rpc.read(lid, flags=TERMCHRSET, term=ord(","))
    check((error, reason, data) == (0, CHR, identity[:identity.index(b",") + 1]),
          "term char: %r" % ((error, reason, data),))
    # A message in pieces: without END nothing runs until the terminator.
    rpc.write(lid, b"*ID", flags=0)
    rpc.write(lid, b"N?", flags=END)
    check(rpc.read(lid)[2] == identity, "message over two writes")


def case_io_timeout():
    rpc, lid = linked()
    start = time.monotonic()
    error, reason, data = rpc.read(lid, io=1000)
    elapsed = time.monotonic() - start
    check(error == 15 and data == b"", "no answer: error %d" % error)
    check(0.9 <= elapsed <= 1.6, "error 15 after %.3f s" % elapsed)


def case_overtaken():
    rpc, lid = linked()
    rpc.query(lid, b"*CLS;*IDN?")
    rpc.write(lid, b"*IDN?\n")
    deadline = time.monotonic() + 5
    while not rpc.readstb(lid)[1] & 0x10:
        check(time.monotonic() < deadline, "answer never buffered")
        time.sleep(0.01)
    rpc.write(lid, b"SYST:ERR?\n")
    check(rpc.read(lid)[2].startswith(b"-410,"), "no -410")


def case_two_clients():
    a, la = linked()
    b, lb = linked()
    a.write(la, b"*IDN?\n")
    b.write(lb, b"SYST:ERR:COUN?\n")
    check(b.read(lb)[2].strip().lstrip(b"+").isdigit(), "B got another answer")
    check(a.read(la)[2].count(b",") == 3, "A got another answer")
    # Unterminated input of one link is not joined to another's.
    a.write(la, b"*ID", flags=0)
    b.write(lb, b"*IDN?\n")
    check(b.read(lb)[2].count(b",") == 3, "B's message mixed with A's input")


def case_waiting_reads():
    # Each round sends write, read and readstb in one go, so the read mostly waits for its
    # answer (readstb's reply may pass it) and its reply leaves from another thread than the
    # replies around it: on two connections at once, every reply must arrive whole, once, and
    # with its own link's answer.
    first, lid = linked()
    identity = first.query(lid, b"*IDN?")
    first.close()
    failures = []

    def rounds(rpc, lid, query, expect):
        for _ in range(150):
            base = rpc.xid
            rpc.xid += 3
            rpc.send_raw(
                record(call_body(base + 1, CORE, 1, 11, struct.pack(">4I", lid, 1000, 0, END) +
                                 opaque(query))) +
                record(call_body(base + 2, CORE, 1, 12,
                                 struct.pack(">6I", lid, 1000, 2000, 0, 0, 0))) +
                record(call_body(base + 3, CORE, 1, 13, struct.pack(">4I", lid, 0, 0, 1000))))
            replies = {}
            for _ in range(3):
                xid, accept, result = rpc.reply()
                replies[xid] = result
            if sorted(replies) != [base + 1, base + 2, base + 3]:
                failures.append("xids %r" % sorted(replies))
                return
            error, reason, n = struct.unpack(">3I", replies[base + 2][:12])
            data = replies[base + 2][12:12 + n]
            if error != 0 or not reason & REASON_END or not expect(data):
                failures.append("read %d %d %r after %r" % (error, reason, data, query))
                return
    a, la = linked()
    b, lb = linked()
    threads = [threading.Thread(target=rounds, args=(a, la, b"*IDN?\n",
                                                     lambda d: d == identity)),
               threading.Thread(target=rounds, args=(b, lb, b"*ESE?\n",
                                                     lambda d: d.strip(b"+\n").isdigit()))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(60)
    check(not failures, "; ".join(failures))
    for _ in range(20):
        error = a.query(la, b"SYST:ERR?")
        check(not error.startswith(b"-410,"), "an answer was overtaken")
        if error.lstrip(b"+").startswith(b"0,"):
            break


def case_lock():
    a, la = linked()
    b, lb = linked()
    check(a.lock(la) == 0, "A locks")
    check(a.lock(la) == 11, "A locks again")
    check(b.write(lb, b"*IDN?\n")[0] == 11, "B writes without waiting")
    start = time.monotonic()
    check(b.write(lb, b"*IDN?\n", flags=END | WAITLOCK, lock_timeout=500)[0] == 11, "B waits")
    elapsed = time.monotonic() - start
    check(0.45 <= elapsed <= 1.5, "lock wait of %.3f s" % elapsed)
    check(b.unlock(lb) == 12, "B unlocks without the lock")
    done = {}

    def waiter():
        done["error"] = b.lock(lb, WAITLOCK, 5000)
        done["at"] = time.monotonic()
    thread = threading.Thread(target=waiter)
    thread.start()
    time.sleep(0.2)
    released = time.monotonic()
    check(a.unlock(la) == 0, "A unlocks")
    thread.join(6)
    check(done.get("error") == 0 and done["at"] - released < 0.5, "B got the lock: %r" % done)
    check(b.unlock(lb) == 0, "B unlocks")


def case_overflow():
    rpc, lid = linked()
    rpc.query(lid, b"*CLS;*IDN?")
    check(rpc.write(lid, b"x" * 4097)[0] == 5, "4097-byte write")
    check(rpc.write(lid, b"A" * 3000, flags=0)[0] == 0, "held input")
    check(rpc.write(lid, b"B" * 2000, flags=0)[0] == 5, "input overrun")
    check(rpc.query(lid, b"SYST:ERR?").startswith(b"-363,"), "no -363")


def case_abort():
    a, la = linked()
    b, lb = linked()
    check(a.lock(la) == 0, "A locks")
    result = {}

    def waiter():
        result["error"] = b.lock(lb, WAITLOCK, 10000)
    thread = threading.Thread(target=waiter)
    thread.start()
    time.sleep(0.2)
    abort = Rpc(ABORT_PORT, ABORT, 1)
    start = time.monotonic()
    check(abort.words(1, struct.pack(">I", lb)) == (0,), "device_abort")
    thread.join(5)
    check(result.get("error") == 23 and time.monotonic() - start < 1, "wait: %r" % result)
    check(abort.words(1, struct.pack(">I", 987654)) == (4,), "abort of no link")
    # The mark ended with the wait: the next wait runs its course.
    check(b.lock(lb, WAITLOCK, 100) == 11, "stale abort mark")


def case_srq():
    rpc, lid = linked()
    listener = socket.socket()
    listener.bind((HOST, 0))
    listener.listen(1)
    listener.settimeout(5)
    port = listener.getsockname()[1]
    ip = struct.unpack(">I", socket.inet_aton(HOST))[0]
    check(rpc.words(25, struct.pack(">5I", ip, port, INTR, 1, 1)) == (8,), "UDP family")
    check(rpc.words(25, struct.pack(">5I", ip, port, INTR, 1, 0)) == (0,), "create_intr_chan")
    check(rpc.words(25, struct.pack(">5I", ip, port, INTR, 1, 0)) == (29,), "second channel")
    check(rpc.words(20, struct.pack(">II", lid, 1) + opaque(b"hdl1")) == (0,), "enable_srq")
    other, lo = linked()  # without SRQ enabled: gets no call
    channel, _ = listener.accept()
    channel.settimeout(2)
    rpc.query(lid, b"*CLS;*SRE 16;*IDN?")  # an answer becomes available: a request
    rpc.readstb(lid)

    def intr_call():
        data = b""
        while len(data) < 4 or len(data) < 4 + (struct.unpack(">I", data[:4])[0] & 0x7FFFFFFF):
            chunk = channel.recv(4096)
            check(chunk, "channel closed")
            data += chunk
        words = struct.unpack(">10I", data[4:44])
        check(words[1:6] == (0, 2, INTR, 1, 30), "not device_intr_srq: %r" % (words,))
        n = struct.unpack(">I", data[44:48])[0]
        return words[0], data[48:48 + n], data[4 + (struct.unpack(">I", data[:4])[0] &
                                                     0x7FFFFFFF):]

    # Drain what the first query raised, then a clean request.
    channel.settimeout(0.5)
    try:
        channel.recv(65536)
    except socket.timeout:
        pass
    channel.settimeout(2)
    rpc.readstb(lid)
    rpc.write(lid, b"*IDN?\n")
    xid, handle, rest = intr_call()
    check(handle == b"hdl1" and rest == b"", "handle %r, extra %r" % (handle, rest))
    rpc.read(lid)
    rpc.write(lid, b"*IDN?\n")  # before readstb: nothing is sent
    rpc.read(lid)
    channel.settimeout(0.5)
    try:
        check(not channel.recv(100), "second request before readstb")
    except socket.timeout:
        pass
    channel.settimeout(2)
    check(rpc.readstb(lid)[1] & 0x40, "readstb without the request bit")
    rpc.write(lid, b"*IDN?\n")
    xid2, handle2, _ = intr_call()
    check(xid2 > xid and handle2 == b"hdl1", "xids %d then %d" % (xid, xid2))
    # The channel outlives the connection that made it while other links remain.
    rpc.close()
    channel.settimeout(0.3)
    try:
        channel.recv(65536)
    except socket.timeout:
        pass
    channel.settimeout(2)
    check(other.words(20, struct.pack(">II", lo, 1) + opaque(b"hdl2")) == (0,), "enable_srq 2")
    other.readstb(lo)
    other.write(lo, b"*IDN?\n")
    xid3, handle3, _ = intr_call()
    check(xid3 > xid2 and handle3 == b"hdl2", "after the creator left: %d %r" % (xid3, handle3))
    other.query(lo, b"*SRE 0;*CLS;*IDN?")
    other.readstb(lo)
    check(other.words(26) == (0,), "destroy_intr_chan")
    check(other.words(26) == (6,), "destroy without a channel")


def case_framing():
    rpc, lid = linked()
    identity = rpc.query(lid, b"*IDN?")
    # One call a byte at a time.
    rpc.xid += 1
    data = record(call_body(rpc.xid, CORE, 1, 11, struct.pack(">4I", lid, 1000, 0, END) +
                            opaque(b"*IDN?\n")))
    for i in range(len(data)):
        rpc.send_raw(data[i:i + 1])
        time.sleep(0.001)
    check(rpc.reply()[1] == 0, "call in pieces")
    check(rpc.read(lid)[2] == identity, "answer after a call in pieces")
    # Two calls in one write.
    body1 = call_body(500, CORE, 1, 11, struct.pack(">4I", lid, 1000, 0, END) + opaque(b"*IDN?\n"))
    body2 = call_body(501, CORE, 1, 12, struct.pack(">6I", lid, 1000, 2000, 0, 0, 0))
    rpc.send_raw(record(body1) + record(body2))
    check(rpc.reply()[0] == 500, "first of two")
    xid, accept, result = rpc.reply()
    check(xid == 501 and result[12:12 + len(identity)] == identity, "second of two")
    # One call in three fragments, with an AUTH_UNIX credential to skip.
    body = call_body(600, CORE, 1, 13, struct.pack(">4I", lid, 0, 0, 1000), cred=b"\1" * 20)
    parts = [body[:10], body[10:31], body[31:]]
    rpc.send_raw(b"".join(struct.pack(">I", len(p) | (0x80000000 if i == 2 else 0)) + p
                          for i, p in enumerate(parts)))
    check(rpc.reply()[:2] == (600, 0), "fragmented call")
    # Cut short: GARBAGE_ARGS, and the connection goes on.
    rpc.send_raw(record(call_body(700, CORE, 1, 10, struct.pack(">iII", 1, 0, 0) +
                                  struct.pack(">I", 200) + b"inst")))
    check(rpc.reply()[:2] == (700, 4), "truncated create_link")
    rpc.send_raw(record(struct.pack(">3I", 701, 0, 2)))
    check(rpc.reply()[:2] == (701, 4), "truncated header")
    rpc.send_raw(record(call_body(702, CORE, 1, 11, struct.pack(">4I", lid, 0, 0, END) +
                                  struct.pack(">I", 0x7FFFFFF0))))
    check(rpc.reply()[:2] == (702, 4), "lying opaque length")
    check(rpc.readstb(lid)[0] == 0, "connection after garbage")
    # A record longer than anything the device takes ends the connection.
    rpc.send_raw(struct.pack(">I", 0x80000000 | 0x7FFFFFF0) + b"\0" * 64)
    rpc.sock.settimeout(3)
    try:
        check(rpc.sock.recv(100) == b"", "lying record length answered")
    except ConnectionResetError:
        pass
    # ... while other connections go on.
    other, lo = linked()
    check(other.query(lo, b"*IDN?") == identity, "another connection after a closed one")


def main():
    try:
        globals()["case_" + sys.argv[2]]()
    except Failure as failure:
        print("%s: %s" % (sys.argv[2], failure))
        return 1
    except (OSError, struct.error) as error:
        print("%s: %r" % (sys.argv[2], error))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
