#pragma once

// The texts of a decoded Modbus message, in the installed language: the
// function and exception names (the standard's English in every language),
// a one-line summary and the detail, field by field.

#include "codecs/modbusdecode.h"

#include <QString>
#include <cstdint>

// The function's name for a code without the exception bit ("Read Coils");
// empty for a code of no known function.
QString ModbusFunctionName(uint8_t function);
// The exception's name ("Illegal Data Address"); empty for an unknown code.
QString ModbusExceptionName(uint8_t code);

// One line: unit, function, direction and the main fields or the fault.
QString ModbusSummaryText(const TModbusMessage &message);
// Every field, each value on its own line ("\r" separated), the fault and
// the paired request's time last.
QString ModbusDetailText(const TModbusMessage &message);
// What is wrong with the message; empty when nothing is.
QString ModbusFaultText(const TModbusMessage &message);
