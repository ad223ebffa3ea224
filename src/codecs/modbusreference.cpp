#include "codecs/modbusreference.h"

#include "codecs/modbus.h"

namespace {

// The five-digit form stops before the next kind's numbers begin.
constexpr int32_t kShortLast = 9998;
constexpr int32_t kLongLast = 65535;

bool IsCoils(const TModbusReferenceBase &base) {
  return base.Short == base.Long;
}

} // namespace

TModbusReferenceBase ModbusReferenceBase(uint8_t function) {
  switch (function) {
  case MODBUS_INST_Read_Coils:
  case MODBUS_INST_Write_Single_Coil:
  case MODBUS_INST_Write_Multiple_Coils:
    return {1, 1};
  case MODBUS_INST_Read_Discrete_Inputs:
    return {10001, 100001};
  case MODBUS_INST_Read_Input_Registers:
    return {30001, 300001};
  case MODBUS_INST_Read_Holding_Registers:
  case MODBUS_INST_Write_Single_Register:
  case MODBUS_INST_Write_Multiple_Registers:
    return {40001, 400001};
  default:
    return {};
  }
}

std::optional<int32_t> ModbusReferenceNumber(uint8_t function, int32_t address) {
  const TModbusReferenceBase base = ModbusReferenceBase(function);
  if (base.Short == 0 || address < 0)
    return std::nullopt;
  return (address <= kShortLast ? base.Short : base.Long) + address;
}

QString ModbusReferenceText(uint8_t function, int32_t number) {
  const int width = IsCoils(ModbusReferenceBase(function)) ? 5 : 0;
  return QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
}

std::optional<uint16_t> ModbusAddressOfReference(uint8_t function, int32_t number) {
  const TModbusReferenceBase base = ModbusReferenceBase(function);
  if (base.Short == 0)
    return std::nullopt;
  for (const int32_t first : {base.Long, base.Short}) {
    const int32_t last = IsCoils(base) || first == base.Long ? kLongLast : kShortLast;
    if (number >= first && number - first <= last)
      return static_cast<uint16_t>(number - first);
  }
  return std::nullopt;
}

QString ModbusReferenceRanges(uint8_t function) {
  const TModbusReferenceBase base = ModbusReferenceBase(function);
  if (base.Short == 0)
    return {};
  const auto range = [function](int32_t first, int32_t last) {
    return ModbusReferenceText(function, first) + QChar(0x2013) +
           ModbusReferenceText(function, last);
  };
  if (IsCoils(base))
    return range(base.Short, base.Short + kLongLast);
  return range(base.Short, base.Short + kShortLast) + QStringLiteral(", ") +
         range(base.Long, base.Long + kLongLast);
}

int32_t ModbusMaxQuantity(uint8_t function) {
  switch (function) {
  case MODBUS_INST_Read_Coils:
  case MODBUS_INST_Read_Discrete_Inputs:
    return 2000;
  case MODBUS_INST_Read_Holding_Registers:
  case MODBUS_INST_Read_Input_Registers:
    return 125;
  case MODBUS_INST_Write_Single_Coil:
  case MODBUS_INST_Write_Single_Register:
    return 1;
  case MODBUS_INST_Write_Multiple_Coils:
    return 1968;
  case MODBUS_INST_Write_Multiple_Registers:
    return 123;
  default:
    return 0;
  }
}
