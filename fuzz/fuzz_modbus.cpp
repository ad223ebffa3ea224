// Modbus messages over arbitrary bytes: decoding in every direction, with and
// without a paired request, and pairing a stream of them. Nothing may read
// past a message, and a request that decodes cleanly must build back to the
// same bytes.
#include "codecs/modbus.h"
#include "codecs/modbusdecode.h"
#include "codecs/modbuspairing.h"
#include "codecs/modbusrequest.h"
#include "codecs/modbustext.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(const TModbusMessage &m, QByteArrayView message) {
  if (m.Bits.size() > 8 * message.size() || m.Registers.size() > message.size() / 2)
    std::abort();
  if (ModbusSummaryText(m).isEmpty() || ModbusDetailText(m).isEmpty())
    std::abort();
}

// The requests whose fields say every byte.
bool Rebuilds(uint8_t function) {
  return function <= MODBUS_INST_Write_Single_Register ||
         function == MODBUS_INST_Write_Multiple_Registers;
}

void CheckRebuild(const TModbusMessage &m, QByteArrayView message) {
  if (m.Fault != TModbusFault::None || m.Exception || !Rebuilds(m.Function) || m.Function == 0 ||
      m.Direction != TModbusDirection::Request)
    return;
  TModbusRequest request;
  request.Function = m.Function;
  request.Address = m.Address.value_or(0);
  request.Count = m.Count.value_or(0);
  request.Values = m.Registers;
  if (m.Function == MODBUS_INST_Write_Single_Coil)
    request.Values = {uint16_t(m.Bits.value(0) ? 1 : 0)};
  if (ModbusRequestPdu(request) != message.sliced(1))
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArrayView input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
  for (const auto direction :
       {TModbusDirection::Unknown, TModbusDirection::Request, TModbusDirection::Response}) {
    const TModbusMessage m = ModbusDecode(input, direction);
    Check(m, input);
    CheckRebuild(m, input);
  }
  if (size >= 5) {
    const TModbusPairedRequest request{data[0], uint16_t(data[1] << 8 | data[2]),
                                       uint16_t(data[3] << 8 | data[4]), 1.0};
    Check(ModbusDecode(input.sliced(5), TModbusDirection::Unknown, &request), input.sliced(5));
  }
  // The input as a stream: each message's first byte gives its length and
  // direction.
  TModbusPairing pairing;
  qsizetype at = 0;
  while (at < input.size()) {
    const uint8_t head = data[at++];
    const qsizetype length = std::min<qsizetype>(head & 0x3F, input.size() - at);
    const QByteArrayView message = input.sliced(at, length);
    at += length;
    const auto direction = TModbusDirection((head >> 6) % 3);
    const auto transaction =
        head & 1 ? std::optional<uint16_t>(head >> 1 & 3) : std::optional<uint16_t>();
    Check(pairing.Decode(message, direction, TDateTime(at), transaction), message);
  }
  return 0;
}
