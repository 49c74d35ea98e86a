#!/usr/bin/python3
"""A third-party Modbus RTU slave for tests: Debian's pymodbus serving holding registers on a serial
device (one end of a socat pty pair).

    pymodbus_slave.py --port DEV [--line DEV] --address N --rate R [--first F --count C]
                      [--registers "0=230,5=7"] [--identity TEXT]

--line names the other end of the pty pair, the one the master opens: socat carries bytes at any rate, so
a request counts only while that end is set to the slave's rate, as on a real line.

Prints "ready" once the port is open. Standard input takes one command a line, answered by one line:
    regs START COUNT   ok <values in hex>  (the datastore itself, not over the line)
    heard              ok <function codes of every request addressed to it, in order>
    rx                 ok <every byte received from the line, hex>
    clear              ok  (forgets heard and rx)
    quit               ok, then ends
It also ends when standard input closes.
"""

import argparse
import asyncio
import os
import sys
import termios

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server.async_io import ModbusSerialServer, ModbusSingleRequestHandler
from pymodbus.transaction import ModbusRtuFramer

HEARD = []
RX = bytearray()
LINE = {"fd": None, "speed": None}

SPEEDS = {1200: termios.B1200, 2400: termios.B2400, 4800: termios.B4800, 9600: termios.B9600,
          19200: termios.B19200, 38400: termios.B38400, 57600: termios.B57600, 115200: termios.B115200}


def heard_at_our_rate():
    if LINE["fd"] is None:
        return True
    try:
        return termios.tcgetattr(LINE["fd"])[5] == LINE["speed"]
    except termios.error:
        return False


class LoggingHandler(ModbusSingleRequestHandler):
    """Keeps what the line brought and which requests reached the datastore."""

    def data_received(self, data):
        RX.extend(data)
        super().data_received(data)

    def execute(self, request, *addr):
        if not heard_at_our_rate():
            return  # garbage to a UART at another rate: no reply
        HEARD.append(request.function_code)
        super().execute(request, *addr)


def parse_registers(text):
    values = {}
    for item in filter(None, (p.strip() for p in text.split(","))):
        reg, value = item.split("=")
        values[int(reg, 0)] = int(value, 0) & 0xFFFF
    return values


def answer(line, store, first, count):
    words = line.split()
    if not words:
        return "error empty command"
    if words[0] == "regs" and len(words) == 3:
        start, n = int(words[1], 0), int(words[2], 0)
        if n < 1 or start < first or start + n > first + count:
            return f"error registers {start}..{start + n - 1} are outside {first}..{first + count - 1}"
        return "ok " + " ".join(f"{v:04X}" for v in store.getValues(start, n))
    if words[0] == "heard":
        return "ok " + " ".join(str(f) for f in HEARD)
    if words[0] == "rx":
        return "ok " + RX.hex(" ").upper()
    if words[0] == "clear":
        HEARD.clear()
        RX.clear()
        return "ok"
    return f"error unknown command '{words[0]}'"


async def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", required=True)
    ap.add_argument("--line", default="")
    ap.add_argument("--address", type=int, default=7)
    ap.add_argument("--rate", type=int, default=19200)
    ap.add_argument("--first", type=int, default=0)
    ap.add_argument("--count", type=int, default=200)
    ap.add_argument("--registers", default="")
    ap.add_argument("--identity", default="")
    args = ap.parse_args()

    if args.line:
        # Only to look at the master's settings; never read, so nothing is taken from the master.
        LINE["fd"] = os.open(args.line, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
        LINE["speed"] = SPEEDS[args.rate]
    values = [0] * args.count
    for reg, value in parse_registers(args.registers).items():
        if args.first <= reg < args.first + args.count:
            values[reg - args.first] = value
    # zero_mode: register N on the wire is register N of the block (pymodbus adds 1 otherwise).
    slave = ModbusSlaveContext(hr=ModbusSequentialDataBlock(args.first, values), zero_mode=True)
    if args.identity:
        # Function 17 answers with this text, then the run indicator (pymodbus's own layout).
        slave.reportSlaveIdData = args.identity.encode("latin-1")
    context = ModbusServerContext(slaves={args.address: slave}, single=False)
    server = ModbusSerialServer(context, framer=ModbusRtuFramer, port=args.port, baudrate=args.rate,
                                bytesize=8, parity="N", stopbits=2, handler=LoggingHandler,
                                ignore_missing_slaves=True)
    await server.start()
    if server.transport is None:
        print(f"error cannot open {args.port}", flush=True)
        return 1

    loop = asyncio.get_running_loop()
    done = loop.create_future()
    store = slave.store["h"]
    buffer = bytearray()

    def on_stdin():
        chunk = os.read(0, 4096)
        if not chunk:
            if not done.done():
                done.set_result(0)
            return
        buffer.extend(chunk)
        while b"\n" in buffer:
            line, _, rest = bytes(buffer).partition(b"\n")
            buffer[:] = rest
            text = line.decode("utf-8", "replace").strip()
            if text == "quit":
                print("ok", flush=True)
                if not done.done():
                    done.set_result(0)
                return
            try:
                reply = answer(text, store, args.first, args.count)
            except Exception as exc:  # pylint: disable=broad-except
                reply = f"error {exc}"
            print(reply, flush=True)

    loop.add_reader(0, on_stdin)
    print("ready", flush=True)
    code = await done
    loop.remove_reader(0)
    await server.shutdown()
    return code


if __name__ == "__main__":
    sys.exit(asyncio.run(main()))
