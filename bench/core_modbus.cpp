#include "codecs/modbus.h"
#include "codecs/modbuspairing.h"
#include "codecs/modbusrequest.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

// A master polling 32 units by turns: reads of up to 125 registers or 2000
// coils and their answers, as a line monitor sees them (no direction).
std::vector<QByteArray> MakeBusTraffic() {
  std::vector<QByteArray> messages;
  for (int i = 0; i < 256; ++i) {
    const auto unit = static_cast<uint8_t>(1 + i % 32);
    const bool coils = i % 3 == 0;
    const auto count = static_cast<uint16_t>(coils ? 1 + (i * 37) % 2000 : 1 + (i * 7) % 125);
    TModbusRequest request;
    request.Function = coils ? MODBUS_INST_Read_Coils : MODBUS_INST_Read_Holding_Registers;
    request.Address = static_cast<uint16_t>(i * 11);
    request.Count = count;
    messages.push_back(QByteArray(1, char(unit)) + ModbusRequestPdu(request));
    const int bytes = coils ? (count + 7) / 8 : 2 * count;
    QByteArray answer(3 + bytes, char(i));
    answer[0] = char(unit);
    answer[1] = char(request.Function);
    answer[2] = char(bytes);
    messages.push_back(answer);
  }
  return messages;
}

void BM_ModbusPairing(benchmark::State &state) {
  const std::vector<QByteArray> messages = MakeBusTraffic();
  TModbusPairing pairing;
  int64_t paired = 0;
  double time = 46000;
  for (auto _ : state) {
    for (const QByteArray &message : messages) {
      time += 1e-8;
      const TModbusMessage m = pairing.Decode(message, TModbusDirection::Unknown, time);
      paired += m.Request.has_value();
    }
  }
  const auto total = static_cast<int64_t>(state.iterations() * messages.size());
  if (paired * 2 != total)
    state.SkipWithError("an answer went unpaired");
  state.counters["messages_per_s"] =
      benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ModbusPairing);

} // namespace
