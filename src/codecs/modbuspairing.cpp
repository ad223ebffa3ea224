#include "codecs/modbuspairing.h"

#include <deque>

namespace {

constexpr double kMsPerDay = 86400000.0;

uint64_t Key(uint8_t unit, uint8_t function, std::optional<uint16_t> transaction) {
  uint64_t key = uint64_t(unit) << 8 | (function & 0x7F);
  if (transaction)
    key |= uint64_t(1) << 32 | uint64_t(*transaction) << 16;
  return key;
}

} // namespace

TModbusMessage TModbusPairing::Decode(QByteArrayView message, TModbusDirection direction,
                                      TDateTime time, std::optional<uint16_t> transaction) {
  if (message.size() < 2 || direction == TModbusDirection::Request) {
    TModbusMessage decoded = ModbusDecode(message, direction);
    if (decoded.Fault != TModbusFault::NoFunction && !decoded.Exception)
      Keep(Key(decoded.Unit, decoded.Function, transaction), decoded, time);
    return decoded;
  }
  const uint64_t key =
      Key(static_cast<uint8_t>(message[0]), static_cast<uint8_t>(message[1]), transaction);
  const auto waiting = fWaiting.constFind(key);
  if (waiting != fWaiting.constEnd()) {
    TModbusPairedRequest request = waiting->Request;
    if (time > 0 && waiting->Time > 0 && time >= waiting->Time)
      request.Milliseconds = (time - waiting->Time) * kMsPerDay;
    TModbusMessage answer = ModbusDecode(message, TModbusDirection::Response, &request);
    // On a bus the next request may come before any answer: what does not
    // read cleanly as the answer is read on its own.
    TModbusMessage alone;
    if (direction == TModbusDirection::Unknown && answer.Fault != TModbusFault::None)
      alone = ModbusDecode(message, direction);
    if (direction == TModbusDirection::Response || answer.Fault == TModbusFault::None ||
        alone.Direction == TModbusDirection::Response) {
      fWaiting.erase(waiting);
      return answer;
    }
  }
  TModbusMessage decoded = ModbusDecode(message, direction);
  if (direction == TModbusDirection::Unknown && !decoded.Exception &&
      decoded.Direction != TModbusDirection::Response) {
    // Nothing waits for it, so a message that reads both ways opens an
    // exchange.
    decoded.Direction = TModbusDirection::Request;
    Keep(key, decoded, time);
  }
  return decoded;
}

void TModbusPairing::Clear() {
  fWaiting.clear();
  fOrder.clear();
}

void TModbusPairing::Keep(uint64_t key, const TModbusMessage &request, TDateTime time) {
  TWaiting &waiting = fWaiting[key];
  waiting.Request = {request.Function, request.Address, request.Count, std::nullopt};
  waiting.Time = time;
  waiting.Serial = ++fSerial;
  fOrder.emplace_back(key, waiting.Serial);
  // A key kept again, or answered, leaves a stale place in the order.
  const auto live = [this](const std::pair<uint64_t, uint64_t> &place) {
    const auto found = fWaiting.constFind(place.first);
    return found != fWaiting.constEnd() && found->Serial == place.second;
  };
  while (!fOrder.empty() && (!live(fOrder.front()) || fWaiting.size() > MaxWaiting)) {
    if (live(fOrder.front()))
      fWaiting.remove(fOrder.front().first);
    fOrder.pop_front();
  }
  if (fOrder.size() > size_t(2 * MaxWaiting))
    std::erase_if(fOrder, [&](const auto &place) { return !live(place); });
}
