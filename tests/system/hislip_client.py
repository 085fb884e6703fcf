#!/usr/bin/env python3
"""A small HiSLIP 1.0 client for the system tests and for trying the instrument by hand.

Every message is a 16-byte header ("HS", type, control code, 32-bit parameter and 64-bit payload
length, both big-endian) followed by the payload. A client opens a synchronous connection
(Initialize) and an asynchronous one (AsyncInitialize with the session id it was given).

    hislip_client.py HOST PORT QUERY...   sends each query and prints its answer
"""

import socket
import struct
import sys
import time

HEADER = struct.Struct(">2sBBIQ")

INITIALIZE = 0
INITIALIZE_RESPONSE = 1
FATAL_ERROR = 2
ERROR = 3
ASYNC_LOCK = 4
ASYNC_LOCK_RESPONSE = 5
DATA = 6
DATA_END = 7
DEVICE_CLEAR_COMPLETE = 8
DEVICE_CLEAR_ACKNOWLEDGE = 9
ASYNC_REMOTE_LOCAL_CONTROL = 10
ASYNC_REMOTE_LOCAL_RESPONSE = 11
TRIGGER = 12
INTERRUPTED = 13
ASYNC_INTERRUPTED = 14
ASYNC_MAXIMUM_MESSAGE_SIZE = 15
ASYNC_MAXIMUM_MESSAGE_SIZE_RESPONSE = 16
ASYNC_INITIALIZE = 17
ASYNC_INITIALIZE_RESPONSE = 18
ASYNC_DEVICE_CLEAR = 19
ASYNC_SERVICE_REQUEST = 20
ASYNC_STATUS_QUERY = 21
ASYNC_STATUS_RESPONSE = 22
ASYNC_DEVICE_CLEAR_ACKNOWLEDGE = 23
ASYNC_LOCK_INFO = 24
ASYNC_LOCK_INFO_RESPONSE = 25

PROTOCOL_1_0 = 0x0100


class Message:
    def __init__(self, mtype, control, parameter, payload=b""):
        self.type = mtype
        self.control = control
        self.parameter = parameter
        self.payload = payload

    def __repr__(self):
        return "Message(type=%d, control=%d, parameter=0x%x, payload=%r)" % (
            self.type, self.control, self.parameter, self.payload)


def encode(mtype, control=0, parameter=0, payload=b""):
    return HEADER.pack(b"HS", mtype, control, parameter, len(payload)) + payload


class Channel:
    """One TCP connection carrying HiSLIP messages."""

    def __init__(self, host, port, timeout=5.0):
        self.sock = socket.create_connection((host, port), timeout=timeout)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.pending = b""

    def close(self):
        self.sock.close()

    def send(self, mtype, control=0, parameter=0, payload=b""):
        self.sock.sendall(encode(mtype, control, parameter, payload))

    def send_raw(self, data):
        self.sock.sendall(data)

    def _fill(self, n, deadline):
        while len(self.pending) < n:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no complete message in time")
            self.sock.settimeout(left)
            try:
                chunk = self.sock.recv(65536)
            except socket.timeout:
                raise TimeoutError("no complete message in time") from None
            if not chunk:
                raise ConnectionError("connection closed by the instrument")
            self.pending += chunk

    def receive(self, timeout=5.0):
        """The next message; TimeoutError when none came within timeout seconds."""
        deadline = time.monotonic() + timeout
        self._fill(HEADER.size, deadline)
        prologue, mtype, control, parameter, length = HEADER.unpack(self.pending[:HEADER.size])
        if prologue != b"HS":
            raise ValueError("bad prologue %r" % prologue)
        self._fill(HEADER.size + length, deadline)
        payload = self.pending[HEADER.size:HEADER.size + length]
        self.pending = self.pending[HEADER.size + length:]
        return Message(mtype, control, parameter, payload)

    def nothing_within(self, seconds):
        """True when no message arrives within the given time."""
        try:
            self.receive(seconds)
        except TimeoutError:
            return True
        return False


class Client:
    """A HiSLIP client: both channels, message ids and the RMT-delivered rule."""

    def __init__(self, host, port, vendor=b"PY", asynchronous=True, timeout=5.0):
        self.host, self.port = host, port
        self.sync = Channel(host, port, timeout)
        self.sync.send(INITIALIZE, 0, (PROTOCOL_1_0 << 16) | (vendor[0] << 8) | vendor[1],
                       b"hislip0")
        reply = self.sync.receive(timeout)
        if reply.type != INITIALIZE_RESPONSE:
            self.sync.close()
            raise ConnectionRefusedError("Initialize answered %r" % reply)
        self.overlapped = reply.control & 1
        self.version = reply.parameter >> 16
        self.session_id = reply.parameter & 0xFFFF
        self.message_id = 0xFFFFFF00
        self.rmt_delivered = 0
        self.asyn = None
        self.server_vendor = None
        if asynchronous:
            self.asyn = Channel(host, port, timeout)
            self.asyn.send(ASYNC_INITIALIZE, 0, self.session_id)
            reply = self.asyn.receive(timeout)
            if reply.type != ASYNC_INITIALIZE_RESPONSE:
                raise ConnectionRefusedError("AsyncInitialize answered %r" % reply)
            self.server_vendor = struct.pack(">H", reply.parameter & 0xFFFF)

    def close(self):
        for channel in (self.sync, self.asyn):
            if channel:
                channel.close()

    def __enter__(self):
        return self

    def __exit__(self, *args):
        self.close()

    def next_id(self):
        self.message_id = (self.message_id + 2) & 0xFFFFFFFF
        return self.message_id

    def write(self, text, end=True, message_id=None):
        """Sends text as Data or DataEnd; returns the message id used."""
        if isinstance(text, str):
            text = text.encode()
        mid = self.next_id() if message_id is None else message_id
        self.sync.send(DATA_END if end else DATA, self.rmt_delivered, mid, text)
        self.rmt_delivered = 0
        return mid

    def read(self, timeout=5.0):
        """The next answer on the synchronous channel (the message, whole)."""
        reply = self.sync.receive(timeout)
        if reply.type == DATA_END:
            self.rmt_delivered = 1
        return reply

    def query(self, text, timeout=5.0):
        mid = self.write(text if text.endswith("\n") else text + "\n")
        reply = self.read(timeout)
        if reply.type != DATA_END or reply.parameter != mid:
            raise AssertionError("query %r (id %d) answered %r" % (text, mid, reply))
        return reply.payload.decode()

    def async_request(self, mtype, control=0, parameter=0, payload=b"", timeout=5.0):
        self.asyn.send(mtype, control, parameter, payload)
        return self.asyn.receive(timeout)

    def lock(self, timeout_ms, name=b"", timeout=10.0):
        return self.async_request(ASYNC_LOCK, 1, timeout_ms, name, timeout).control

    def unlock(self):
        return self.async_request(ASYNC_LOCK, 0).control


def main(argv):
    if len(argv) < 4:
        print(__doc__.strip().splitlines()[-1].strip(), file=sys.stderr)
        return 2
    with Client(argv[1], int(argv[2])) as client:
        for text in argv[3:]:
            if "?" in text:
                sys.stdout.write(client.query(text))
            else:
                client.write(text + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
