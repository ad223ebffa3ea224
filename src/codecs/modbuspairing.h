#pragma once

// Pairs the Modbus messages of one stream: a response belongs to the last
// request of the same unit and function (of the same transaction, where the
// transport numbers them, as Modbus TCP does). A pairing sees every message
// of its stream in order, sent and received alike, so it also follows a bus
// it only listens to.

#include "base/datetime.h"
#include "codecs/modbusdecode.h"

#include <QHash>
#include <deque>
#include <optional>

class TModbusPairing {
public:
  // Decodes a message (unit id and PDU) seen at `time` (0: unknown). A
  // request is kept for its response; a response takes the request it
  // answers, which gives its values their numbers and the time it took. A
  // message of unknown direction that fits as the answer to a waiting
  // request is taken for that answer.
  TModbusMessage Decode(QByteArrayView message, TModbusDirection direction, TDateTime time,
                        std::optional<uint16_t> transaction = std::nullopt);

  // Forgets every waiting request (a new connection, a cleared list).
  void Clear();

  qsizetype Waiting() const { return fWaiting.size(); }

  // Requests kept at most: a master that is never answered (a broadcast, a
  // dead unit, many transactions) cannot make the pairing grow.
  static constexpr qsizetype MaxWaiting = 1024;

private:
  struct TWaiting {
    TModbusPairedRequest Request;
    TDateTime Time = 0;
    uint64_t Serial = 0;
  };
  void Keep(uint64_t key, const TModbusMessage &request, TDateTime time);

  QHash<uint64_t, TWaiting> fWaiting;
  // Keys in the order they were kept, with the serial they were kept under,
  // so the oldest goes first when the pairing is full.
  std::deque<std::pair<uint64_t, uint64_t>> fOrder;
  uint64_t fSerial = 0;
};
