#pragma once

// The conventional reference numbers engineers use for Modbus data: coils
// from 1, discrete inputs from 10001, input registers from 30001, holding
// registers from 40001, and the six-digit forms (100001, 300001, 400001)
// that reach every one of the 65536 addresses.

#include <QString>
#include <cstdint>
#include <optional>

// The first number of the five-digit and of the six-digit form for the data
// a function reads or writes (both 1 for coils); zero for a function without
// such data.
struct TModbusReferenceBase {
  int32_t Short = 0;
  int32_t Long = 0;
};
TModbusReferenceBase ModbusReferenceBase(uint8_t function);

// The reference number of an address (which may run past 65535 when counted
// on from a start address); empty for a function without such data.
std::optional<int32_t> ModbusReferenceNumber(uint8_t function, int32_t address);
// The number as engineers write it: coils with at least five digits.
QString ModbusReferenceText(uint8_t function, int32_t number);

// The protocol address a reference number names; empty when the number is
// in none of the function's ranges.
std::optional<uint16_t> ModbusAddressOfReference(uint8_t function, int32_t number);
// The function's ranges for a message: "10001–19999, 100001–165536".
QString ModbusReferenceRanges(uint8_t function);

// The standard's largest quantity in one request of the function: 2000
// bits or 125 registers read, 1968 coils or 123 registers written, 1 for a
// single write; zero for a function without such data.
int32_t ModbusMaxQuantity(uint8_t function);
