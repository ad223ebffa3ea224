#!/usr/bin/python3
"""A Modbus server (pymodbus) for the tests, on 127.0.0.1 or behind a pty relay.

  modbus_peer.py tcp                    prints "PORT n", then serves Modbus TCP
  modbus_peer.py rtu [--flip] [--tap]   prints "CLIENT path" (the pty a master
                                        opens), with --tap "TAP path" (a pty
                                        that gets a copy of both directions),
                                        then serves Modbus RTU behind a relay

The relay prints every piece it passes on: "C hex" from the client, "S hex"
from the server. --flip inverts the fourth byte of every answer, so its CRC
fails. "READY" follows once the server is up. The script ends when its
standard input closes (the test ended) or on SIGTERM.
"""

import asyncio
import os
import sys
import time
import tty

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.server.async_io import ModbusSerialServer, ModbusTcpServer
from pymodbus.transaction import ModbusRtuFramer

# The datastore the tests expect, from address 0 on.
COILS = [1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0, 0, 1]
DISCRETE = [0, 1, 1, 0, 1, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0, 1]
HOLDING = [100, 200, 300, 0x1234, 0xFFFF, 0, 7, 8, 9, 10]
INPUT = [11, 22, 33, 44, 55, 66, 77, 88, 99, 110]

# A new piece after this pause begins a new answer.
BURST_GAP_S = 0.01


def context():
    slave = ModbusSlaveContext(
        co=ModbusSequentialDataBlock(0, COILS),
        di=ModbusSequentialDataBlock(0, DISCRETE),
        hr=ModbusSequentialDataBlock(0, HOLDING),
        ir=ModbusSequentialDataBlock(0, INPUT),
        zero_mode=True)
    return ModbusServerContext(slaves=slave, single=True)


def say(*words):
    print(*words, flush=True)


def raw_pty():
    master, slave = os.openpty()
    # Raw at once: bytes must not be changed (CR to LF) or echoed before
    # the opener sets its own line settings.
    tty.setraw(slave)
    os.set_blocking(master, False)
    return master, slave, os.ttyname(slave)


class Relay:
    """Passes bytes between the client's and the server's pty."""

    def __init__(self, loop, flip, tap):
        self.client = raw_pty()
        self.server = raw_pty()
        self.tap = raw_pty() if tap else None
        self.flip = flip
        self.last_answer = 0.0
        self.answer_at = 0
        loop.add_reader(self.client[0], self.pass_on, self.client[0], self.server[0], "C")
        loop.add_reader(self.server[0], self.pass_on, self.server[0], self.client[0], "S")
        if self.tap:
            loop.add_reader(self.tap[0], self.drain, self.tap[0])

    def drain(self, fd):
        try:
            os.read(fd, 4096)
        except OSError:
            pass

    def pass_on(self, source, target, side):
        try:
            data = bytearray(os.read(source, 4096))
        except OSError:
            return
        if side == "S":
            now = time.monotonic()
            if now - self.last_answer > BURST_GAP_S:
                self.answer_at = 0
            self.last_answer = now
            say("S", data.hex())
            if self.flip and self.answer_at <= 3 < self.answer_at + len(data):
                data[3 - self.answer_at] ^= 0x01
            self.answer_at += len(data)
        else:
            say("C", data.hex())
        os.write(target, data)
        if self.tap:
            os.write(self.tap[0], data)


async def serve_tcp():
    server = ModbusTcpServer(context(), address=("127.0.0.1", 0))
    task = asyncio.create_task(server.serve_forever())
    await server.serving
    say("PORT", server.server.sockets[0].getsockname()[1])
    say("READY")
    return task


async def serve_rtu(flip, tap):
    loop = asyncio.get_running_loop()
    relay = Relay(loop, flip, tap)
    say("CLIENT", relay.client[2])
    if relay.tap:
        say("TAP", relay.tap[2])
    server = ModbusSerialServer(context(), framer=ModbusRtuFramer, port=relay.server[2],
                                baudrate=19200, bytesize=8, parity="N", stopbits=1)
    await server.start()
    say("READY")
    return relay


async def main():
    loop = asyncio.get_running_loop()
    ended = loop.create_future()
    # The test's end closes our standard input.
    loop.add_reader(sys.stdin.fileno(), lambda: ended.done() or (
        not os.read(sys.stdin.fileno(), 64) and ended.set_result(True)))
    kept = await (serve_tcp() if sys.argv[1] == "tcp"
                  else serve_rtu("--flip" in sys.argv, "--tap" in sys.argv))
    await ended
    del kept


if __name__ == "__main__":
    if len(sys.argv) < 2 or sys.argv[1] not in ("tcp", "rtu"):
        sys.exit(__doc__)
    asyncio.run(main())
