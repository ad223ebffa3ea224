#!/usr/bin/python3
"""A real Modbus master (pymodbus's serial client) against our program's
device: the eight functions on the table the tests set for unit 1
(holding registers 0-3: 10 20 30 40, input registers 0-1: 7 8, coils 0-3:
on off on off, discrete inputs 0-1: off on), writes read back, and an
address outside the table answered with exception 02.

    modbus_master.py PORT rtu|ascii BAUD

Prints what differs and exits with the number of differences."""

import sys

from pymodbus.client import ModbusSerialClient
from pymodbus.transaction import ModbusAsciiFramer, ModbusRtuFramer

port, mode, baud = sys.argv[1], sys.argv[2], int(sys.argv[3])
client = ModbusSerialClient(
    port,
    framer=ModbusAsciiFramer if mode == "ascii" else ModbusRtuFramer,
    baudrate=baud,
    timeout=2,
    retries=1,
)
if not client.connect():
    print(f"cannot open {port}")
    sys.exit(1)

failures = 0


def check(what, got, want):
    global failures
    if got != want:
        print(f"{what}: got {got!r}, want {want!r}")
        failures += 1


def values(response, field, count):
    if response is None or response.isError():
        return f"error {response!r}"
    return list(getattr(response, field))[:count]


check("01", values(client.read_coils(0, 4, slave=1), "bits", 4), [True, False, True, False])
check("02", values(client.read_discrete_inputs(0, 2, slave=1), "bits", 2), [False, True])
check("03", values(client.read_holding_registers(0, 4, slave=1), "registers", 4), [10, 20, 30, 40])
check("04", values(client.read_input_registers(0, 2, slave=1), "registers", 2), [7, 8])
check("05", client.write_coil(1, True, slave=1).isError(), False)
check("06", client.write_register(1, 555, slave=1).isError(), False)
check("15", client.write_coils(2, [False, True], slave=1).isError(), False)
check("16", client.write_registers(2, [66, 77], slave=1).isError(), False)
check("01 after", values(client.read_coils(0, 4, slave=1), "bits", 4), [True, True, False, True])
check("03 after", values(client.read_holding_registers(0, 4, slave=1), "registers", 4),
      [10, 555, 66, 77])
outside = client.read_holding_registers(100, 1, slave=1)
check("outside", getattr(outside, "exception_code", None), 2)
client.close()
print("done" if failures == 0 else f"{failures} differences")
sys.exit(failures)
